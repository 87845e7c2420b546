#ifndef MCSTAT_FRONTEND_PRECODED_H_
#define MCSTAT_FRONTEND_PRECODED_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Categories.h"
#include "Spool.h"
#include "frontend/DataSource.h"
#include "frontend/Errors.h"
#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// One value a fit reads from each record: a column read as a number, or as a category.
struct Slot {
  int column = -1;
  bool categorical = false;
  std::string role;  // how messages name the use: "covariate", "factor"...
  // The data decide: numbers, unless the column holds a text that is no number (or its
  // fields are labels), which makes the slot categorical. Settled by PrecodedData.
  bool either = false;
};

// The values of the slots of every record of a source, pass by pass: numbers checked
// (missing or finite; text that is no number is bad input) and categories turned into keys.
// Slots that take either numbers or text are settled first: the first pass starts over
// whenever one of them meets a text, which then makes it categorical.
// A source whose passes are costly is read once into a temporary cache that the later
// passes read; a text source read at every pass instead first learns its texts in one pass.
// Passes never change the object: any number of them may run at once, on any thread.
class MCFRONTEND_EXPORT PrecodedData {
 public:
  // Runs the first pass when there must be one (a cache to write, texts to learn).
  // InputError for a bad value (a text where a number is needed, a number that is not
  // finite in a binary file, a malformed record), Cancelled when cancelled says so (asked
  // every few thousand records; may be empty).
  PrecodedData(DataSource& source, std::vector<Slot> slots, CacheMode cache,
               const CancelCheck& cancelled);
  ~PrecodedData();
  PrecodedData(const PrecodedData&) = delete;
  PrecodedData& operator=(const PrecodedData&) = delete;

  const DataSource& Source() const { return fSource; }
  // The slots, those that took either settled (categorical or not).
  const std::vector<Slot>& Slots() const { return fvSlots; }
  int Width() const { return static_cast<int>(fvSlots.size()); }
  bool Cached() const { return fpSpool != nullptr; }
  // The number of records when known without a pass (cached, or the source knows it), else -1.
  std::int64_t RecordCount() const;

  // The category a key of a categorical slot stands for: its number (NaN for a text that
  // does not read as one) and its text (as in the data; numbers of a binary source with 15
  // significant digits).
  double KeyNumber(int slot, double key) const;
  std::string KeyText(int slot, double key) const;
  // Whether key can stand for a category of the slot: any finite number of a number column,
  // else the index of one of its labels or texts.
  bool ValidKey(int slot, double key) const;

  // A pass over the records of a range: each record's slot values in slot order, the
  // system-missing value where missing.
  class Pass {
   public:
    virtual ~Pass();
    // InputError on a read error (or a source that changed since the first pass).
    virtual const double* Next() = 0;
    virtual std::string Where() const = 0;
  };
  // InputError when the range cannot be read (a text source read at every pass is read
  // from its start).
  std::unique_ptr<Pass> Open(RecordRange range = {}) const;

  // Converts one record's fields into slot values. InputError for a bad value, or a text
  // the first pass did not meet.
  void Code(const Field* fields, double* values, const RowCursor& where) const;

 private:
  // The first pass: learns the texts and writes the cache when there is one. False when a
  // slot that takes either met a text: it is categorical now and the pass must start over.
  bool Learn(const CancelCheck& cancelled);
  void MakeCategorical(std::size_t slot);
  template <bool kLearn>
  void CodeRecord(const Field* fields, double* values, const RowCursor& where,
                  TextDictionary* const* texts) const;

  DataSource& fSource;
  std::vector<Slot> fvSlots;
  std::vector<int> fvColumns;             // the source columns of the slots
  std::vector<Field::Kind> fvKinds;       // their field kinds
  std::vector<std::unique_ptr<TextDictionary>> fvTexts;  // categorical text slots
  std::vector<std::vector<double>> fvTextNumbers;  // text slots: the number of each text
  std::unique_ptr<Spool> fpSpool;
  mutable int fTextMet = -1;  // during the first pass: the either slot that met a text
};

// The categories of one categorical slot among the records a model reads, ascending
// (numbers numerically, text by bytes), optionally with one moved last (the reference of the
// library's coding), and the code of every key. The categories are numbers when all of them
// read as numbers; their texts are then the numbers with 15 significant digits.
class MCFRONTEND_EXPORT CategoryCoding {
 public:
  CategoryCoding() = default;
  // keys: the distinct keys seen. reference (empty: none) names the category to put last,
  // as written in the data (numbers compare as numbers); InputError naming `what` when it
  // is not among the categories.
  CategoryCoding(const PrecodedData& data, int slot, const KeySet& keys,
                 const std::string& reference, const std::string& what);

  // The code of a key; -1 for a missing or unknown key.
  int Code(double key) const { return fCodes.Find(key); }
  int Size() const { return static_cast<int>(fvTexts.size()); }
  bool Numeric() const { return fbNumeric; }
  // The text of a category; empty for a code out of range.
  std::string Text(int code) const;
  double Number(int code) const;

 private:
  bool fbNumeric = false;
  std::vector<std::string> fvTexts;
  std::vector<double> fvNumbers;
  KeyCodes fCodes;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_PRECODED_H_
