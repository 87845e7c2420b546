// Object streams as people send them: empty, cut short, and with lines
// at and just past the longest the reader takes (names in any encoding are in the property tests
// of the variable lists).

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "IOException.h"
#include "MCURandom.h"
#include "MCVarList.h"
#include "XMLObj.h"
#include "metadata/MetadataTestUtil.h"

namespace {

using MCCommonMath::MCURandom;
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

bool ReadRandom(const std::string &text, MCURandom &random) {
  std::istringstream in(text);
  testing::internal::CaptureStderr();
  const int lines = random.ReadObjectXML(in);
  testing::internal::GetCapturedStderr();
  return lines == 5;
}

template <typename T>
std::string Written(const T &object) {
  std::ostringstream out;
  object.WriteObjectXML(out, 0);
  return out.str();
}

// The text with line k (counted at its line feeds) padded with blanks to `length` characters.
std::string Padded(const std::string &text, std::size_t k, std::size_t length) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  if (k >= lines.size()) return std::string();
  lines[k].append(length - lines[k].size(), ' ');
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) out += (i > 0 ? "\n" : "") + lines[i];
  return out;
}

// Every cut before the last line fails (and leaves the object usable), the whole text reads; a line
// padded to the longest the reader takes still reads, longer ones do not.
void ExpectCutsAndLongLinesRefused(const std::string &full,
                                   const std::function<bool(const std::string &)> &read) {
  const std::size_t lastLine = full.rfind('\n');
  ASSERT_NE(lastLine, std::string::npos);
  for (std::size_t cut = 0; cut < lastLine; ++cut) {
    EXPECT_FALSE(read(full.substr(0, cut))) << "cut at " << cut;
  }
  EXPECT_TRUE(read(full));
  std::istringstream in(full);
  std::size_t nLines = 0;
  for (std::string line; std::getline(in, line);) ++nLines;
  for (std::size_t k = 1; k < nLines; ++k) {
    const std::size_t limit = MCCommonXML::XMLObj::kMaxLineLength;
    for (std::size_t length : {limit, limit + 1, 4 * limit}) {
      EXPECT_EQ(read(Padded(full, k, length)), length == limit) << "line " << k << " to " << length;
    }
  }
}

TEST(VarListStreamTest, EmptyTruncatedAndOverlongStreamsThrow) {
  MCVarList list;
  for (const std::string &empty : {std::string(), std::string("\n\n\n"), std::string(1000, '\0')}) {
    EXPECT_FALSE(ReadList(empty, list));
  }
  const std::string full = Written(metadata_test::SampleList());
  ExpectCutsAndLongLinesRefused(full, [&](const std::string &text) {
    MCVarList read;
    const bool ok = ReadList(text, read);
    for (int i = 0; i < read.Size(); ++i) read.GetVarAt(i);  // a half-read list stays usable
    EXPECT_TRUE(!ok || text != full || Written(read) == full);
    return ok;
  });
}

// A failed read leaves the generator as it was.
TEST(URandomStreamTest, TruncatedAndOverlongStreamsLeaveTheGenerator) {
  ExpectCutsAndLongLinesRefused(Written(MCURandom(123456789UL, true, false, nullptr)),
                                [](const std::string &text) {
                                  MCURandom random;
                                  const bool ok = ReadRandom(text, random);
                                  EXPECT_EQ(random.GetSeed(), ok ? 123456789u : 34567u);
                                  EXPECT_EQ(random.GetUseTwister(), !ok);
                                  return ok;
                                });
}

}  // namespace
