#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "DataTable.h"
#include "MCMV.h"

namespace mcfit {
namespace {

// The message of the InputError that parsing `text` throws, or "" when it parses.
std::string CsvError(const std::string& text) {
  try {
    ParseCsv(text, "in.csv");
  } catch (const InputError& e) {
    return e.what();
  }
  return "";
}

TEST(CsvReader, QuotedFieldsKeepCommasQuotesAndLineEnds) {
  const DataTable t =
      ParseCsv("name,y\n\"a,b\",1\n\"say \"\"hi\"\"\",2\n\"two\nlines\",3\n", "in.csv");
  ASSERT_EQ(t.nRows, 3u);
  const Column& name = t.columns[0];
  EXPECT_FALSE(name.numeric);
  EXPECT_EQ(name.text, (std::vector<std::string>{"a,b", "say \"hi\"", "two\nlines"}));
  EXPECT_TRUE(t.columns[1].numeric);
  EXPECT_EQ(t.columns[1].values, (std::vector<double>{1, 2, 3}));
  // Each record is counted from the line it starts on, whatever line ends it holds.
  EXPECT_EQ(t.lines, (std::vector<long>{2, 3, 4}));
}

TEST(CsvReader, ByteOrderMarkCrLfBlankLinesAndMissingValues) {
  const DataTable t = ParseCsv("\xEF\xBB\xBFy,x\r\n1,NA\r\n\r\n,2.5\r\n\"NA\",-3e2\r\n", "in.csv");
  ASSERT_EQ(t.columns.size(), 2u);
  EXPECT_EQ(t.columns[0].name, "y");
  EXPECT_EQ(t.nRows, 3u);
  EXPECT_EQ(t.columns[0].values[0], 1.0);
  EXPECT_TRUE(MCMV::IsMissing(t.columns[0].values[1]));
  EXPECT_TRUE(MCMV::IsMissing(t.columns[0].values[2]));
  EXPECT_TRUE(MCMV::IsMissing(t.columns[1].values[0]));
  EXPECT_EQ(t.columns[1].values[1], 2.5);
  EXPECT_EQ(t.columns[1].values[2], -300.0);
  EXPECT_EQ(t.lines, (std::vector<long>{2, 4, 5}));
  EXPECT_EQ(t.Where(1), "in.csv, line 4");
}

TEST(CsvReader, LastLineWithoutLineEnd) {
  const DataTable t = ParseCsv("a\n1\n2", "in.csv");
  EXPECT_EQ(t.columns[0].values, (std::vector<double>{1, 2}));
}

TEST(CsvReader, ColumnWithAnyTextIsNotNumeric) {
  const DataTable t = ParseCsv("g\n1\ninf\n2\n", "in.csv");
  EXPECT_FALSE(t.columns[0].numeric);
  EXPECT_EQ(t.columns[0].text[1], "inf");
}

TEST(CsvReader, MalformedInputNamesTheLine) {
  EXPECT_EQ(CsvError("a,b\n1,2\n3\n"), "in.csv, line 3: 1 fields where the header has 2");
  EXPECT_EQ(CsvError("a,b\n\"x\ny\",1\n1,2,3\n"),
            "in.csv, line 4: 3 fields where the header has 2");
  EXPECT_EQ(CsvError("a,b\n1,\"open\n2,3\n"), "in.csv, line 2: a quoted field is not closed");
  EXPECT_EQ(CsvError("a,b\n1,x\"y\n"), "in.csv, line 2: a quote inside an unquoted field");
  EXPECT_EQ(CsvError("a,b\n\"x\"y,1\n"),
            "in.csv, line 2: unexpected character after a quoted field");
  EXPECT_EQ(CsvError(""), "in.csv: no header line");
  EXPECT_EQ(CsvError("a,a\n1,2\n"), "in.csv, line 1: column 'a' twice");
}

TEST(CsvReader, CancelStopsTheRead) {
  std::string text = "x\n";
  for (int i = 0; i < 5000; ++i) text += "1\n";
  EXPECT_THROW(ParseCsv(text, "in.csv", [] { return true; }), Cancelled);
  EXPECT_EQ(ParseCsv(text, "in.csv", [] { return false; }).nRows, 5000u);
}

TEST(ParseNumberTest, AcceptsFiniteNumbersOnly) {
  double v = 0.0;
  EXPECT_TRUE(ParseNumber(" +1.5e3 ", v));
  EXPECT_EQ(v, 1500.0);
  for (const char* bad : {"", "1x", "nan", "inf", "1e999", "--1", "0x10"}) {
    EXPECT_FALSE(ParseNumber(bad, v)) << bad;
  }
}

class BinaryReader : public ::testing::Test {
 protected:
  void SetUp() override { fPath = ::testing::TempDir() + "mcfit_records.bin"; }
  void TearDown() override { std::remove(fPath.c_str()); }
  void Write(const std::vector<double>& values, std::size_t extraBytes = 0) {
    std::ofstream out(fPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(values.data()),
              static_cast<std::streamsize>(values.size() * sizeof(double)));
    for (std::size_t i = 0; i < extraBytes; ++i) out.put('\0');
  }
  std::string fPath;
};

TEST_F(BinaryReader, ReadsRecordsColumnByColumn) {
  Write({1, 10, 2, 20, 3, MCMV::Missing()});
  const DataTable t = ReadBinaryFile(fPath, {"a", "b"});
  ASSERT_EQ(t.nRows, 3u);
  EXPECT_EQ(t.columns[0].values, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(t.columns[1].values[1], 20.0);
  EXPECT_TRUE(MCMV::IsMissing(t.columns[1].values[2]));
  EXPECT_EQ(t.Where(2), fPath + ", record 3");
}

TEST_F(BinaryReader, TruncatedRecordIsAnError) {
  Write({1, 10, 2}, 4);
  try {
    ReadBinaryFile(fPath, {"a", "b"});
    FAIL() << "no error";
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("record 2: truncated record"), std::string::npos);
  }
}

TEST_F(BinaryReader, NeedsDistinctColumnsAndAFile) {
  Write({1, 2});
  EXPECT_THROW(ReadBinaryFile(fPath, {}), InputError);
  EXPECT_THROW(ReadBinaryFile(fPath, {"a", "a"}), InputError);
  EXPECT_THROW(ReadBinaryFile(fPath + ".absent", {"a"}), InputError);
}

}  // namespace
}  // namespace mcfit
