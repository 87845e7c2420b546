// Object streams and binary record files as people send them: empty, cut short, with lines
// of exactly 255 and 256 characters, and with names in UTF-8 and in other encodings.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "HostileSupport.h"
#include "IOException.h"
#include "MCModelEffect.h"
#include "MCRecord.h"
#include "MCURandom.h"
#include "MCVarList.h"

namespace {

using MCCommonMetadata::IMCVariable;
using MCCommonMetadata::MCVarList;

// True when reading the text into list succeeded; a thrown IOException* is deleted.
bool ReadList(const std::string& text, MCVarList& list) {
  std::istringstream in(text);
  testing::internal::CaptureStderr();
  bool ok = true;
  try {
    list.ReadObjectXML(in);
  } catch (MCCommonMetadata::IOException* e) {
    delete e;
    ok = false;
  }
  testing::internal::GetCapturedStderr();
  return ok;
}

bool ReadRandom(const std::string& text, MCCommonMath::MCURandom& random) {
  std::istringstream in(text);
  testing::internal::CaptureStderr();
  const int lines = random.ReadObjectXML(in);
  testing::internal::GetCapturedStderr();
  return lines == 5;
}

std::string Written(const MCVarList& list) {
  std::ostringstream out;
  list.WriteObjectXML(out, 0);
  return out.str();
}

// The stream split at its line feeds (each element line starts with one).
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? "\n" : "") + lines[i];
  return text;
}

MCVarList SampleList(const std::string& name = "age") {
  MCVarList list;
  list.AddContVar(name, "Age", 0.0, 100.0, IMCVariable::kInput, true, 3);
  list.AddCatVar("colour", "", std::vector<std::string>{"red", "blue"}, IMCVariable::kTarget);
  list.SetWeightVar("w", "", IMCVariable::kRoundClosest);
  return list;
}

TEST(VarListStreamTest, EmptyStreamThrows) {
  MCVarList list;
  EXPECT_FALSE(ReadList("", list));
  EXPECT_FALSE(ReadList("\n\n\n", list));
  EXPECT_FALSE(ReadList(std::string(1000, '\0'), list));
}

// Every cut before the last line is a failure; nothing crashes or leaks on the way.
TEST(VarListStreamTest, EveryTruncationBeforeTheEndThrows) {
  const std::string full = Written(SampleList());
  const std::size_t lastLine = full.rfind('\n');
  ASSERT_NE(lastLine, std::string::npos);
  for (std::size_t cut = 0; cut < lastLine; ++cut) {
    MCVarList list;
    EXPECT_FALSE(ReadList(full.substr(0, cut), list)) << "cut at " << cut;
    for (int i = 0; i < list.Size(); ++i) list.GetVarAt(i);  // a half-read list stays usable
  }
  MCVarList list;
  ASSERT_TRUE(ReadList(full, list));
  EXPECT_EQ(Written(list), full);
}

// Padding a line with blanks to 255 characters still reads; 256 characters do not.
TEST(VarListStreamTest, LinesOf255ReadAndOf256Fail) {
  const std::vector<std::string> lines = Lines(Written(SampleList()));
  for (std::size_t k = 1; k < lines.size(); ++k) {
    ASSERT_LT(lines[k].size(), 255u);
    for (std::size_t length : {254u, 255u, 256u, 300u}) {
      std::vector<std::string> padded = lines;
      padded[k].append(length - padded[k].size(), ' ');
      MCVarList list;
      EXPECT_EQ(ReadList(Join(padded), list), length <= 255)
          << "line " << k << " padded to " << length;
    }
  }
}

// A name so long that its line is 255 characters reads back; one character more cannot.
TEST(VarListStreamTest, LongNameAtTheLineLimit) {
  const std::string probe(100, 'n');
  std::size_t extra = 0;
  for (const std::string& line : Lines(Written(SampleList(probe)))) {
    if (line.find(probe) != std::string::npos) extra = line.size() - probe.size();
  }
  ASSERT_GT(extra, 0u);
  const std::string fits(255 - extra, 'n');
  MCVarList read;
  ASSERT_TRUE(ReadList(Written(SampleList(fits)), read));
  EXPECT_EQ(read.FindVariable(fits), 0);
  const std::string tooLong(256 - extra, 'n');
  MCVarList refused;
  EXPECT_FALSE(ReadList(Written(SampleList(tooLong)), refused));
}

// Names travel as the bytes they are: UTF-8, Latin-1, and bytes that are no text at all.
class NameBytesTest : public testing::TestWithParam<std::string> {};

TEST_P(NameBytesTest, NameRoundTripsByteForByte) {
  const std::string name = GetParam();
  const MCVarList list = SampleList(name);
  ASSERT_EQ(list.FindVariable(name), 0);
  MCVarList read;
  ASSERT_TRUE(ReadList(Written(list), read));
  ASSERT_GT(read.Size(), 0);
  EXPECT_EQ(read.GetVarAt(0)->GetVariableName(), name);
  EXPECT_EQ(Written(read), Written(list));
}

INSTANTIATE_TEST_SUITE_P(Encodings, NameBytesTest,
                         testing::Values(std::string("gr\xC3\xB6\xC3\x9F"
                                                     "e"),                         // UTF-8
                                         std::string("\xE5\xB9\xB4\xE9\xBD\xA2"),  // UTF-8 CJK
                                         std::string("\xF0\x9F\x98\x80"),          // 4 bytes
                                         std::string("gr\xF6\xDF"
                                                     "e"),                   // Latin-1
                                         std::string("\xFF\xFE\x80\xC0")));  // not text

// Markup characters are escaped on writing and, as documented, not converted back on reading.
TEST(VarListStreamTest, MarkupInANameComesBackAsReferences) {
  MCVarList read;
  ASSERT_TRUE(ReadList(Written(SampleList("a&b<c>\"d'")), read));
  EXPECT_EQ(read.GetVarAt(0)->GetVariableName(), "a&amp;b&lt;c&gt;&quot;d'");
}

TEST(URandomStreamTest, EmptyAndTruncatedStreamsLeaveTheGenerator) {
  MCCommonMath::MCURandom source(123456789UL, true, false, nullptr);
  std::ostringstream out;
  source.WriteObjectXML(out, 0);
  const std::string full = out.str();
  const std::size_t lastLine = full.rfind('\n');
  for (std::size_t cut = 0; cut < lastLine; ++cut) {
    MCCommonMath::MCURandom random;
    EXPECT_FALSE(ReadRandom(full.substr(0, cut), random)) << "cut at " << cut;
    EXPECT_EQ(random.GetSeed(), 34567u);
    EXPECT_TRUE(random.GetUseTwister());
  }
  MCCommonMath::MCURandom random;
  ASSERT_TRUE(ReadRandom(full, random));
  EXPECT_EQ(random.GetSeed(), 123456789u);
  EXPECT_FALSE(random.GetUseTwister());
}

TEST(URandomStreamTest, LinesOf255ReadAndOf256Fail) {
  MCCommonMath::MCURandom source(42UL, true, true, nullptr);
  std::ostringstream out;
  source.WriteObjectXML(out, 0);
  const std::vector<std::string> lines = Lines(out.str());
  for (std::size_t k = 1; k < lines.size(); ++k) {
    for (std::size_t length : {255u, 256u}) {
      std::vector<std::string> padded = lines;
      padded[k].append(length - padded[k].size(), ' ');
      MCCommonMath::MCURandom random(7UL, false, false, nullptr);
      EXPECT_EQ(ReadRandom(Join(padded), random), length == 255)
          << "line " << k << " padded to " << length;
    }
  }
}

TEST(URandomStreamTest, SeedsOutsideThe32BitRangeAreRefused) {
  for (const char* seed : {"-1", "4294967296", "1e300", "nan", "Missing"}) {
    const std::string text = std::string("\n<Obj name=\"MCURandom\">\n\t<Double value=\"") + seed +
                             "\"/>\n\t<Int value=\"1\"/>\n\t<Int value=\"0\"/>\n</Obj>";
    MCCommonMath::MCURandom random;
    EXPECT_FALSE(ReadRandom(text, random)) << seed;
    EXPECT_EQ(random.GetSeed(), 34567u) << seed;
  }
}

// Binary record files: empty, and cut inside the last record.
class TempFile {
 public:
  explicit TempFile(const std::vector<double>& values, std::size_t extraBytes = 0) {
    fpFile = std::tmpfile();
    std::vector<unsigned char> bytes(values.size() * sizeof(double) + extraBytes, 0xAB);
    if (!values.empty()) std::memcpy(bytes.data(), values.data(), values.size() * sizeof(double));
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), fpFile);
    std::rewind(fpFile);
  }
  ~TempFile() { std::fclose(fpFile); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  std::FILE* get() { return fpFile; }

 private:
  std::FILE* fpFile = nullptr;
};

TEST(BinaryFileTest, EmptyFileEndsAtOnceInEveryPass) {
  TempFile file({});
  MCCommon::BinaryRecordIterator it(file.get(), 3);
  for (int pass = 0; pass < 3; ++pass) {
    if (pass > 0) {
      EXPECT_EQ(it.NewPass(), MCCommon::kFailEndOfData);
    }
    EXPECT_FALSE(it.HasMore());
    EXPECT_EQ(it.Next(), nullptr);
  }
}

// A model fitted from a file cut inside its last record equals the model of the whole
// records: the partial record is never used.
TEST(BinaryFileTest, TruncatedFileFitsTheWholeRecords) {
  std::vector<double> values;
  hostile::Rows rows;
  for (int i = 0; i < 8; ++i) {
    rows.push_back({1.0 + 2.0 * i + (i % 3) * 0.1, static_cast<double>(i)});
    values.insert(values.end(), rows.back().begin(), rows.back().end());
  }
  TempFile file(values, 12);  // a value and a half of a ninth record
  MCRegSettings settings;
  settings.SetDependent(0);
  settings.AddCovariate(1);
  std::vector<int> indices = {1};
  MCModelEffect x(0, 1, &indices);
  x.AddCovariate(1);
  settings.AddModelEffect(x);

  MCRegFactory factory;
  std::unique_ptr<IMCRegComponent> component(factory.CreateRegAlgorithm(settings));
  ASSERT_TRUE(component);
  MCCommon::BinaryRecordIterator it(file.get(), 2);
  ASSERT_TRUE(component->BuildModel(it).IsOK());
  EXPECT_EQ(it.GetFailReason(), MCCommon::kFailRead);
  IMCRegOutputStats* stats = nullptr;
  ASSERT_TRUE(component->GetOutputStats(stats).IsOK());
  const hostile::Outcome whole = hostile::Fit(settings, rows);
  ASSERT_EQ(stats->GetParamEstimates().size(), whole.estimates.size());
  for (std::size_t k = 0; k < whole.estimates.size(); ++k) {
    EXPECT_DOUBLE_EQ(stats->GetParamEstimates()[k], whole.estimates[k]);
  }
  EXPECT_DOUBLE_EQ(stats->GetTotalFreqWeight(), 8.0);
}

}  // namespace
