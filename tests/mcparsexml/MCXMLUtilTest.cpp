#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <sstream>
#include <string>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "MCMV.h"
#include "MCPMMLExporter.h"
#include "MCXMLUtil.h"

using namespace MCComXPrsUtil;
using xercesc::DOMElement;

namespace {

class MCXMLUtilTest : public testing::Test {
 protected:
  void Parse(const std::string& text) {
    std::istringstream in(text);
    ASSERT_TRUE(fRW.ParseToDOM(in).IsOK()) << fRW.GetXercesMessage();
  }
  DOMElement* Root() { return fRW.GetDocument()->getDocumentElement(); }
  std::string Name(const DOMElement* e) { return ToUTF8(GetAttribute(e, "n")); }

  MCXMLReadWrite fRW;
};

}  // namespace

TEST(MCXMLStringTest, UTF8AndUTF16Convert) {
  // ASCII, two-, three- and four-byte forms (the last needs a surrogate pair).
  const char* text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  const std::vector<XMLCh> wide = ToUTF16(text);
  const std::vector<XMLCh> expected = {0x61, 0xE9, 0x20AC, 0xD83D, 0xDE00, 0};
  EXPECT_EQ(wide, expected);
  EXPECT_EQ(ToUTF8(wide.data()), text);
  EXPECT_EQ(ToUTF8(nullptr), "");
  EXPECT_EQ(ToUTF16(nullptr), std::vector<XMLCh>{0});

  // Malformed input does not stop the conversion: each bad unit becomes U+FFFD.
  const std::vector<XMLCh> bad = ToUTF16("x\xC3(\xC0\xAFy");
  const std::vector<XMLCh> badExpected = {'x', 0xFFFD, '(', 0xFFFD, 0xFFFD, 'y', 0};
  EXPECT_EQ(bad, badExpected);
  const XMLCh lone[] = {'a', 0xDC00, 'b', 0};
  EXPECT_EQ(ToUTF8(lone),
            "a\xEF\xBF\xBD"
            "b");

  EXPECT_TRUE(XStrEqualsUTF8Str(wide.data(), text));
  EXPECT_FALSE(XStrEqualsUTF8Str(wide.data(), "a\xC3\xA9\xE2\x82\xAC"));
  EXPECT_FALSE(XStrEqualsUTF8Str(ToUTF16("ab").data(), "abc"));
  EXPECT_FALSE(XStrEqualsUTF8Str(nullptr, ""));
  EXPECT_TRUE(XStrEqualsUTF8Str(nullptr, nullptr));
}

// 0 read, 1 refused, -1 absent (text null); out starts at -99. Sign: any 0, >0 1, <=0 -1.
TEST_F(MCXMLUtilTest, NumberAttributes) {
  const struct {
    const char* text;
    int sign, result, value;
  } ints[] = {{"0", 0, 0, 0},      {"-1", 0, 1, -99},      {"0", 1, 1, -99},
              {"-7", -1, 0, -7},   {" +12 ", 0, 0, 12},    {"2147483647", 1, 0, INT_MAX},
              {"1.0", -1, 1, -99}, {"12abc", -1, 1, -99},  {"-2147483648", -1, 0, INT_MIN},
              {"", -1, 1, -99},    {nullptr, -1, -1, -99}, {"2147483648", -1, 1, -99}};
  for (const auto& c : ints) {
    Parse(c.text == nullptr ? "<e/>" : std::string("<e v=\"") + c.text + "\"/>");
    int out = -99;
    EXPECT_EQ(GetIntAttribute(Root(), "v", c.sign, out), c.result) << c.text << " " << c.sign;
    EXPECT_EQ(out, c.value) << c.text;
  }
  const double kMax = std::numeric_limits<double>::max();
  const char* kMaxText = "1.79769313486232e+308";  // as written with 15 digits, above the max
  const struct {
    const char* text;
    int result;
    double value;
  } doubles[] = {{"-2E-3", 0, -0.002}, {" .5 ", 0, 0.5}, {"NaN", 0, MCMV::Missing()},
                 {"-1e400", 0, -kMax}, {"INF", 1, -99},  {" 5e-324", 0, 5e-324},
                 {"1e-400", 0, 0.0},   {"nan", 1, -99},  {"-2.5e-320", 0, -2.5e-320},
                 {"1,5", 1, -99},      {"", 1, -99},     {nullptr, -1, -99},
                 {kMaxText, 0, kMax}};
  for (const auto& c : doubles) {
    Parse(c.text == nullptr ? "<e/>" : std::string("<e v=\"") + c.text + "\"/>");
    double out = -99;
    EXPECT_EQ(GetDoubleAttribute(Root(), "v", out), c.result) << c.text;
    EXPECT_EQ(out, c.value) << c.text;
  }
}

TEST(MCXMLDoubleTest, ParsesWithoutAnyParserObject) {
  // Holds its own reference on the parser library.
  const MCXMLDouble d("6.02214076e23");
  EXPECT_TRUE(d.IsNumber());
  EXPECT_EQ(d.GetValue(), 6.02214076e23);
  const MCXMLDouble bad("12 13");
  EXPECT_FALSE(bad.IsNumber());
  EXPECT_TRUE(MCMV::IsMissing(bad.GetValue()));
  EXPECT_FALSE(MCXMLDouble(static_cast<const char*>(nullptr)).IsNumber());
}

// The walks by name are what every reader uses (their tests cover them).
TEST_F(MCXMLUtilTest, FindsChildrenSiblingsAndAttributes) {
  Parse("<r>text<a n=\"1\"/><!-- c --><b n=\"2\"/><a n=\"3\"/><c n=\"4\"/></r>");
  DOMElement* root = Root();
  EXPECT_TRUE(TagNameEquals(root, "r"));
  EXPECT_FALSE(TagNameEquals(root, "R"));
  DOMElement* a1 = GetFirstChildElmt(root, "a");
  // Text and comment nodes are not elements.
  EXPECT_EQ(AsElement(root->getFirstChild(), nullptr), nullptr);
  EXPECT_EQ(GetAttribute(root->getFirstChild(), "n"), nullptr);
  EXPECT_EQ(AsElement(a1, "b"), nullptr);
  EXPECT_EQ(AsElement(a1, "a"), a1);
  EXPECT_EQ(GetAttribute(a1, "missing"), nullptr);
  EXPECT_EQ(ToUTF8(GetAttribute(static_cast<const xercesc::DOMNode*>(a1), "n")), "1");

  // The table form takes the first name that matches at all, not the first child.
  const MCXNamedNumber table[] = {{10, "zz"}, {20, "c"}, {30, "a"}, {0, nullptr}};
  std::size_t which = 99;
  EXPECT_EQ(Name(GetFirstChildElmt(root, table, which)), "4");
  EXPECT_EQ(which, 1u);
  const MCXNamedNumber none[] = {{1, "x"}, {0, nullptr}};
  which = 99;
  EXPECT_EQ(GetFirstChildElmt(root, none, which), nullptr);
  EXPECT_EQ(which, 99u);

  EXPECT_EQ(FindXStrInList(ToUTF16("c").data(), table), 1);
  EXPECT_EQ(FindXStrInList(ToUTF16("q").data(), table), -1);
  const std::vector<std::string> names = {"x", "y", "x"};
  EXPECT_EQ(FindXStrInList(ToUTF16("x").data(), names), 0);
  EXPECT_EQ(FindXStrInList(ToUTF16("y").data(), names), 1);
  EXPECT_EQ(FindXStrInList(ToUTF16("z").data(), names), -1);
}

TEST_F(MCXMLUtilTest, ExtensionsMatchVendorAndName) {
  // The reader must find the extensions the PMML writer writes.
  EXPECT_STREQ(kVendorExtender, kPMMLExtender);
  const auto ext = [](const char* tag, const std::string& extender, const char* name, int n) {
    return std::string("<") + tag + " extender=\"" + extender + "\" name=\"" + name + "\" n=\"" +
           std::to_string(n) + "\"/>";
  };
  const std::string v = kVendorExtender;
  Parse("<r>" + ext("Extension", "other", "x", 1) + ext("Extension", v, "y", 2) +
        ext("Other", v, "x", 3) + ext("Extension", v, "x", 4) + ext("Extension", v, "x", 5) +
        "</r>");
  DOMElement* x = GetFirstChildExtension(Root(), "x");
  EXPECT_EQ(Name(x), "4");
  EXPECT_EQ(Name(GetNextSiblingExtension(x, "x")), "5");
  EXPECT_EQ(GetNextSiblingExtension(GetNextSiblingExtension(x, "x"), nullptr), nullptr);
  EXPECT_EQ(Name(GetFirstChildExtension(Root(), nullptr)), "2");
  EXPECT_EQ(GetFirstChildExtension(Root(), "z"), nullptr);
}

TEST_F(MCXMLUtilTest, BuildsAndEditsElements) {
  Parse("<r><old/></r>");
  xercesc::DOMDocument* doc = fRW.GetDocument();
  DOMElement* e = CreateElement(doc, "Item");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(CreateElement(doc, "1bad name"), nullptr);
  EXPECT_TRUE(SetAttribute(e, "s", "v\xC3\xA9"));
  EXPECT_TRUE(SetAttribute(e, "d", 0.1 + 0.2));
  EXPECT_TRUE(SetAttribute(e, "m", MCMV::Missing()));
  EXPECT_FALSE(SetAttribute(e, "i", std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(SetAttribute(e, "bad name", "x"));
  EXPECT_EQ(ToUTF8(GetAttribute(e, "s")), "v\xC3\xA9");
  EXPECT_EQ(ToUTF8(GetAttribute(e, "d")), "0.3");
  EXPECT_EQ(GetAttribute(e, "i"), nullptr);
  double back = 0.0;
  EXPECT_EQ(GetDoubleAttribute(e, "m", back), 0);
  EXPECT_TRUE(MCMV::IsMissing(back));

  DOMElement* ext = CreateExtension(doc, "cut");
  ASSERT_NE(ext, nullptr);
  EXPECT_TRUE(TagNameEquals(ext, "Extension"));
  EXPECT_EQ(ToUTF8(GetAttribute(ext, "extender")), kVendorExtender);
  EXPECT_EQ(ToUTF8(GetAttribute(ext, "name")), "cut");
  EXPECT_EQ(GetAttribute(CreateExtension(doc, ""), "name"), nullptr);

  DOMElement* root = Root();
  DOMElement* old = GetFirstChildElmt(root, "old");
  EXPECT_TRUE(ReplaceElement(root, old, e));
  EXPECT_EQ(GetFirstChildElmt(root, "old"), nullptr);
  EXPECT_EQ(GetFirstChildElmt(root, nullptr), e);
  EXPECT_FALSE(ReplaceElement(root, old, ext));  // old is no longer a child
  EXPECT_TRUE(InsertElement(root, ext, e));
  EXPECT_EQ(GetFirstChildElmt(root, nullptr), ext);
  EXPECT_TRUE(InsertElement(root, old, nullptr));
  EXPECT_EQ(GetNextSiblingElmt(e, nullptr), old);
  EXPECT_FALSE(InsertElement(e, root, nullptr));  // an ancestor cannot become a child
}

// Any word that is no number refuses the list.
TEST_F(MCXMLUtilTest, AssemblesNumberLists) {
  Parse(
      "<r><a>1 2.5\n\t-3E2   NaN </a><b>4 five 6</b><c>7 INF</c><d>  </d>"
      "<e>1 <b>2 <c>3</c><!-- 9 --></b> 4<![CDATA[ 5 ]]><d/>6</e><f>7<f/>8</f></r>");
  const std::pair<const char*, std::vector<double>> lists[] = {
      {"a", {1.0, 2.5, -300.0, MCMV::Missing()}},
      {"b", {-1}},
      {"c", {-1}},
      {"d", {}},
      {"e", {1, 2, 3, 4, 5, 6}},
      {"f", {78}},
      {"zz", {-1}}};
  for (const auto& [tag, want] : lists) {
    std::vector<double> values = {-1};
    const bool ok = want != std::vector<double>{-1};
    EXPECT_EQ(AssembleDoublesList(GetFirstChildElmt(Root(), tag), values), ok) << tag;
    if (ok) {
      EXPECT_EQ(values, want) << tag;
    }
  }
}
