// The CSV reader: the block boundaries of a pipe fall anywhere.
#include "CsvParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "frontend/Errors.h"

namespace MCFrontEnd {
namespace {

// Hands out the text in pieces of 1 to `most` bytes, as a pipe may.
class PieceReader : public ByteReader {
 public:
  PieceReader(std::string text, std::size_t most, unsigned seed)
      : ByteReader("pieces"), fText(std::move(text)), fMost(most), fRandom(seed) {}
  std::size_t Read(char* buf, std::size_t n) override {
    std::uniform_int_distribution<std::size_t> size(1, fMost);
    const std::size_t got = std::min({n, size(fRandom), fText.size() - fAt});
    std::copy_n(fText.data() + fAt, got, buf);
    fAt += got;
    return got;
  }
  bool Rereadable() const override { return false; }
  bool Compressed() const override { return false; }

 private:
  std::string fText;
  std::size_t fAt = 0;
  std::size_t fMost;
  std::mt19937 fRandom;
};

struct Parsed {
  char separator;
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> records;  // fields; "|" joins them below
  std::vector<std::int64_t> lines;
};

Parsed Parse(std::unique_ptr<ByteReader> reader, char separator = 0) {
  CsvParser parser(std::move(reader), "t.csv", separator);
  Parsed p{parser.Separator(), parser.Names(), {}, {}};
  while (parser.Next()) {
    std::vector<std::string> fields;
    for (std::size_t j = 0; j < p.names.size(); ++j) fields.emplace_back(parser.Text(j));
    p.records.push_back(fields);
    p.lines.push_back(parser.Line());
  }
  return p;
}

std::string Joined(const std::vector<std::string>& fields) {
  std::string s;
  for (std::size_t j = 0; j < fields.size(); ++j) s += (j ? "|" : "") + fields[j];
  return s;
}

struct FormCase {
  const char* name;
  std::string text;
  char separator;                     // what the header line shows
  std::string names;                  // joined by '|'
  std::vector<std::string> records;   // each joined by '|'
  std::vector<std::int64_t> lines;    // where each record starts
};

std::vector<FormCase> Forms() {
  return {
      {"comma", "y,x\n1,2\n3,4\n", ',', "y|x", {"1|2", "3|4"}, {2, 3}},
      {"semicolon", "y;x;z\n1,5;2;a\n", ';', "y|x|z", {"1,5|2|a"}, {2}},
      {"tab", "y\tx\n1\t2\n", '\t', "y|x", {"1|2"}, {2}},
      {"single_column", "y\n1\n2\n", ',', "y", {"1", "2"}, {2, 3}},
      {"separators_in_quotes_do_not_count", "\"a;b;c\",d\n1,2\n", ',', "a;b;c|d", {"1|2"}, {2}},
      {"bom_crlf_blank_lines", "\xEF\xBB\xBFy,x\r\n\r\n1,2\r\n  \n3,4", ',', "y|x",
       {"1|2", "3|4"}, {3, 5}},
      {"quotes_doubled_and_line_ends_inside", "y,t\n1,\"a \"\"q\"\"\"\n2,\"two\nlines\" \n3,\"\"\n",
       ',', "y|t", {"1|a \"q\"", "2|two\nlines", "3|"}, {2, 3, 5}},
      {"lone_carriage_return_is_data", "y,t\n1,a\rb\n", ',', "y|t", {"1|a\rb"}, {2}},
      {"carriage_return_at_the_end", "y,x\n1,2\r", ',', "y|x", {"1|2"}, {2}},
      {"blanks_around_names", " y , x \n1,2\n", ',', "y|x", {"1|2"}, {2}},
  };
}

class CsvForms : public ::testing::TestWithParam<FormCase> {};

TEST_P(CsvForms, RecordsWhateverThePieces) {
  const FormCase& c = GetParam();
  for (std::size_t most : {std::size_t{1} << 20, std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
    SCOPED_TRACE(most);
    const Parsed p = Parse(std::make_unique<PieceReader>(c.text, most, 17u));
    EXPECT_EQ(p.separator, c.separator);
    EXPECT_EQ(Joined(p.names), c.names);
    std::vector<std::string> records;
    for (const auto& r : p.records) records.push_back(Joined(r));
    EXPECT_EQ(records, c.records);
    EXPECT_EQ(p.lines, c.lines);
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, CsvForms, ::testing::ValuesIn(Forms()),
                         [](const auto& info) { return std::string(info.param.name); });

// Some fields are longer than the reader's block.
TEST(CsvParserTest, RandomFilesReadTheSameInAnyPieces) {
  std::mt19937 random(5);
  const std::string alphabet = "ab1.,\"\n\r ;";
  for (int file = 0; file < 12; ++file) {
    std::string text = "a,b,c\n";
    for (int r = 0; r < 50; ++r) {
      for (int j = 0; j < 3; ++j) {
        std::string field;
        const std::size_t length = random() % 100 == 0 ? (1u << 20) + 100 : random() % 12;
        for (std::size_t k = 0; k < length; ++k) field += alphabet[random() % alphabet.size()];
        const bool quote = field.find_first_of(",\"\n\r") != std::string::npos || random() % 3 == 0;
        if (quote) {
          std::string q = "\"";
          for (char ch : field) q += ch == '"' ? std::string("\"\"") : std::string(1, ch);
          field = q + "\"";
        }
        text += (j ? "," : "") + field;
      }
      text += random() % 2 ? "\n" : "\r\n";
    }
    const Parsed whole = Parse(ByteReader::FromText(text), ',');
    const Parsed pieces = Parse(std::make_unique<PieceReader>(text, 5, random()), ',');
    EXPECT_EQ(whole.records, pieces.records) << file;
    EXPECT_EQ(whole.lines, pieces.lines) << file;
    EXPECT_EQ(whole.records.size(), 50u) << file;
  }
}

struct BadCase {
  const char* text;
  const char* message;
};

class CsvBad : public ::testing::TestWithParam<BadCase> {};

TEST_P(CsvBad, SaysWhatAndWhere) {
  try {
    Parse(ByteReader::FromText(GetParam().text));
    ADD_FAILURE() << "no error";
  } catch (const InputError& e) {
    EXPECT_STREQ(e.what(), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvBad,
    ::testing::Values(BadCase{"", "t.csv: no header line"},
                      BadCase{"\n \n", "t.csv: no header line"},
                      BadCase{"y,x,x\n", "t.csv, line 1: column 'x' twice"},
                      BadCase{"y,,x\n", "t.csv, line 1: a column without a name"},
                      BadCase{"\"\"\n1\n", "t.csv, line 1: a column without a name"},
                      BadCase{"y,x\n1,2\n3,4,5\n", "t.csv, line 3: 3 fields where the header has 2"},
                      BadCase{"y,x\n1,\"2\n\n", "t.csv, line 2: a quoted field is not closed"},
                      BadCase{"y,x\n1,2\"\n", "t.csv, line 2: a quote inside an unquoted field"},
                      BadCase{"y,x\n\n1,\"2\"x\n",
                              "t.csv, line 3: unexpected character after a quoted field"}));

}  // namespace
}  // namespace MCFrontEnd
