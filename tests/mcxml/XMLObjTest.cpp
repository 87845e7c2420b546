#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include "MCMV.h"
#include "XMLElement.h"
#include "XMLObj.h"

namespace {

using MCCommonXML::XMLObj;

class XMLObjWriteTest : public ::testing::Test {
 protected:
  XMLObj obj_{"MCVarList", 1};
  std::ostringstream os_;
};

TEST_F(XMLObjWriteTest, ObjectLines) {
  EXPECT_EQ(obj_.StartObj(os_), 0);
  EXPECT_EQ(obj_.WriteSubElement(os_, -3), 0);
  obj_.WriteSubElement(os_, 4294967295u);
  obj_.WriteSubElement(os_, true);
  obj_.WriteSubElement(os_, 9007199254740993L);
  obj_.WriteSubElement(os_, 0.1);
  obj_.WriteSubElement(os_, MCMV::Missing());
  obj_.WriteSubElement(os_, "a\"b <&> c  ");
  EXPECT_EQ(obj_.EndObj(os_), 0);
  EXPECT_EQ(os_.str(),
            "\n\t<Obj name=\"MCVarList\">"
            "\n\t\t<Int value=\"-3\"/>"
            "\n\t\t<Int value=\"4294967295\"/>"
            "\n\t\t<Int value=\"1\"/>"
            "\n\t\t<Long value=\"9007199254740993\"/>"
            "\n\t\t<Double value=\"0.1\"/>"
            "\n\t\t<Double value=\"Missing\"/>"
            "\n\t\t<String value=\"a&quot;b &lt;&amp;&gt; c &#32;\"/>"
            "\n\t</Obj>");
}

TEST_F(XMLObjWriteTest, RootLines) {
  EXPECT_EQ(XMLObj::WriteHeader(os_, "(c) A & B"), 0);
  XMLObj::EndHeader(os_);
  EXPECT_EQ(os_.str(), "<MCXMLRoot copyright=\"(c) A &amp; B\">\n</MCXMLRoot>");
}

// Writes a complete stream the way its callers do: doctype, root, objects, root end.
std::string Stream(const std::function<void(std::ostream&)>& body) {
  std::ostringstream os;
  std::unique_ptr<MCCommonXML::XMLDocType> d(
      MCCommonXML::XMLDocType::Create("MCXMLRoot", "savexml.dtd", 0));
  MCCommonXML::ExportFormat f;
  d->ToStream(os, f, true);
  XMLObj::WriteHeader(os, "mcstat");
  body(os);
  XMLObj::EndHeader(os);
  return os.str();
}

TEST(XMLObjRoundTripTest, EveryKindReadsBack) {
  const double kPi = 3.14159265358979323846;
  // The largest double is written as 1.79769313486232e+308, beyond the range.
  const double doubles[] = {
      0.1, -1e-300, kPi, std::numeric_limits<double>::max(), MCMV::Missing(), 5e-324};
  XMLObj outer("Outer", 0), inner("Inner", 1);
  const std::string text = Stream([&](std::ostream& os) {
    outer.StartObj(os);
    for (int v : {INT_MIN, INT_MAX}) outer.WriteSubElement(os, v);
    outer.WriteSubElement(os, UINT_MAX);
    outer.WriteSubElement(os, false);
    outer.WriteSubElement(os, LONG_MIN);
    inner.StartObj(os);
    for (double v : doubles) inner.WriteSubElement(os, v);
    inner.EndObj(os);
    for (const char* v : {"label one", ""}) outer.WriteSubElement(os, std::string(v));
    outer.EndObj(os);
  });

  std::istringstream is(text);
  ASSERT_TRUE(XMLObj::ParseStartXML(is));
  ASSERT_TRUE(XMLObj::ParseStartObj(is, "Outer"));
  int i = 0;
  unsigned u = 0;
  bool b = true;
  long l = 0;
  for (int v : {INT_MIN, INT_MAX}) EXPECT_TRUE(XMLObj::ParseValue(is, i) && i == v) << v;
  EXPECT_TRUE(XMLObj::ParseValue(is, u) && u == UINT_MAX);
  EXPECT_TRUE(XMLObj::ParseValue(is, b) && !b);
  EXPECT_TRUE(XMLObj::ParseValue(is, l) && l == LONG_MIN);
  ASSERT_TRUE(XMLObj::ParseStartObj(is, "Inner"));
  for (double v : doubles) {
    double d = 0;
    EXPECT_TRUE(XMLObj::ParseValue(is, d));
    if (v == kPi || v == 5e-324) {
      EXPECT_NEAR(d, v, 1e-14);
      EXPECT_GT(d, 0.0);
    } else {
      EXPECT_EQ(d, v);
    }
  }
  EXPECT_TRUE(XMLObj::ParseEndObj(is));
  for (const char* v : {"label one", ""}) {
    std::string str = "stale";
    EXPECT_TRUE(XMLObj::ParseValue(is, str));
    EXPECT_EQ(str, v);
  }
  EXPECT_TRUE(XMLObj::ParseEndObj(is));
}

struct StringCase {
  std::string written;
  std::string read;
};
void PrintTo(const StringCase& c, std::ostream* os) { *os << c.read; }

class XMLObjStringTest : public ::testing::TestWithParam<StringCase> {};

// References are not converted back: the reader returns the escaped text.
TEST_P(XMLObjStringTest, ReadsBackEscapedText) {
  std::ostringstream os;
  XMLObj("S", 0).WriteSubElement(os, GetParam().written);
  std::istringstream is(os.str().substr(1));  // without the leading line feed
  std::string v;
  ASSERT_TRUE(XMLObj::ParseValue(is, v));
  EXPECT_EQ(v, GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Values, XMLObjStringTest,
                         ::testing::Values(StringCase{"say \"hi\"", "say &quot;hi&quot;"},
                                           StringCase{"a&b<c>d", "a&amp;b&lt;c&gt;d"},
                                           StringCase{"two  spaces ", "two &#32;spaces&#32;"},
                                           StringCase{"line\nbreak", "line&#10;break"},
                                           StringCase{"caf\xE9", "caf\xE9"}));

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

TEST(XMLObjReadFailureTest, LinesOf256CharactersFail) {
  const std::string head = "\t\t<String value=\"", tail = "\"/>";
  const std::size_t fill = 255 - head.size() - tail.size();
  std::string v;
  std::istringstream ok(head + std::string(fill, 'x') + tail);
  EXPECT_TRUE(XMLObj::ParseValue(ok, v));
  EXPECT_EQ(v.size(), fill);
  std::istringstream tooLong(head + std::string(fill + 1, 'x') + tail + "\n<Int value=\"1\"/>");
  EXPECT_FALSE(XMLObj::ParseValue(tooLong, v));
  EXPECT_EQ(v.size(), fill);
  int i = 0;
  EXPECT_FALSE(XMLObj::ParseValue(tooLong, i));  // the stream stays failed
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

TEST(XMLObjReadFailureTest, TruncatedObjectEndsWithFailure) {
  XMLObj o("MCCatVar", 0);
  std::string text = Stream([&](std::ostream& os) {
    o.StartObj(os);
    o.WriteSubElement(os, 1);
    o.WriteSubElement(os, 2.0);
    o.EndObj(os);
  });
  text.resize(text.find("<Double"));
  std::istringstream is(text);
  int i = 0;
  double d = 0;
  ASSERT_TRUE(XMLObj::ParseStartXML(is));
  ASSERT_TRUE(XMLObj::ParseStartObj(is, "MCCatVar"));
  EXPECT_TRUE(XMLObj::ParseValue(is, i));
  EXPECT_FALSE(XMLObj::ParseValue(is, d));  // a line of tabs only
  EXPECT_FALSE(XMLObj::ParseEndObj(is));
}

}  // namespace
