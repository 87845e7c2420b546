#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "MCMV.h"
#include "MCRecord.h"

using MCCommon::BinaryRecordIterator;
using MCCommon::Record;

namespace {

std::vector<double> Values(const Record& r) { return {r.GetAll(), r.GetAll() + r.Size()}; }

// Copies are deep, assignment takes the source size, and moves leave no double owner (ASan).
TEST(RecordTest, SizesCopiesAndAssignment) {
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
}

TEST(RecordTest, Resize) {
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

class BinaryRecordIteratorTest : public testing::Test {
 protected:
  void TearDown() override {
    if (fFile != nullptr) std::fclose(fFile);
  }
  // A temporary file holding the given doubles, positioned at its start.
  FILE* MakeFile(const std::vector<double>& values) {
    fFile = std::tmpfile();
    EXPECT_NE(fFile, nullptr);
    if (!values.empty()) std::fwrite(values.data(), sizeof(double), values.size(), fFile);
    std::rewind(fFile);
    return fFile;
  }
  // Every record of one pass, flattened.
  static std::vector<double> ReadPass(BinaryRecordIterator& it) {
    std::vector<double> seen;
    while (it.HasMore()) {
      const Record* r = it.Next();
      if (r == nullptr) {
        ADD_FAILURE() << "null record while HasMore";
        break;
      }
      seen.insert(seen.end(), r->GetAll(), r->GetAll() + r->Size());
    }
    return seen;
  }
  FILE* fFile = nullptr;
};

TEST_F(BinaryRecordIteratorTest, EndOfDataGivesOne) {
  BinaryRecordIterator it(MakeFile({1.0, MCMV::Missing(), 3.0}), 3);
  EXPECT_TRUE(it.HasMore());
  EXPECT_EQ(it.GetFailReason(), 0);
  EXPECT_EQ(ReadPass(it), (std::vector<double>{1.0, MCMV::Missing(), 3.0}));
  EXPECT_EQ(it.GetFailReason(), 1);
  EXPECT_EQ(it.Next(), nullptr);
}

TEST_F(BinaryRecordIteratorTest, TruncatedLastRecordGivesThree) {
  BinaryRecordIterator it(MakeFile({1, 2, 3, 4, 5}), 2);
  EXPECT_EQ(ReadPass(it), (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(it.GetFailReason(), 3);
  EXPECT_EQ(it.NewPass(), 0);  // the whole records can be read again
  BinaryRecordIterator none(MakeFile({7, 8}), 0);
  EXPECT_FALSE(none.HasMore());
  EXPECT_EQ(none.GetFailReason(), 3);
  EXPECT_EQ(none.NewPass(), 3);
}

TEST_F(BinaryRecordIteratorTest, PassesRepeatFromWhereTheFileStood) {
  FILE* f = MakeFile({1, 2, 3, 4, 5, 6, 7, 8});
  ASSERT_EQ(std::fseek(f, 2 * sizeof(double), SEEK_SET), 0);
  BinaryRecordIterator it(f, 2);
  EXPECT_EQ(ReadPass(it), (std::vector<double>{3, 4, 5, 6, 7, 8}));
  ASSERT_EQ(it.NewPass(), 0);
  ASSERT_NE(it.Next(), nullptr);  // a pass stopped half way
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(it.NewPass(), 0);
    EXPECT_EQ(ReadPass(it), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8})) << pass;
  }
}

TEST_F(BinaryRecordIteratorTest, CopiesShareTheFilePosition) {
  BinaryRecordIterator a(MakeFile({1, 2, 3}), 1);
  BinaryRecordIterator b(a);
  EXPECT_EQ((*a.Next())[0], 1.0);  // a reads 2 ahead
  EXPECT_EQ((*b.Next())[0], 1.0);  // b's own look-ahead; it reads 3 ahead
  EXPECT_EQ((*a.Next())[0], 2.0);
  EXPECT_FALSE(a.HasMore());
  EXPECT_EQ((*b.Next())[0], 3.0);
  EXPECT_FALSE(b.HasMore());
}

TEST(BinaryRecordIteratorNullTest, NullFilePrintsAndStopsWithThree) {
  testing::internal::CaptureStdout();
  BinaryRecordIterator it(nullptr, 2);
  EXPECT_FALSE(testing::internal::GetCapturedStdout().empty());
  EXPECT_FALSE(it.HasMore());
  EXPECT_EQ(it.GetFailReason(), 3);
  EXPECT_EQ(it.Next(), nullptr);
  EXPECT_EQ(it.NewPass(), 3);
}

TEST(BinaryRecordIteratorPipeTest, UnseekableStreamCannotStartANewPassGivesFour) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const double data[2] = {1.0, 2.0};
  ASSERT_EQ(write(fds[1], data, sizeof data), static_cast<ssize_t>(sizeof data));
  close(fds[1]);
  FILE* f = fdopen(fds[0], "rb");
  ASSERT_NE(f, nullptr);
  {
    BinaryRecordIterator it(f, 2);
    ASSERT_NE(it.Next(), nullptr);
    EXPECT_EQ(it.NewPass(), 4);
    EXPECT_FALSE(it.HasMore());
  }
  std::fclose(f);
}

}  // namespace
