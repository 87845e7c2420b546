#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <tuple>
#include <vector>

#include "MCMV.h"
#include "XMLElement.h"
#include "XMLObj.h"
#include "metadata/MetadataTestUtil.h"

namespace {

using MCCommonXML::XMLObj;
using metadata_test::SameDouble;

// read tells whether the line was taken.
template <class T>
T Read(std::istream& is, bool& read, T init = T()) {
  T v = init;
  read = XMLObj::ParseValue(is, v);
  return v;
}
template <class T>
T Read(std::istream& is) {
  bool read = false;
  const T v = Read<T>(is, read);
  EXPECT_TRUE(read);
  return v;
}

// Read back also with every line end made CRLF.
TEST(XMLObjTest, EveryKindOfLineIsWrittenAndReadBack) {
  const double kInf = std::numeric_limits<double>::infinity();
  XMLObj outer("MCVarList", 1), inner("Inner", 2);
  std::ostringstream os;
  std::unique_ptr<MCCommonXML::XMLDocType> d(
      MCCommonXML::XMLDocType::Create("MCXMLRoot", "savexml.dtd", 0));
  MCCommonXML::ExportFormat f;
  d->ToStream(os, f, true);
  EXPECT_EQ(XMLObj::WriteHeader(os, "(c) A & B"), 0);
  const std::size_t start = os.str().size();
  EXPECT_EQ(outer.StartObj(os) + outer.WriteSubElement(os, INT_MIN), 0);
  outer.WriteSubElement(os, UINT_MAX);
  outer.WriteSubElement(os, true);
  outer.WriteSubElement(os, 9007199254740993L);
  outer.WriteSubElement(os, LONG_MIN);
  inner.StartObj(os);
  inner.WriteSubElement(os, 0.1);
  inner.WriteSubElement(os, MCMV::Missing());
  inner.WriteSubElement(os, 1.0 / 3);
  inner.WriteExactSubElement(os, 1.0 / 3);
  inner.WriteExactSubElement(os, -kInf);
  inner.WriteSubElement(os, -std::nan(""));
  inner.EndObj(os);
  outer.WriteSubElement(os, "a\"b <&> c  ");
  EXPECT_EQ(outer.EndObj(os), 0);
  const std::size_t end = os.str().size();
  XMLObj::EndHeader(os);
  const std::string text = os.str();
  EXPECT_NE(text.find("\n<MCXMLRoot copyright=\"(c) A &amp; B\">"), std::string::npos);
  EXPECT_EQ(text.substr(end), "\n</MCXMLRoot>");
  EXPECT_EQ(text.substr(start, end - start),
            "\n\t<Obj name=\"MCVarList\">"
            "\n\t\t<Int value=\"-2147483648\"/>"
            "\n\t\t<Int value=\"4294967295\"/>"
            "\n\t\t<Int value=\"1\"/>"
            "\n\t\t<Long value=\"9007199254740993\"/>"
            "\n\t\t<Long value=\"-9223372036854775808\"/>"
            "\n\t\t<Obj name=\"Inner\">"
            "\n\t\t\t<Double value=\"0.1\"/>"
            "\n\t\t\t<Double value=\"Missing\"/>"
            "\n\t\t\t<Double value=\"0.333333333333333\"/>"
            "\n\t\t\t<Double value=\"0.3333333333333333\"/>"
            "\n\t\t\t<Double value=\"-inf\"/>"
            "\n\t\t\t<Double value=\"nan\"/>"
            "\n\t\t</Obj>"
            "\n\t\t<String value=\"a&quot;b &lt;&amp;&gt; c &#32;\"/>"
            "\n\t</Obj>");

  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& version : {text, crlf}) {
    std::istringstream is(version);
    ASSERT_TRUE(XMLObj::ParseStartXML(is) && XMLObj::ParseStartObj(is, "MCVarList"));
    EXPECT_EQ(Read<int>(is), INT_MIN);
    EXPECT_EQ(Read<unsigned>(is), UINT_MAX);
    EXPECT_TRUE(Read<bool>(is));
    EXPECT_EQ(Read<long>(is), 9007199254740993L);
    EXPECT_EQ(Read<long>(is), LONG_MIN);
    ASSERT_TRUE(XMLObj::ParseStartObj(is, "Inner"));
    for (double want : {0.1, MCMV::Missing(), 0.333333333333333, 1.0 / 3, -kInf, std::nan("")})
      EXPECT_TRUE(SameDouble(Read<double>(is), want)) << want;
    EXPECT_TRUE(XMLObj::ParseEndObj(is));
    EXPECT_EQ(Read<std::string>(is), "a\"b <&> c  ");
    EXPECT_TRUE(XMLObj::ParseEndObj(is));
  }
}

// A failed line leaves the target (-7, "stale") as it was.
TEST(XMLObjTest, NumberAndReferenceTextsReadWholeOrNotAtAll) {
  const double kMax = std::numeric_limits<double>::max(), kInf = HUGE_VAL, kNot = -7;
  const std::pair<const char*, double> numbers[] = {
      {"INF", kInf},     {"-Infinity", -kInf}, {"NaN", NAN},
      {"+2.5", 2.5},     {"1e400", kMax},      {"-1e400", -kMax},
      {"-1e-400", -0.0}, {"2.5e-324", 5e-324}, {"1.5abc", kNot},
      {"", kNot},        {"0x10", kNot},       {"missing", kNot},
      {"+-1", kNot},     {"1,5", kNot},        {"Missing", MCMV::Missing()}};
  for (const auto& [text, value] : numbers) {
    std::istringstream is(std::string("<Double value=\"") + text + "\"/>");
    bool read = false;
    EXPECT_TRUE(SameDouble(Read<double>(is, read, kNot), value)) << text;
    EXPECT_EQ(read, value != kNot) << text;
  }
  std::vector<std::pair<const char*, const char*>> references = {
      {"&apos;&gt;&#65;&#x42;", "'>AB"},
      {"&#233;&#x20AC;&#x1F600;", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"}};
  for (const char* bad :
       {"a & b", "&nbsp;", "&#0;", "&#xD800;", "&#x110000;", "&#12a;", "&#;", "&amp"})
    references.emplace_back(bad, nullptr);
  for (const auto& [value, want] : references) {
    std::istringstream is(std::string("<String value=\"") + value + "\"/>");
    bool read = false;
    EXPECT_EQ(Read<std::string>(is, read, "stale"), want != nullptr ? want : "stale") << value;
    EXPECT_EQ(read, want != nullptr) << value;
  }
}

TEST(XMLObjReadFailureTest, MismatchedValueLinesFailAndKeepTheTarget) {
  std::istringstream is(
      "<Long value=\"3\"/>\n"      // kind of another type
      "<Int val=\"3\"/>\n"         // wrong attribute
      "<Int value=\"2\"/>\n"       // bool beyond 1
      "<Double value=\"abc\"/>\n"  // not a number
      "<Int value=\"abc\"/>\n"     // no digits
      "<Int value=\"4294967296\"/>\n"
      "<Int value=\"7\"/>");
  int i = 42;
  bool b = true;
  double d = 1.5;
  unsigned u = 9;
  EXPECT_FALSE(XMLObj::ParseValue(is, i) || XMLObj::ParseValue(is, i) ||
               XMLObj::ParseValue(is, b) || XMLObj::ParseValue(is, d) ||
               XMLObj::ParseValue(is, i) || XMLObj::ParseValue(is, u));
  EXPECT_EQ(std::make_tuple(i, b, d, u), std::make_tuple(42, true, 1.5, 9u));
  EXPECT_EQ(Read<int>(is), 7);              // each failure consumed its line only
  EXPECT_FALSE(XMLObj::ParseValue(is, i));  // end of stream
}

// An endless line without a line feed: the reader gives up just past the limit.
class EndlessLine : public std::streambuf {
 public:
  std::size_t fServed = 0;

 protected:
  int_type underflow() override {
    setg(fChunk, fChunk, fChunk + sizeof fChunk);
    fServed += sizeof fChunk;
    return traits_type::to_int_type('x');
  }

 private:
  char fChunk[4096] = {};
};

TEST(XMLObjLineLengthTest, AnEndlessLineIsReadNoFurtherThanTheLimit) {
  EndlessLine endless;
  std::istream is(&endless);
  std::string v;
  EXPECT_FALSE(XMLObj::ParseValue(is, v));
  EXPECT_TRUE(is.fail());
  EXPECT_LE(endless.fServed, XMLObj::kMaxLineLength + 2 * 4096);
}

// What the reader would refuse is not written: the stream fails instead.
TEST(XMLObjLineLengthTest, WriterAndReaderAgreeOnTheLimit) {
  XMLObj o("S", 2);
  const std::size_t fit = XMLObj::kMaxLineLength - std::string("\t\t\t<String value=\"\"/>").size();
  for (const std::string& value :
       {std::string(fit, 'q'), std::string(fit / 6, '"') + std::string(fit % 6, 'q')}) {
    std::ostringstream os;
    o.WriteSubElement(os, value);
    ASSERT_TRUE(os.good());
    for (const char* end : {"", "\r\n"}) {
      std::istringstream is(os.str().substr(1) + end);
      EXPECT_EQ(Read<std::string>(is), value);
    }
  }
  for (const std::string& value : {std::string(fit + 1, 'q'), std::string(fit / 6 + 1, '"')}) {
    std::ostringstream os;
    o.WriteSubElement(os, value);
    EXPECT_TRUE(os.fail() && os.str().empty());
  }
  // One character more is refused by the reader too, whatever the line end.
  for (const char* end : {"", "\n", "\r\n"}) {
    std::istringstream is("\t\t\t<String value=\"" + std::string(fit + 1, 'q') + "\"/>" + end);
    std::string v;
    EXPECT_FALSE(XMLObj::ParseValue(is, v)) << end;
  }
  std::ostringstream root;
  XMLObj::WriteHeader(root, std::string(XMLObj::kMaxLineLength, 'c'));
  EXPECT_TRUE(root.fail());
}

TEST(XMLObjReadFailureTest, StructureLines) {
  const std::pair<const char*, bool> starts[] = {{"\t<Obj name=\"MCCatVar\">", false},
                                                 {"<Obj name=\"MCContVarX\">", false},
                                                 {"\n\t<Obj name=\"MCContVar\">", true},
                                                 {"<Object name=\"MCContVar\">", false}};
  for (const auto& [line, ok] : starts) {
    std::istringstream is(line);
    EXPECT_EQ(XMLObj::ParseStartObj(is, "MCContVar"), ok) << line;
  }
  std::istringstream ends("\t</Obj>\n</Objects>\n<Obj>\n</MCXMLRoot>");
  EXPECT_TRUE(XMLObj::ParseEndObj(ends));
  for (int k = 0; k < 4; ++k) EXPECT_FALSE(XMLObj::ParseEndObj(ends)) << k;  // the last: none left
  std::istringstream noDoctype(
      "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<MCXMLRoot copyright=\"x\">\n");
  std::istringstream truncated("<?xml version=\"1.0\"?>\n<!DOCTYPE MCXMLRoot SYSTEM \"s\">");
  EXPECT_FALSE(XMLObj::ParseStartXML(noDoctype) || XMLObj::ParseStartXML(truncated));
}

}  // namespace
