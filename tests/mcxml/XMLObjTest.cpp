#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>

#include "MCMV.h"
#include "XMLElement.h"
#include "XMLObj.h"

namespace {

using MCCommonXML::XMLObj;

bool SameDouble(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

// A stream as its callers write it (doctype, root, objects, root end) with every kind of line:
// the object lines as the format has them, and read back, also with every line end made CRLF.
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
  EXPECT_EQ(outer.StartObj(os), 0);
  EXPECT_EQ(outer.WriteSubElement(os, INT_MIN), 0);
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
    ASSERT_TRUE(XMLObj::ParseStartXML(is));
    ASSERT_TRUE(XMLObj::ParseStartObj(is, "MCVarList"));
    int i = 0;
    unsigned u = 0;
    bool b = false;
    long l = 0;
    double x = 0;
    std::string str;
    EXPECT_TRUE(XMLObj::ParseValue(is, i) && i == INT_MIN);
    EXPECT_TRUE(XMLObj::ParseValue(is, u) && u == UINT_MAX);
    EXPECT_TRUE(XMLObj::ParseValue(is, b) && b);
    EXPECT_TRUE(XMLObj::ParseValue(is, l) && l == 9007199254740993L);
    EXPECT_TRUE(XMLObj::ParseValue(is, l) && l == LONG_MIN);
    ASSERT_TRUE(XMLObj::ParseStartObj(is, "Inner"));
    for (double want : {0.1, MCMV::Missing(), 0.333333333333333, 1.0 / 3, -kInf, std::nan("")}) {
      EXPECT_TRUE(XMLObj::ParseValue(is, x) && SameDouble(x, want)) << want;
    }
    EXPECT_TRUE(XMLObj::ParseEndObj(is));
    EXPECT_TRUE(XMLObj::ParseValue(is, str) && str == "a\"b <&> c  ");
    EXPECT_TRUE(XMLObj::ParseEndObj(is));
  }
}

// The double a value line holds, or NaN with failed = true when the line does not read.
double ReadBack(const std::string& line, bool& failed) {
  std::istringstream is(line);
  double d = -7.0;
  failed = !XMLObj::ParseValue(is, d);
  return failed ? std::nan("") : d;
}

struct NumberCase {
  const char* text;
  bool reads;
  double value;
};
void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.text; }

class XMLObjNumberTextTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(XMLObjNumberTextTest, ReadsWholeTokensOnly) {
  bool failed = false;
  const double d = ReadBack(std::string("<Double value=\"") + GetParam().text + "\"/>", failed);
  EXPECT_EQ(!failed, GetParam().reads);
  if (GetParam().reads) {
    EXPECT_TRUE(SameDouble(d, GetParam().value)) << d;
  }
}

const double kMaxD = std::numeric_limits<double>::max();
const double kInfD = std::numeric_limits<double>::infinity();
INSTANTIATE_TEST_SUITE_P(
    Tokens, XMLObjNumberTextTest,
    ::testing::Values(NumberCase{"INF", true, kInfD}, NumberCase{"-Infinity", true, -kInfD},
                      NumberCase{"NaN", true, std::nan("")}, NumberCase{"+2.5", true, 2.5},
                      NumberCase{"1e400", true, kMaxD}, NumberCase{"-1e400", true, -kMaxD},
                      NumberCase{"-1e-400", true, -0.0}, NumberCase{"2.5e-324", true, 5e-324},
                      NumberCase{"Missing", true, MCMV::Missing()}, NumberCase{"1.5abc", false, 0},
                      NumberCase{"", false, 0}, NumberCase{"0x10", false, 0},
                      NumberCase{"missing", false, 0}, NumberCase{"+-1", false, 0},
                      NumberCase{"1,5", false, 0}));

struct ReferenceCase {
  const char* value;
  const char* read;  // null: the line does not read
};
void PrintTo(const ReferenceCase& c, std::ostream* os) { *os << c.value; }

class XMLObjReferenceTest : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(XMLObjReferenceTest, ConvertsWellFormedReferencesOnly) {
  std::istringstream is(std::string("<String value=\"") + GetParam().value + "\"/>");
  std::string v = "stale";
  const bool read = XMLObj::ParseValue(is, v);
  EXPECT_EQ(read, GetParam().read != nullptr);
  EXPECT_EQ(v, read ? GetParam().read : "stale");
}

INSTANTIATE_TEST_SUITE_P(
    References, XMLObjReferenceTest,
    ::testing::Values(ReferenceCase{"&apos;&gt;&#65;&#x42;", "'>AB"},
                      ReferenceCase{"&#233;&#x20AC;&#x1F600;",
                                    "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
                      ReferenceCase{"a & b", nullptr}, ReferenceCase{"&nbsp;", nullptr},
                      ReferenceCase{"&#0;", nullptr}, ReferenceCase{"&#xD800;", nullptr},
                      ReferenceCase{"&#x110000;", nullptr}, ReferenceCase{"&#12a;", nullptr},
                      ReferenceCase{"&#;", nullptr}, ReferenceCase{"&amp", nullptr}));

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
  EXPECT_FALSE(XMLObj::ParseValue(is, i));
  EXPECT_FALSE(XMLObj::ParseValue(is, i));
  EXPECT_FALSE(XMLObj::ParseValue(is, b));
  EXPECT_FALSE(XMLObj::ParseValue(is, d));
  EXPECT_FALSE(XMLObj::ParseValue(is, i));
  EXPECT_FALSE(XMLObj::ParseValue(is, u));
  EXPECT_EQ(i, 42);
  EXPECT_TRUE(b);
  EXPECT_EQ(d, 1.5);
  EXPECT_EQ(u, 9u);
  // Each failure consumed its line only.
  EXPECT_TRUE(XMLObj::ParseValue(is, i));
  EXPECT_EQ(i, 7);
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

// Lines up to the limit are written and read back, also with a CRLF end. What the reader
// would refuse is not written (the stream fails instead), and such a line fails the reader and
// leaves its stream failed.
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
      std::string v;
      EXPECT_TRUE(XMLObj::ParseValue(is, v));
      EXPECT_EQ(v, value);
    }
  }
  for (const std::string& value : {std::string(fit + 1, 'q'), std::string(fit / 6 + 1, '"')}) {
    std::ostringstream os;
    o.WriteSubElement(os, value);
    EXPECT_TRUE(os.fail());
    EXPECT_EQ(os.str(), "");
  }
  std::ostringstream root;
  XMLObj::WriteHeader(root, std::string(XMLObj::kMaxLineLength, 'c'));
  EXPECT_TRUE(root.fail());

  std::istringstream tooLong("\t\t\t<String value=\"" + std::string(fit + 1, 'q') +
                             "\"/>\n<Int value=\"1\"/>");
  std::string v = "kept";
  int i = 0;
  EXPECT_FALSE(XMLObj::ParseValue(tooLong, v));
  EXPECT_EQ(v, "kept");
  EXPECT_FALSE(XMLObj::ParseValue(tooLong, i));
}

TEST(XMLObjReadFailureTest, StructureLines) {
  std::istringstream wrongName("\t<Obj name=\"MCCatVar\">");
  EXPECT_FALSE(XMLObj::ParseStartObj(wrongName, "MCContVar"));
  std::istringstream prefix("<Obj name=\"MCContVarX\">");
  EXPECT_FALSE(XMLObj::ParseStartObj(prefix, "MCContVar"));
  std::istringstream blankFirst("\n\t<Obj name=\"MCContVar\">");
  EXPECT_TRUE(XMLObj::ParseStartObj(blankFirst, "MCContVar"));
  std::istringstream notObj("<Object name=\"A\">");
  EXPECT_FALSE(XMLObj::ParseStartObj(notObj, "A"));

  std::istringstream ends("\t</Obj>\n</Objects>\n<Obj>\n</MCXMLRoot>");
  EXPECT_TRUE(XMLObj::ParseEndObj(ends));
  EXPECT_FALSE(XMLObj::ParseEndObj(ends));
  EXPECT_FALSE(XMLObj::ParseEndObj(ends));
  EXPECT_FALSE(XMLObj::ParseEndObj(ends));
  EXPECT_FALSE(XMLObj::ParseEndObj(ends));  // nothing left

  std::istringstream noDoctype(
      "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<MCXMLRoot copyright=\"x\">\n");
  EXPECT_FALSE(XMLObj::ParseStartXML(noDoctype));
  std::istringstream truncated("<?xml version=\"1.0\"?>\n<!DOCTYPE MCXMLRoot SYSTEM \"s\">");
  EXPECT_FALSE(XMLObj::ParseStartXML(truncated));
}

}  // namespace
