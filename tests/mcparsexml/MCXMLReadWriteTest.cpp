#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "MCMV.h"
#include "MCXMLReadWrite.h"
#include "MCXMLUtil.h"

using namespace MCComXPrsUtil;
using xercesc::DOMElement;

namespace {

const char kSecret[] = "TOPSECRET-4711";

std::string TempPath(const std::string& leaf) { return testing::TempDir() + "mcx_" + leaf; }

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

MCCommon::MCStatus ParseText(MCXMLReadWrite& rw, const std::string& text) {
  std::istringstream in(text);
  return rw.ParseToDOM(in);
}

std::string RootTag(const MCXMLReadWrite& rw) {
  const xercesc::DOMDocument* doc = rw.GetDocument();
  return doc == nullptr ? std::string() : ToUTF8(doc->getDocumentElement()->getTagName());
}

std::string AllText(const MCXMLReadWrite& rw) {
  const xercesc::DOMDocument* doc = rw.GetDocument();
  return doc == nullptr ? std::string() : ToUTF8(doc->getDocumentElement()->getTextContent());
}

}  // namespace

TEST(MCXMLReadWriteTest, ParsesStreamAndFile) {
  MCXMLReadWrite rw;
  ASSERT_TRUE(rw.GetInitStatus().IsOK());
  EXPECT_EQ(rw.GetDocument(), nullptr);

  std::istringstream in("garbage<a x=\"1\"><b>t\xC3\xA9xt</b></a>");
  in.seekg(7);  // read from the current position
  ASSERT_TRUE(rw.ParseToDOM(in).IsOK());
  EXPECT_EQ(RootTag(rw), "a");
  EXPECT_EQ(AllText(rw), "t\xC3\xA9xt");

  const std::string path = TempPath("plain.xml");
  WriteFile(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<fileroot><c/></fileroot>\n");
  ASSERT_TRUE(rw.ParseToDOM(path).IsOK()) << rw.GetXercesMessage();
  EXPECT_EQ(RootTag(rw), "fileroot");
  std::remove(path.c_str());
  // A failed parse drops the earlier document.
  for (const char* bad : {"<a><b></b>", "\x01\x02\xff\xfe\x10\x7f", "<a/><b/>"}) {
    ASSERT_TRUE(ParseText(rw, "<a/>").IsOK());
    EXPECT_EQ(ParseText(rw, bad).GetErrorCode(), 104) << bad;
    EXPECT_EQ(rw.GetDocument(), nullptr);
  }
  EXPECT_EQ(rw.ParseToDOM(TempPath("does_not_exist.xml")).GetErrorCode(), 104);
  EXPECT_FALSE(rw.GetXercesMessage().empty());
}

TEST(MCXMLReadWriteTest, WritesPrettyPrintedDocumentThatReadsBack) {
  MCXMLReadWrite rw;
  ASSERT_TRUE(ParseText(rw,
                        "<PMML version=\"3.2\"><Header copyright=\"c\"/><DataDictionary>"
                        "<DataField name=\"\xC3\xA5ge\" optype=\"continuous\"/>"
                        "</DataDictionary></PMML>")
                  .IsOK());
  const std::string path = TempPath("written.xml");
  ASSERT_TRUE(rw.WriteFromDOM(path, rw.GetDocument()).IsOK());
  // Pretty printing puts each child element on its own, indented line.
  EXPECT_NE(ReadFile(path).find("\n    <DataField"), std::string::npos);
  MCXMLReadWrite again;
  ASSERT_TRUE(again.ParseToDOM(path).IsOK()) << again.GetXercesMessage();
  const DOMElement* field = GetFirstChildElmt(
      GetFirstChildElmt(again.GetDocument()->getDocumentElement(), "DataDictionary"), "DataField");
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(ToUTF8(GetAttribute(field, "name")), "\xC3\xA5ge");
  std::remove(path.c_str());
}

TEST(MCXMLReadWriteTest, WriteFailuresGive118) {
  MCXMLReadWrite rw;
  EXPECT_EQ(rw.WriteFromDOM(TempPath("null.xml"), nullptr).GetErrorCode(), 118);
  ASSERT_TRUE(ParseText(rw, "<a/>").IsOK());
  const MCCommon::MCStatus status =
      rw.WriteFromDOM(TempPath("no_such_dir/sub/out.xml"), rw.GetDocument());
  EXPECT_TRUE(status.IsError());
  EXPECT_EQ(status.GetErrorCode(), 118);
}

// Hostile documents: nothing outside the document may be read, and nothing the document
// declares is expanded (larger documents are in the hostile suite).
class HostileDocumentTest : public testing::Test {
 protected:
  void SetUp() override {
    fSecretPath = TempPath("secret.txt");
    WriteFile(fSecretPath, kSecret);
    fDtdPath = TempPath("secret.dtd");
    WriteFile(fDtdPath, std::string("<!ENTITY s \"") + kSecret + "\">");
  }
  void TearDown() override {
    std::remove(fSecretPath.c_str());
    std::remove(fDtdPath.c_str());
  }
  std::string fSecretPath;
  std::string fDtdPath;
};

// Any document type declaration is refused before its subset is read: a malformed one gets
// the same answer, so nothing behind "<!DOCTYPE" was looked at.
TEST_F(HostileDocumentTest, DocumentTypeDeclarationsAreRefused) {
  const std::string doctypes[] = {
      "<!DOCTYPE r SYSTEM \"file://" + fDtdPath + "\">",
      "<!DOCTYPE r [<!ENTITY % p SYSTEM \"file://" + fDtdPath + "\"> %p;]>",
      "<!DOCTYPE r [<!ENTITY s SYSTEM \"file://" + fSecretPath + "\">]>",
      "<!DOCTYPE r [<!ENTITY s \"world\">]>",
      "<!DOCTYPE r>",
      "<!DOCTYPE r [<!BOGUS>"};
  for (const std::string& doctype : doctypes) {
    MCXMLReadWrite rw;
    const MCCommon::MCStatus status =
        ParseText(rw, "<?xml version=\"1.0\"?>" + doctype + "<r>&s;</r>");
    EXPECT_EQ(status.GetErrorCode(), 104) << doctype;
    EXPECT_TRUE(status.IsError());
    EXPECT_EQ(rw.GetDocument(), nullptr);
    EXPECT_EQ(rw.GetXercesMessage(), "a document type declaration is not accepted") << doctype;
  }
  // Predefined entities and character references need no declaration and are not limited.
  MCXMLReadWrite rw;
  std::string many = "<r>";
  for (int i = 0; i < 20000; ++i) many += "<v a=\"&lt;&amp;\">&#65;&gt;</v>";
  ASSERT_TRUE(ParseText(rw, many + "</r>").IsOK()) << rw.GetXercesMessage();
}

// Nesting down to the limit parses, one level more is refused, whether the deepest element is
// empty or not; siblings do not add up.
TEST(DocumentDepthTest, NestingBeyondTheLimitIsRefused) {
  MCXMLReadWrite rw;
  for (int depth : {kMaxDocumentDepth, kMaxDocumentDepth + 1}) {
    for (const char* leaf : {"<e/>", "<e>x</e>"}) {
      std::string text;
      for (int i = 1; i < depth; ++i) text += "<e>";
      text += leaf;
      for (int i = 1; i < depth; ++i) text += "</e>";
      const MCCommon::MCStatus status = ParseText(rw, text);
      if (depth <= kMaxDocumentDepth) {
        EXPECT_TRUE(status.IsOK()) << depth << leaf << " " << rw.GetXercesMessage();
      } else {
        EXPECT_EQ(status.GetErrorCode(), 104) << depth << leaf;
        EXPECT_EQ(rw.GetXercesMessage(), "elements are nested too deeply");
        EXPECT_EQ(rw.GetDocument(), nullptr);
      }
    }
  }
  std::string wide = "<r>";
  for (int i = 0; i < 3 * kMaxDocumentDepth; ++i) wide += i % 2 == 0 ? "<e/>" : "<e>x</e>";
  EXPECT_TRUE(ParseText(rw, wide + "</r>").IsOK()) << rw.GetXercesMessage();
}

TEST(MCXTranscoderTest, RoundTripsUTF8AndRejectsUnknownEncoding) {
  MCXTranscoder utf8("UTF-8");
  ASSERT_TRUE(utf8.isValid());
  const std::string text = "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9D\x84\x9E";
  const std::vector<XMLCh> wide = utf8.TranscodeFrom(text.c_str());
  EXPECT_EQ(wide, ToUTF16(text.c_str()));
  EXPECT_EQ(utf8.TranscodeTo(wide.data()), text);

  MCXTranscoder unknown("NO-SUCH-ENCODING-42");
  EXPECT_FALSE(unknown.isValid());
  EXPECT_EQ(unknown.TranscodeTo(wide.data()), "");
  EXPECT_EQ(unknown.TranscodeFrom("abc").size(), 1u);
}
