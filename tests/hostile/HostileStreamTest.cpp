// Object streams as people send them: empty, or cut short anywhere.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "IOException.h"
#include "MCVarList.h"
#include "metadata/MetadataTestUtil.h"

namespace {

using MCCommonMetadata::MCVarList;

// True when reading the text into list succeeded; a thrown IOException* is deleted.
bool ReadList(const std::string &text, MCVarList &list) {
  std::istringstream in(text);
  testing::internal::CaptureStderr();
  bool ok = true;
  try {
    list.ReadObjectXML(in);
  } catch (MCCommonMetadata::IOException *e) {
    delete e;
    ok = false;
  }
  testing::internal::GetCapturedStderr();
  return ok;
}

TEST(VarListStreamTest, EmptyAndTruncatedStreamsThrow) {
  for (const std::string &empty : {std::string(), std::string("\n\n\n"), std::string(1000, '\0')}) {
    MCVarList list;
    EXPECT_FALSE(ReadList(empty, list));
  }
  std::ostringstream out;
  metadata_test::SampleList().WriteObjectXML(out, 0);
  const std::string full = out.str();
  const std::size_t lastLine = full.rfind('\n');
  ASSERT_NE(lastLine, std::string::npos);
  for (std::size_t cut = 0; cut < lastLine; ++cut) {
    MCVarList read;
    EXPECT_FALSE(ReadList(full.substr(0, cut), read)) << "cut at " << cut;
    for (int i = 0; i < read.Size(); ++i) read.GetVarAt(i);  // a half-read list stays usable
  }
  MCVarList read;
  EXPECT_TRUE(ReadList(full, read));
}

}  // namespace
