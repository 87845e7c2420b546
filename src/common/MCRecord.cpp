#include "MCRecord.h"

#include <algorithm>
#include <new>
#include <utility>

namespace MCCommon {

namespace {

// Storage for n values, or null when n < 1 or the memory cannot be obtained.
std::unique_ptr<double[]> TryAllocate(int n) {
  if (n < 1) return nullptr;
  return std::unique_ptr<double[]>(new (std::nothrow) double[static_cast<size_t>(n)]);
}

const char kNullFileMessage[] = "Error: file handle is NULL in BinaryRecordIterator constructor";

}  // namespace

// ---------------------------------------------------------------------------------------
// Record

Record::Record(int size) {
  const int n = size < 0 ? 1 : size;
  fpValues = TryAllocate(n);
  if (!fpValues) return;  // size 0, or no memory: an empty record
  fNValues = n;
  std::fill_n(fpValues.get(), n, 0.0);
}

Record::Record(const Record& other) {
  if (other.fNValues < 1) return;
  fpValues = TryAllocate(other.fNValues);
  if (!fpValues) return;
  fNValues = other.fNValues;
  std::copy_n(other.fpValues.get(), fNValues, fpValues.get());
}

Record& Record::operator=(const Record& other) {
  if (this == &other) return *this;
  if (fNValues != other.fNValues) {
    // Plain new: an allocation failure goes to the caller before anything changes.
    std::unique_ptr<double[]> storage;
    if (other.fNValues > 0) storage.reset(new double[static_cast<size_t>(other.fNValues)]);
    fpValues = std::move(storage);
    fNValues = other.fNValues;
  }
  if (fNValues > 0) std::copy_n(other.fpValues.get(), fNValues, fpValues.get());
  return *this;
}

Record::Record(Record&& other) noexcept
    : fpValues(std::move(other.fpValues)), fNValues(other.fNValues) {
  other.fNValues = 0;
}

Record& Record::operator=(Record&& other) noexcept {
  if (this != &other) {
    fpValues = std::move(other.fpValues);
    fNValues = other.fNValues;
    other.fNValues = 0;
  }
  return *this;
}

bool Record::Resize(int size) {
  if (size == fNValues) return true;
  const int n = std::max(size, 0);
  std::unique_ptr<double[]> storage = TryAllocate(n);
  if (n > 0 && !storage) return false;
  fpValues = std::move(storage);
  fNValues = n;
  return true;
}

// ---------------------------------------------------------------------------------------
// Iterator interfaces: out-of-line destructors anchor the vtables in the library.

RecordIterator::~RecordIterator() = default;
MultiPassRecordIter::~MultiPassRecordIter() = default;

// ---------------------------------------------------------------------------------------
// BinaryRecordIterator

BinaryRecordIterator::BinaryRecordIterator(FILE* file, int count)
    : fCurrent(count), fLookAhead(count), fpFile(file), fNValues(count < 0 ? 1 : count) {
  if (fpFile == nullptr) {
    std::fputs(kNullFileMessage, stdout);
    std::fflush(stdout);
    fFailReason = kFailRead;
    return;
  }
  if (!CanRead()) {
    fFailReason = kFailRead;
    return;
  }
  fFailReason = kFailNone;
  NextRecord();
}

bool BinaryRecordIterator::CanRead() const {
  return fpFile != nullptr && fNValues > 0 && fCurrent.Size() == fNValues &&
         fLookAhead.Size() == fNValues;
}

int BinaryRecordIterator::NextRecord() {
  fCurrent = fLookAhead;  // same sizes: no allocation
  if (fFailReason != kFailNone) return fFailReason;
  const size_t wanted = static_cast<size_t>(fNValues);
  const size_t got = std::fread(fLookAhead.GetAll(), sizeof(double), wanted, fpFile);
  if (got == 0 && std::feof(fpFile)) {
    fFailReason = kFailEndOfData;
  } else if (got < wanted) {
    fFailReason = kFailRead;
  }
  return fFailReason;
}

bool BinaryRecordIterator::HasMore() const { return fFailReason == kFailNone; }

const Record* BinaryRecordIterator::Next() {
  if (fFailReason != kFailNone) return nullptr;
  NextRecord();
  return &fCurrent;
}

int BinaryRecordIterator::NewPass() {
  if (fFailReason == kFailNoNewPass) return fFailReason;
  if (!CanRead()) {
    fFailReason = kFailRead;
    return fFailReason;
  }
  // A stream that cannot seek (a pipe) cannot be read again.
  if (std::fseek(fpFile, 0, SEEK_SET) != 0) {
    fFailReason = kFailNoNewPass;
    return fFailReason;
  }
  std::clearerr(fpFile);  // an earlier read error belongs to the earlier pass
  fFailReason = kFailNone;
  return NextRecord();
}

}  // namespace MCCommon
