#include "Precoded.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "MCMV.h"
#include "Text.h"

namespace MCFrontEnd {

namespace {

// How often (in records) the first pass asks whether to stop.
constexpr std::int64_t kCancelEvery = 4096;

[[noreturn]] void Bad(const RowCursor& where, const Slot& slot, const std::string& name,
                      const std::string& what) {
  throw InputError(where.Where() + ": " + slot.role + " '" + name + "' " + what);
}

class SpoolPass : public PrecodedData::Pass {
 public:
  SpoolPass(const Spool& spool, const std::string& name, RecordRange range)
      : fReader(spool, range), fName(name), fIndex(range.first) {}
  const double* Next() override {
    ++fIndex;
    return fReader.Next();
  }
  std::string Where() const override { return fName + ", record " + std::to_string(fIndex); }

 private:
  Spool::Reader fReader;
  const std::string& fName;
  std::int64_t fIndex;
};

class SourcePass : public PrecodedData::Pass {
 public:
  SourcePass(const PrecodedData& data, std::unique_ptr<RowCursor> cursor)
      : fData(data), fpCursor(std::move(cursor)), fvValues(data.Slots().size()) {}
  const double* Next() override {
    if (!fpCursor->Next()) return nullptr;
    fData.Code(fpCursor->Fields(), fvValues.data(), *fpCursor);
    return fvValues.data();
  }
  std::string Where() const override { return fpCursor->Where(); }

 private:
  const PrecodedData& fData;
  std::unique_ptr<RowCursor> fpCursor;
  std::vector<double> fvValues;
};

}  // namespace

PrecodedData::Pass::~Pass() = default;

PrecodedData::PrecodedData(DataSource& source, std::vector<Slot> slots, CacheMode cache,
                           const CancelCheck& cancelled)
    : fSource(source), fvSlots(std::move(slots)) {
  const std::size_t n = fvSlots.size();
  fvTexts.resize(n);
  fvTextNumbers.resize(n);
  bool learn = false;
  for (std::size_t k = 0; k < n; ++k) {
    Slot& slot = fvSlots[k];
    fvColumns.push_back(slot.column);
    fvKinds.push_back(source.FieldKind(slot.column));
    if (slot.either) {
      // Numbers and labels say what they are; text must be read to know.
      slot.categorical = fvKinds[k] == Field::kLabel;
      learn = learn || fvKinds[k] == Field::kText;
    }
    if (slot.categorical && fvKinds[k] == Field::kText) {
      fvTexts[k] = std::make_unique<TextDictionary>();
      learn = true;
    }
  }
  const DataSource::Passes cost = source.PassCost();
  const bool spool = cost == DataSource::Passes::kOnce ||
                     (cache == CacheMode::kAlways) ||
                     (cache == CacheMode::kAuto && cost != DataSource::Passes::kCheap);
  if (spool || learn) {
    for (;;) {
      if (spool) fpSpool = std::make_unique<Spool>(static_cast<int>(std::max<std::size_t>(n, 1)));
      if (Learn(cancelled)) break;
      if (cost == DataSource::Passes::kOnce) {
        throw InputError(source.Name() + ": column '" +
                         source.ColumnNames()[static_cast<std::size_t>(fvColumns[fTextMet])] +
                         "' holds text, and the data cannot be read again to take it as a factor");
      }
      MakeCategorical(static_cast<std::size_t>(fTextMet));
    }
  }

  // The number each text stands for, once.
  for (std::size_t k = 0; k < n; ++k) {
    if (!fvTexts[k]) continue;
    std::vector<double>& numbers = fvTextNumbers[k];
    numbers.assign(fvTexts[k]->Size(), std::nan(""));
    for (std::size_t id = 0; id < numbers.size(); ++id) {
      ParseNumber(fvTexts[k]->Text(static_cast<std::int32_t>(id)), numbers[id]);
    }
  }
}

PrecodedData::~PrecodedData() = default;

bool PrecodedData::Learn(const CancelCheck& cancelled) {
  std::unique_ptr<RowCursor> cursor = fSource.Open(fvColumns);
  std::vector<double> values(std::max<std::size_t>(fvSlots.size(), 1), MCMV::Missing());
  std::vector<TextDictionary*> texts;
  for (const auto& t : fvTexts) texts.push_back(t.get());
  std::int64_t records = 0;
  fTextMet = -1;
  while (cursor->Next()) {
    CodeRecord<true>(cursor->Fields(), values.data(), *cursor, texts.data());
    if (fTextMet >= 0) return false;
    if (fpSpool) fpSpool->Append(values.data());
    if (++records % kCancelEvery == 0 && cancelled && cancelled()) throw Cancelled();
  }
  if (cancelled && cancelled()) throw Cancelled();
  if (fpSpool) fpSpool->Finish();
  return true;
}

void PrecodedData::MakeCategorical(std::size_t slot) {
  fvSlots[slot].categorical = true;
  fvTexts[slot] = std::make_unique<TextDictionary>();
  // Texts learned so far are learned again by the new pass.
  for (auto& t : fvTexts) {
    if (t) t = std::make_unique<TextDictionary>();
  }
}

void PrecodedData::Code(const Field* fields, double* values, const RowCursor& where) const {
  CodeRecord<false>(fields, values, where, nullptr);
}

template <bool kLearn>
void PrecodedData::CodeRecord(const Field* fields, double* values, const RowCursor& where,
                              TextDictionary* const* texts) const {
  const std::size_t n = fvSlots.size();
  for (std::size_t k = 0; k < n; ++k) {
    const Field& f = fields[k];
    double& out = values[k];
    if (f.kind == Field::kMissing) {
      out = MCMV::Missing();
      continue;
    }
    const Slot& slot = fvSlots[k];
    if (f.kind == Field::kNumber) {
      if (!std::isfinite(f.number)) {
        Bad(where, slot, fSource.ColumnNames()[static_cast<std::size_t>(slot.column)],
            "holds a value that is not a finite number");
      }
      out = f.number == 0.0 ? 0.0 : f.number;  // -0.0 is the category 0
      continue;
    }
    if (slot.categorical) {
      if (f.kind == Field::kLabel) {
        out = static_cast<double>(f.label);
        continue;
      }
      const std::int32_t id = kLearn ? texts[k]->Learn(f.text) : fvTexts[k]->Find(f.text);
      if (id < 0) throw InputError(where.Where() + ": the data changed while they were read");
      out = id;
      continue;
    }
    const std::string_view text =
        f.kind == Field::kLabel
            ? std::string_view(fSource.Labels(slot.column)[static_cast<std::size_t>(f.label)])
            : f.text;
    if (!ParseNumber(text, out)) {
      if (kLearn && slot.either) {
        fTextMet = static_cast<int>(k);
        continue;
      }
      // A decimal comma (R's write.csv2, many spreadsheets) deserves a word of its own.
      std::string pointed(text);
      std::replace(pointed.begin(), pointed.end(), ',', '.');
      double v = 0.0;
      const bool comma = pointed != text && ParseNumber(pointed, v);
      Bad(where, slot, fSource.ColumnNames()[static_cast<std::size_t>(slot.column)],
          "holds '" + std::string(text) + "', not a number" +
              (comma ? " (numbers need a decimal point, not a comma)" : ""));
    }
  }
}

double PrecodedData::KeyNumber(int slot, double key) const {
  const auto k = static_cast<std::size_t>(slot);
  switch (fvKinds[k]) {
    case Field::kText:
      return fvTextNumbers[k][static_cast<std::size_t>(key)];
    case Field::kLabel: {
      double v = std::nan("");
      ParseNumber(fSource.Labels(fvColumns[k])[static_cast<std::size_t>(key)], v);
      return v;
    }
    default:
      return key;
  }
}

bool PrecodedData::ValidKey(int slot, double key) const {
  const auto k = static_cast<std::size_t>(slot);
  if (fvKinds[k] == Field::kNumber) return std::isfinite(key);
  const std::size_t n = fvKinds[k] == Field::kText && fvTexts[k]
                            ? fvTexts[k]->Size()
                            : fvKinds[k] == Field::kLabel ? fSource.Labels(fvColumns[k]).size() : 0;
  return key >= 0.0 && key < static_cast<double>(n) && std::floor(key) == key;
}

std::string PrecodedData::KeyText(int slot, double key) const {
  const auto k = static_cast<std::size_t>(slot);
  if (fvKinds[k] == Field::kNumber) return CategoryNumberText(key);
  if (fvKinds[k] == Field::kText) return fvTexts[k]->Text(static_cast<std::int32_t>(key));
  return fSource.Labels(fvColumns[k])[static_cast<std::size_t>(key)];
}

std::int64_t PrecodedData::RecordCount() const {
  return fpSpool ? fpSpool->Records() : fSource.RecordCount();
}

std::unique_ptr<PrecodedData::Pass> PrecodedData::Open(RecordRange range) const {
  if (fpSpool) return std::make_unique<SpoolPass>(*fpSpool, fSource.Name(), range);
  return std::make_unique<SourcePass>(*this, fSource.Open(fvColumns, range));
}

// CategoryCoding

CategoryCoding::CategoryCoding(const PrecodedData& data, int slot, const KeySet& keys,
                               const std::string& reference, const std::string& what) {
  // Distinct categories in ascending order; several keys may stand for one ("1" and "1.0").
  const std::vector<double> all = keys.Keys();
  fbNumeric = std::all_of(all.begin(), all.end(), [&](double key) {
    return std::isfinite(data.KeyNumber(slot, key));
  });
  if (fbNumeric) {
    std::map<double, std::vector<double>> byNumber;
    for (const double key : all) byNumber[data.KeyNumber(slot, key)].push_back(key);
    for (const auto& [number, ks] : byNumber) {
      for (const double key : ks) fCodes.Set(key, static_cast<std::int32_t>(fvNumbers.size()));
      fvNumbers.push_back(number);
      fvTexts.push_back(CategoryNumberText(number));
    }
  } else {
    std::map<std::string, std::vector<double>> byText;
    for (const double key : all) byText[data.KeyText(slot, key)].push_back(key);
    for (const auto& [text, ks] : byText) {
      for (const double key : ks) fCodes.Set(key, static_cast<std::int32_t>(fvTexts.size()));
      fvTexts.push_back(text);
    }
  }
  if (reference.empty()) return;
  // The reference goes last: every code after it moves down by one.
  double wanted = 0.0;
  const bool number = fbNumeric && ParseNumber(reference, wanted);
  int at = -1;
  for (int c = 0; c < Size() && at < 0; ++c) {
    if (number ? fvNumbers[static_cast<std::size_t>(c)] == wanted
               : fvTexts[static_cast<std::size_t>(c)] == reference) {
      at = c;
    }
  }
  if (at < 0) throw InputError(what + " has no category '" + reference + "'");
  const int last = Size() - 1;
  for (const double key : all) {
    const int code = fCodes.Find(key);
    fCodes.Set(key, code == at ? last : (code > at ? code - 1 : code));
  }
  std::rotate(fvTexts.begin() + at, fvTexts.begin() + at + 1, fvTexts.end());
  if (fbNumeric) std::rotate(fvNumbers.begin() + at, fvNumbers.begin() + at + 1, fvNumbers.end());
}

std::string CategoryCoding::Text(int code) const {
  return code >= 0 && code < Size() ? fvTexts[static_cast<std::size_t>(code)] : std::string();
}

double CategoryCoding::Number(int code) const {
  return fbNumeric && code >= 0 && code < Size() ? fvNumbers[static_cast<std::size_t>(code)]
                                                 : MCMV::Missing();
}

}  // namespace MCFrontEnd
