#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "MCXMLReadWrite.h"
#include "MCXMLUtil.h"

using namespace MCComXPrsUtil;
using xercesc::DOMElement;

namespace {

std::string TempPath(const std::string& leaf) { return testing::TempDir() + "mcx_" + leaf; }

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

MCCommon::MCStatus ParseText(MCXMLReadWrite& rw, const std::string& text) {
  std::istringstream in(text);
  return rw.ParseToDOM(in);
}

}  // namespace

// A stream is read from its position; a failed parse drops the document.
TEST(MCXMLReadWriteTest, ReadsStreamsAndWritesFilesThatReadBack) {
  MCXMLReadWrite rw;
  ASSERT_TRUE(rw.GetInitStatus().IsOK());
  EXPECT_EQ(rw.GetDocument(), nullptr);
  EXPECT_EQ(rw.WriteFromDOM(TempPath("null.xml"), nullptr).GetErrorCode(), 118);
  std::istringstream in(
      "garbage<PMML><DataDictionary><DataField name=\"\xC3\xA5ge\">t\xC3\xA9xt"
      "</DataField></DataDictionary></PMML>");
  in.seekg(7);
  ASSERT_TRUE(rw.ParseToDOM(in).IsOK());
  const std::string path = TempPath("written.xml");
  ASSERT_TRUE(rw.WriteFromDOM(path, rw.GetDocument()).IsOK());
  std::ostringstream written;
  written << std::ifstream(path, std::ios::binary).rdbuf();
  EXPECT_NE(written.str().find("\n    <DataField"), std::string::npos) << written.str();
  MCXMLReadWrite again;
  ASSERT_TRUE(again.ParseToDOM(path).IsOK()) << again.GetXercesMessage();
  std::remove(path.c_str());
  const DOMElement* field = GetFirstChildElmt(
      GetFirstChildElmt(again.GetDocument()->getDocumentElement(), "DataDictionary"), "DataField");
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(ToUTF8(GetAttribute(field, "name")), "\xC3\xA5ge");
  EXPECT_EQ(ToUTF8(field->getTextContent()), "t\xC3\xA9xt");
  EXPECT_EQ(rw.WriteFromDOM(TempPath("no_such_dir/sub/out.xml"), rw.GetDocument()).GetErrorCode(),
            118);
  for (const char* bad : {"<a><b></b>", "\x01\x02\xff\xfe\x10\x7f", "<a/><b/>"}) {
    ASSERT_TRUE(ParseText(rw, "<a/>").IsOK());
    EXPECT_EQ(ParseText(rw, bad).GetErrorCode(), 104) << bad;
    EXPECT_EQ(rw.GetDocument(), nullptr);
  }
  EXPECT_EQ(rw.ParseToDOM(TempPath("does_not_exist.xml")).GetErrorCode(), 104);
  EXPECT_FALSE(rw.GetXercesMessage().empty());
}

// Text arrives as UTF-8 whatever encoding the document declares.
TEST(MCXMLReadWriteTest, TextArrivesAsUTF8) {
  MCXMLReadWrite rw;
  ASSERT_TRUE(
      ParseText(rw, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r n=\"gr\xF6\xDF\"/>").IsOK());
  EXPECT_EQ(ToUTF8(GetAttribute(rw.GetDocument()->getDocumentElement(), "n")),
            "gr\xC3\xB6\xC3\x9F");
  for (const char* bad : {"\xC3", "\xED\xA0\x80", "\xFF\xFE"}) {
    const std::string text = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r n=\"") + bad;
    EXPECT_EQ(ParseText(rw, text + "\"/>").GetErrorCode(), 104);
  }
}

// Refused before the subset is read, so a malformed one gets the same answer.
TEST(HostileDocumentTest, DocumentTypeDeclarationsAreRefused) {
  const std::string secret = TempPath("secret.txt"), dtd = TempPath("secret.dtd");
  WriteFile(secret, "TOPSECRET-4711");
  WriteFile(dtd, "<!ENTITY s \"TOPSECRET-4711\">");
  const std::string doctypes[] = {"<!DOCTYPE r SYSTEM \"file://" + dtd + "\">",
                                  "<!DOCTYPE r [<!ENTITY % p SYSTEM \"file://" + dtd + "\"> %p;]>",
                                  "<!DOCTYPE r [<!ENTITY s SYSTEM \"file://" + secret + "\">]>",
                                  "<!DOCTYPE r [<!ENTITY s \"world\">]>",
                                  "<!DOCTYPE r>",
                                  "<!DOCTYPE r [<!BOGUS>"};
  MCXMLReadWrite rw;
  for (const std::string& doctype : doctypes) {
    EXPECT_EQ(ParseText(rw, "<?xml version=\"1.0\"?>" + doctype + "<r>&s;</r>").GetErrorCode(), 104)
        << doctype;
    EXPECT_EQ(rw.GetDocument(), nullptr);
    EXPECT_EQ(rw.GetXercesMessage(), "a document type declaration is not accepted") << doctype;
  }
  std::remove(secret.c_str());
  std::remove(dtd.c_str());
  // Predefined entities and character references need no declaration and are not limited.
  std::string many = "<r>";
  for (int i = 0; i < 20000; ++i) many += "<v a=\"&lt;&amp;\">&#65;&gt;</v>";
  ASSERT_TRUE(ParseText(rw, many + "</r>").IsOK()) << rw.GetXercesMessage();
}

// Siblings do not add up.
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
