#ifndef MCSTAT_MCRECORD_H_
#define MCSTAT_MCRECORD_H_

#include <cstdint>
#include <cstdio>
#include <memory>

#include "mcstat_export.h"

namespace MCCommon {

// One row of data: a heap array of doubles. Positions are the variable indices the
// regression settings refer to; a value equal to MCMV::Missing() is missing.
class MCSTAT_EXPORT Record {
 public:
  // `size` values, all 0.0. A negative size gives one value; 0 gives no storage and a null
  // value pointer. If the storage cannot be obtained the record is empty (size 0).
  explicit Record(int size = 2);
  // Deep copy; a source of size below 1 gives an empty record.
  Record(const Record& other);
  // Copies all values, replacing the storage when the sizes differ. Throws std::bad_alloc
  // when that storage cannot be obtained; the record is then unchanged.
  Record& operator=(const Record& other);
  // Takes the storage; the source is left empty.
  Record(Record&& other) noexcept;
  Record& operator=(Record&& other) noexcept;
  ~Record() = default;

  int Size() const { return fNValues; }
  // The value pointer; null for an empty record.
  double* GetAll() { return fpValues.get(); }
  const double* GetAll() const { return fpValues.get(); }
  // The index is not checked.
  double operator[](int i) const { return fpValues[i]; }
  double& operator[](int i) { return fpValues[i]; }

  // Makes room for `size` values (a negative size counts as 0). Returns true at once when
  // the size is unchanged. Returns false, leaving the record as it was, when the storage
  // cannot be obtained. The values after a resize are not preserved and not initialised.
  bool Resize(int size);

 private:
  std::unique_ptr<double[]> fpValues;
  int32_t fNValues = 0;
};

// Why an iterator stopped, shared by all iterators of the library.
enum MCFailReason {
  kFailNone = 0,       // records remain
  kFailEndOfData = 1,  // end of data reached cleanly
  kFailRead = 3,       // read error, truncated last record, or no source
  kFailNoNewPass = 4   // the source cannot start a new pass
};

// A stream of records, implemented by the host or by BinaryRecordIterator.
class MCSTAT_EXPORT RecordIterator {
 public:
  virtual ~RecordIterator();
  // True while Next will deliver a record.
  virtual bool HasMore() const = 0;
  // The next record, or null when none is available. The record stays owned by the
  // iterator and is valid until the next call of Next or NewPass.
  virtual const Record* Next() = 0;
  // Why the iterator stopped: one of MCFailReason.
  virtual int GetFailReason() const = 0;
};

// A record stream that can be read again from its first record.
class MCSTAT_EXPORT MultiPassRecordIter : public RecordIterator {
 public:
  ~MultiPassRecordIter() override;
  // Rewinds to the first record and returns the new fail reason.
  virtual int NewPass() = 0;
};

// Records read from a headerless file of native 8-byte doubles, `count` values per record.
// The file belongs to the caller: the iterator never closes it. Copies share the file and
// so move one shared file position.
class MCSTAT_EXPORT BinaryRecordIterator : public MultiPassRecordIter {
 public:
  // Reads the first record from the file's current position (it does not rewind). A null
  // file prints a message on standard output and gives fail reason 3. A count of 0 (or
  // record storage that cannot be obtained) gives fail reason 3 too: an empty record
  // would never reach the end of the file. A negative count means one value.
  BinaryRecordIterator(FILE* file, int count);
  BinaryRecordIterator(const BinaryRecordIterator&) = default;
  BinaryRecordIterator& operator=(const BinaryRecordIterator&) = default;
  ~BinaryRecordIterator() override = default;

  // Fail reason is 0.
  bool HasMore() const override;
  // Null unless the fail reason is 0; otherwise the record read ahead, after which the
  // following one is read ahead. The last record is delivered as HasMore turns false.
  const Record* Next() override;
  int GetFailReason() const override { return fFailReason; }
  // Seeks to the start of the file and reads the first record ahead: returns 0 when the
  // file holds a whole record, 1 when it is empty, 3 on a short record or without a file,
  // 4 when the file cannot be rewound (and for ever after).
  int NewPass() override;

 private:
  // Moves the look-ahead into the current record and reads the following one ahead.
  int NextRecord();
  // A file and whole records to read it into.
  bool CanRead() const;

  Record fCurrent;
  Record fLookAhead;
  FILE* fpFile = nullptr;
  int fNValues = 0;
  int fFailReason = kFailNone;
};

}  // namespace MCCommon

#endif  // MCSTAT_MCRECORD_H_
