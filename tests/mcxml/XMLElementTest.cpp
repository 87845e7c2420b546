#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <locale>
#include <memory>
#include <sstream>
#include <string>

#include "XMLElement.h"

namespace {

using MCCommonXML::ExportFormat;
using MCCommonXML::XMLAttribute;
using MCCommonXML::XMLDocType;
using MCCommonXML::XMLElement;
using MCCommonXML::XMLString;

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";

std::string Text(const MCCommonXML::XMLInterface& node, ExportFormat format = ExportFormat()) {
  std::string out;
  node.ToString(out, format);
  return out;
}

// Only what a reader would change is escaped.
TEST(XMLElementTest, EscapesWhatAReaderWouldChange) {
  const std::pair<const char*, const char*> attributes[] = {
      {"a<b&c\"d\"", "a&lt;b&amp;c&quot;d&quot;"},
      {"x>y'z", "x&gt;y'z"},  // ' stays
      {"\t\n\r", "&#9;&#10;&#13;"},
      {"a   b", "a &#32; b"},
      {" a ", "&#32;a&#32;"},
      {"  ", "&#32;&#32;"}};
  for (const auto& [value, escaped] : attributes) {
    std::unique_ptr<XMLAttribute> a(XMLAttribute::Create("n", value));
    EXPECT_EQ(Text(*a), "n=\"" + std::string(escaped) + "\"");
  }
  const std::pair<const char*, const char*> texts[] = {
      {"a&b<c>d\"e'f\tg", "a&amp;b&lt;c>d\"e'f\tg"},
      {"x]]>y]>z]] >", "x]]&gt;y]>z]] >"},
      {"a\r\nb", "a&#13;\nb"}};
  for (const auto& [value, escaped] : texts) {
    std::unique_ptr<XMLString> t(XMLString::Create(value));
    EXPECT_EQ(Text(*t), escaped);
  }
}

TEST(XMLElementTest, DeepTreesAreWrittenAndDestroyedWithoutRecursion) {
  const int depth = 1000000;
  std::unique_ptr<XMLElement> root(XMLElement::Create("e"));
  XMLElement* leaf = root.get();
  for (int i = 1; i < depth; ++i) {
    XMLElement* child = XMLElement::Create("e");
    leaf->AddElement(child);
    leaf = child;
  }
  leaf->AddElement(XMLString::Create("x"));
  ExportFormat f;
  f.SetFormat(false);
  std::string out;
  root->ToString(out, f);
  EXPECT_EQ(out.size(), static_cast<std::size_t>(depth) * 7 + 1);
  EXPECT_EQ(out.substr(depth * 3 - 3, 8), "<e>x</e>");
  root.reset();
}

// A string child switches the layout off for the rest of the document.
TEST(XMLElementTest, LayoutWithAndWithoutFormat) {
  std::unique_ptr<XMLElement> root(XMLElement::Create("root"));
  EXPECT_EQ(root->AddAttribute("a", 1.0), 1);
  XMLElement* c1 = XMLElement::Create("c1");
  c1->AddAttribute("x", "y");
  EXPECT_EQ(c1->AddElement(XMLElement::Create("c2")), 1);
  EXPECT_EQ(root->AddElement(c1), 1);
  EXPECT_EQ(root->AddElement(XMLElement::Create("c3")), 2);
  EXPECT_EQ(Text(*root),
            "\n<root\n\ta=\"1\">\n\t<c1\n\t\tx=\"y\">\n\t\t<c2/>\n\t</c1>\n\t<c3/>\n</root>");
  ExportFormat f;
  f.SetFormat(false);
  EXPECT_FALSE(f.IsNewParagraph() || f.HasIndentation());
  EXPECT_EQ(Text(*root, f), "<root a=\"1\"><c1 x=\"y\"><c2/></c1><c3/></root>");

  std::unique_ptr<XMLElement> outer(XMLElement::Create("outer"));
  XMLElement* mixed = XMLElement::Create("root");
  mixed->AddElement(XMLElement::Create("e1"));
  mixed->AddElement(XMLString::Create("t&t"));
  mixed->AddElement(XMLElement::Create("e2"));
  outer->AddElement(mixed);
  outer->AddElement(XMLElement::Create("after"));
  ExportFormat on;
  std::string out;
  outer->ToString(out, on);
  EXPECT_EQ(out, "\n<outer>\n\t<root>\n\t\t<e1/>t&amp;t<e2/></root><after/></outer>");
  EXPECT_FALSE(on.IsNewParagraph() || on.HasIndentation());
}

TEST(WriteTreeTest, DeclarationOrDoctypeThenRoot) {
  std::unique_ptr<XMLElement> r(XMLElement::Create("r"));
  r->AddAttribute("v", "\xE9");
  std::unique_ptr<XMLDocType> d(XMLDocType::Create("r", "p.dtd", 0));
  EXPECT_EQ(d->AddExtension("<!ENTITY a \"b\">"), 16u);
  EXPECT_EQ(d->AddExtension("<!ENTITY c \"d\">"), 32u);
  const std::string doctype =
      kDecl + "\n<!DOCTYPE r SYSTEM \"p.dtd\"\n[\n<!ENTITY a \"b\">\n<!ENTITY c \"d\">\n]>\n";
  EXPECT_EQ(Text(*d), doctype);
  std::ostringstream plain, formatted, utf8;
  EXPECT_EQ(MCCommonXML::WriteTree(plain, nullptr, r.get(), false), 0);
  EXPECT_EQ(plain.str(), kDecl + "\n<r v=\"\xE9\"/>");
  MCCommonXML::WriteTree(formatted, d.get(), r.get(), true);
  EXPECT_EQ(formatted.str(), doctype + "\n<r\n\tv=\"\xE9\"/>");
  EXPECT_EQ(MCCommonXML::WriteTreeUTF8(utf8, nullptr, r.get(), true), 0);
  EXPECT_EQ(utf8.str(), kDecl + "\n\n<r\n\tv=\"\xC3\xA9\"/>");
}

// Valid UTF-8 passes unchanged; other text, even one stray byte, is taken as Windows-1252.
TEST(WriteUTFTest, ConvertsWindows1252OrPassesUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain <ascii>", "plain <ascii>"},
      {"caf\xE9", "caf\xC3\xA9"},  // U+00E9
      {"\x80", "\xE2\x82\xAC"},    // euro sign U+20AC
      {"\x81\xA0\xFF", "\xC2\x81\xC2\xA0\xC3\xBF"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"\xC3\xA9\xE9", "\xC3\x83\xC2\xA9\xC3\xA9"},
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},  // surrogate
      {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"},              // truncated sequence
      {"", ""}};
  for (const auto& [in, out] : cases) {
    std::ostringstream os;
    EXPECT_EQ(MCCommonXML::WriteUTF(os, in), 0);
    EXPECT_EQ(os.str(), out) << testing::PrintToString(in);
  }
}

// Small numbers are in the object stream's tests.
TEST(NumberFormatTest, ReplaceSepAndFormat) {
  EXPECT_EQ(MCCommonXML::ReplaceSep(123456789012345678.0), "1.23456789012346e+17");
  EXPECT_EQ(MCCommonXML::ReplaceSep(std::numeric_limits<double>::max()), "1.79769313486232e+308");
  std::unique_ptr<XMLAttribute> a(XMLAttribute::Create("v", 1234.5));
  EXPECT_EQ(a->GetValue(), "1234.5");
  EXPECT_EQ(MCCommonXML::Format(0.5, true, "%.2f"), "0.50");
  EXPECT_EQ(MCCommonXML::Format(2.0 / 3.0, true, nullptr), "0.666666666666667");
  EXPECT_EQ(MCCommonXML::Format(0.25, false, "%.2f"), "0.25");
  EXPECT_EQ(MCCommonXML::Format(1.0, true, "%0200.1f"), std::string(197, '0') + "1.0");
  EXPECT_EQ(MCCommonXML::Format(1234567890123456789L), "1.23456789012346e+18");
}

// A numeric punctuation with a decimal comma, so the test needs no installed locale.
struct CommaPunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(NumberFormatTest, ReplaceSepIgnoresCommaLocales) {
  const std::locale saved =
      std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
  std::ostringstream probe;
  probe << 0.5;
  EXPECT_EQ(probe.str(), "0,5");  // the global locale really uses a comma
  EXPECT_EQ(MCCommonXML::ReplaceSep(0.1), "0.1");
  EXPECT_EQ(MCCommonXML::Format(0.1, false), "0.1");
  std::locale::global(saved);

  const char* c = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  if (c == nullptr) c = std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
  if (c != nullptr) {
    EXPECT_EQ(MCCommonXML::GetDecimalCharacter(), ',');
    EXPECT_EQ(MCCommonXML::ReplaceSep(0.1), "0.1");
    std::unique_ptr<XMLAttribute> a(XMLAttribute::Create("v", 0.1));
    EXPECT_EQ(a->GetValue(), "0.1");
  }
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(MCCommonXML::GetDecimalCharacter(), '.');
}

}  // namespace
