#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "MCMV.h"
#include "MCRecord.h"

using MCCommon::BinaryRecordIterator;
using MCCommon::Record;

namespace {

std::vector<double> Values(const Record& r) { return {r.GetAll(), r.GetAll() + r.Size()}; }

// ---------------------------------------------------------------------------------------
// Record

TEST(RecordTest, ConstructorSizes) {
  const Record none(0);
  EXPECT_EQ(none.Size(), 0);
  EXPECT_EQ(none.GetAll(), nullptr);

  const Record negative(-5);
  EXPECT_EQ(negative.Size(), 1);
  EXPECT_EQ(negative[0], 0.0);

  const Record byDefault;
  EXPECT_EQ(Values(byDefault), (std::vector<double>{0.0, 0.0}));
}

TEST(RecordTest, CopiesAreDeep) {
  Record a(3);
  a[0] = 1.5;
  a[2] = MCMV::Missing();
  Record b(a);
  EXPECT_NE(b.GetAll(), a.GetAll());
  EXPECT_EQ(Values(b), Values(a));
  b[0] = 9.0;
  EXPECT_EQ(a[0], 1.5);

  const Record empty(0);
  const Record emptyCopy(empty);
  EXPECT_EQ(emptyCopy.Size(), 0);
  EXPECT_EQ(emptyCopy.GetAll(), nullptr);
}

TEST(RecordTest, AssignmentTakesTheSourceSize) {
  Record src(4);
  for (int i = 0; i < 4; ++i) src[i] = i + 0.25;
  Record dst;  // 2 values
  dst = src;
  EXPECT_EQ(Values(dst), Values(src));
  EXPECT_NE(dst.GetAll(), src.GetAll());

  Record same(4);
  double* const before = same.GetAll();
  same = src;  // equal sizes keep the storage
  EXPECT_EQ(same.GetAll(), before);
  EXPECT_EQ(Values(same), Values(src));

  Record& alias = src;
  src = alias;
  EXPECT_EQ(src[3], 3.25);

  const Record none(0);
  dst = none;
  EXPECT_EQ(dst.Size(), 0);
  EXPECT_EQ(dst.GetAll(), nullptr);

  // Records in a growing vector are copied or moved many times without leaking.
  std::vector<Record> rows;
  for (int i = 0; i < 20; ++i) rows.push_back(src);
  Record moved(std::move(rows.back()));
  EXPECT_EQ(moved[3], 3.25);
  EXPECT_EQ(rows.back().Size(), 0);
}

TEST(RecordTest, Resize) {
  Record r(3);
  double* const before = r.GetAll();
  EXPECT_TRUE(r.Resize(3));
  EXPECT_EQ(r.GetAll(), before);

  EXPECT_TRUE(r.Resize(5));
  EXPECT_EQ(r.Size(), 5);
  for (int i = 0; i < 5; ++i) r[i] = i;  // the new storage is writable throughout
  EXPECT_EQ(r[4], 4.0);

  EXPECT_TRUE(r.Resize(-2));
  EXPECT_EQ(r.Size(), 0);
  EXPECT_EQ(r.GetAll(), nullptr);
}

// ---------------------------------------------------------------------------------------
// BinaryRecordIterator over files written in a temporary file

class BinaryRecordIteratorTest : public testing::Test {
 protected:
  void TearDown() override {
    if (fFile != nullptr) std::fclose(fFile);
  }

  // A file holding the given doubles followed by `extraBytes` zero bytes, positioned at
  // its start.
  FILE* MakeFile(const std::vector<double>& values, size_t extraBytes = 0) {
    fFile = std::tmpfile();
    EXPECT_NE(fFile, nullptr);
    if (!values.empty()) std::fwrite(values.data(), sizeof(double), values.size(), fFile);
    const std::vector<char> zeros(extraBytes, 0);
    if (extraBytes > 0) std::fwrite(zeros.data(), 1, extraBytes, fFile);
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

TEST_F(BinaryRecordIteratorTest, OneRecord) {
  BinaryRecordIterator it(MakeFile({1.0, MCMV::Missing(), 3.0}), 3);
  EXPECT_TRUE(it.HasMore());
  EXPECT_EQ(it.GetFailReason(), 0);
  const Record* r = it.Next();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(Values(*r), (std::vector<double>{1.0, MCMV::Missing(), 3.0}));
  EXPECT_FALSE(it.HasMore());
  EXPECT_EQ(it.GetFailReason(), 1);
  EXPECT_EQ(it.Next(), nullptr);
}

TEST_F(BinaryRecordIteratorTest, EmptyFile) {
  BinaryRecordIterator it(MakeFile({}), 2);
  EXPECT_FALSE(it.HasMore());
  EXPECT_EQ(it.GetFailReason(), 1);
  EXPECT_EQ(it.Next(), nullptr);
  EXPECT_EQ(it.NewPass(), 1);
}

TEST_F(BinaryRecordIteratorTest, TruncatedLastRecordFailsWithThree) {
  // 2.5 records of 2 values: 40 bytes.
  BinaryRecordIterator it(MakeFile({1, 2, 3, 4, 5}), 2);
  std::vector<std::vector<double>> seen;
  while (it.HasMore()) seen.push_back(Values(*it.Next()));
  EXPECT_EQ(seen, (std::vector<std::vector<double>>{{1, 2}, {3, 4}}));
  EXPECT_EQ(it.GetFailReason(), 3);
  EXPECT_EQ(it.NewPass(), 0);  // the whole records can be read again
}

TEST_F(BinaryRecordIteratorTest, PassesRepeatAfterAPassStoppedHalfWay) {
  const std::vector<double> data = {1, 2, 3, 4, 5, 6, 7, 8};
  BinaryRecordIterator it(MakeFile(data), 2);
  ASSERT_NE(it.Next(), nullptr);
  ASSERT_NE(it.Next(), nullptr);
  for (int pass = 0; pass < 3; ++pass) {
    EXPECT_EQ(it.NewPass(), 0);
    EXPECT_EQ(ReadPass(it), data) << "pass " << pass;
    EXPECT_EQ(it.GetFailReason(), 1);
  }
}

TEST_F(BinaryRecordIteratorTest, StartsAtTheCurrentFilePosition) {
  FILE* f = MakeFile({1, 2, 3, 4, 5, 6});
  ASSERT_EQ(std::fseek(f, 2 * sizeof(double), SEEK_SET), 0);
  BinaryRecordIterator it(f, 2);
  EXPECT_EQ(ReadPass(it), (std::vector<double>{3, 4, 5, 6}));
  EXPECT_EQ(it.NewPass(), 0);
  EXPECT_EQ(ReadPass(it), (std::vector<double>{1, 2, 3, 4, 5, 6}));
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

TEST_F(BinaryRecordIteratorTest, CountZeroStopsWithThree) {
  BinaryRecordIterator it(MakeFile({7, 8}), 0);
  EXPECT_FALSE(it.HasMore());
  EXPECT_EQ(it.GetFailReason(), 3);
  EXPECT_EQ(it.NewPass(), 3);
}

TEST(BinaryRecordIteratorNullTest, NullFilePrintsAndStopsWithThree) {
  testing::internal::CaptureStdout();
  BinaryRecordIterator it(nullptr, 2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error: file handle is NULL in BinaryRecordIterator constructor");
  EXPECT_FALSE(it.HasMore());
  EXPECT_EQ(it.GetFailReason(), 3);
  EXPECT_EQ(it.Next(), nullptr);
  EXPECT_EQ(it.NewPass(), 3);
  EXPECT_EQ(it.NewPass(), 3);
}

TEST(BinaryRecordIteratorPipeTest, UnseekableStreamCannotStartANewPass) {
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
    EXPECT_EQ(it.NewPass(), 4);
  }
  std::fclose(f);
}

}  // namespace
