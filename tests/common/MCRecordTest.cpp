#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "MCMV.h"
#include "MCRecord.h"

using MCCommon::BinaryRecordIterator;
using MCCommon::Record;

namespace {

std::vector<double> Values(const Record& r) { return {r.GetAll(), r.GetAll() + r.Size()}; }

// Copies are deep, assignment takes the source size, moves leave no double owner, and resized
// storage is writable throughout (ASan).
TEST(RecordTest, SizesCopiesAssignmentAndResize) {
  EXPECT_EQ(Record(0).GetAll(), nullptr);
  EXPECT_EQ(Values(Record(-5)), std::vector<double>{0.0});
  Record a(4);
  for (int i = 0; i < 4; ++i) a[i] = i + 0.25;
  Record b(a);
  b[0] = 9.0;
  EXPECT_EQ(a[0], 0.25);
  Record dst;  // 2 values
  dst = a;
  EXPECT_EQ(Values(dst), Values(a));
  EXPECT_NE(dst.GetAll(), a.GetAll());
  std::vector<Record> rows(20, a);
  Record moved(std::move(rows.back()));
  EXPECT_EQ(moved[3], 3.25);
  Record r(3);
  double* const before = r.GetAll();
  EXPECT_TRUE(r.Resize(3));
  EXPECT_EQ(r.GetAll(), before);
  EXPECT_TRUE(r.Resize(5));
  for (int i = 0; i < 5; ++i) r[i] = i;  // the new storage is writable throughout (ASan)
  EXPECT_TRUE(r.Resize(-2));
  EXPECT_EQ(r.Size(), 0);
  EXPECT_EQ(r.GetAll(), nullptr);
}

// Every record of one pass, flattened.
std::vector<double> ReadPass(BinaryRecordIterator& it) {
  std::vector<double> seen;
  for (const Record* r; it.HasMore() && (r = it.Next()) != nullptr;)
    seen.insert(seen.end(), r->GetAll(), r->GetAll() + r->Size());
  return seen;
}

// A file of doubles read from a start value on in records of a count: the first pass and its
// fail reason, what NewPass returns, and a pass after it (from the start of the file).
struct FileCase {
  std::vector<double> file;
  int start, count;
  std::vector<double> first;
  int reason, newPass;
  std::vector<double> again;
};

TEST(BinaryRecordIteratorTest, PassesAndFailReasons) {
  const double m = MCMV::Missing();
  const FileCase cases[] = {
      {{1, m, 3}, 0, 3, {1, m, 3}, MCCommon::kFailEndOfData, 0, {1, m, 3}},
      {{1, 2, 3, 4, 5}, 0, 2, {1, 2, 3, 4}, MCCommon::kFailRead, 0, {1, 2, 3, 4}},
      {{7, 8}, 0, 0, {}, MCCommon::kFailRead, MCCommon::kFailRead, {}},
      {{}, 0, 3, {}, MCCommon::kFailEndOfData, MCCommon::kFailEndOfData, {}},
      {{1, 2, 3, 4, 5, 6, 7, 8}, 2, 2, {3, 4, 5, 6, 7, 8}, 1, 0, {1, 2, 3, 4, 5, 6, 7, 8}}};
  for (const FileCase& c : cases) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::tmpfile(), &std::fclose);
    if (!c.file.empty()) std::fwrite(c.file.data(), sizeof(double), c.file.size(), f.get());
    std::fseek(f.get(), c.start * static_cast<long>(sizeof(double)), SEEK_SET);
    BinaryRecordIterator it(f.get(), c.count);
    EXPECT_EQ(it.GetFailReason(), c.first.empty() ? c.reason : 0);
    EXPECT_EQ(ReadPass(it), c.first);
    EXPECT_EQ(it.GetFailReason(), c.reason);
    EXPECT_EQ(it.Next(), nullptr);
    ASSERT_EQ(it.NewPass(), c.newPass);
    if (!c.again.empty()) it.Next();  // a pass stopped after one record starts over
    ASSERT_EQ(it.NewPass(), c.newPass);
    EXPECT_EQ(ReadPass(it), c.again);
  }
}

// Copies share the file position: each reads ahead from where the other left it.
TEST(BinaryRecordIteratorTest, CopiesShareTheFilePosition) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::tmpfile(), &std::fclose);
  const double values[] = {1, 2, 3};
  std::fwrite(values, sizeof(double), 3, f.get());
  std::rewind(f.get());
  BinaryRecordIterator a(f.get(), 1);
  BinaryRecordIterator b(a);
  EXPECT_EQ((*a.Next())[0], 1.0);  // a reads 2 ahead
  EXPECT_EQ((*b.Next())[0], 1.0);  // b's own look-ahead; it reads 3 ahead
  EXPECT_EQ((*a.Next())[0], 2.0);
  EXPECT_FALSE(a.HasMore());
  EXPECT_EQ((*b.Next())[0], 3.0);
  EXPECT_FALSE(b.HasMore());
}

// No file: a message and fail reason 3; a pipe cannot start a new pass: 4.
TEST(BinaryRecordIteratorTest, NullFileGivesThreeUnseekableStreamFour) {
  testing::internal::CaptureStdout();
  BinaryRecordIterator none(nullptr, 2);
  EXPECT_FALSE(testing::internal::GetCapturedStdout().empty());
  EXPECT_FALSE(none.HasMore());
  EXPECT_EQ(none.GetFailReason(), 3);
  EXPECT_EQ(none.Next(), nullptr);
  EXPECT_EQ(none.NewPass(), 3);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const double data[2] = {1.0, 2.0};
  ASSERT_EQ(write(fds[1], data, sizeof data), static_cast<ssize_t>(sizeof data));
  close(fds[1]);
  std::unique_ptr<FILE, int (*)(FILE*)> f(fdopen(fds[0], "rb"), &std::fclose);
  ASSERT_NE(f, nullptr);
  BinaryRecordIterator it(f.get(), 2);
  ASSERT_NE(it.Next(), nullptr);
  EXPECT_EQ(it.NewPass(), 4);
  EXPECT_FALSE(it.HasMore());
}

}  // namespace
