#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "MCRNGenerator.h"
#include "MCURandom.h"
#include "RandomTestUtil.h"

using MCCommonMath::MCRandomTwister;
using MCCommonMath::MCRNGUCongruential;
using MCCommonMath::MCURandom;

namespace {

TEST(MCURandomTest, DefaultIsATwisterSeededWith34567AndCopiesRestartIt) {
  MCURandom u;
  EXPECT_TRUE(u.GetUsePortable() && u.GetUseTwister());
  MCRandomTwister t;
  t.Initialize(34567);
  const double first = t.GetRealOpen();
  EXPECT_EQ(u.GetRandom(), first);
  EXPECT_EQ(u.GetRandom(), t.GetRealOpen());
  MCURandom b(u), c(9, true, false, nullptr);
  c = u;
  EXPECT_EQ(b.GetRandom(), first);
  EXPECT_EQ(c.GetRandom(), first);
}

TEST(MCURandomTest, PortableGeneratorIsTheCongruentialSequence) {
  MCURandom u(12345, true, false, nullptr), zero(0, true, false, nullptr);
  MCRNGUCongruential c;
  c.SetSeed(12345);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(u.GetRandom(), c.GetNext());
  EXPECT_EQ(static_cast<int32_t>(u.GetSeed()), c.GetState());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(zero.GetRandom(), 0.0);
}

// The ANSI C example generator seeded with 1 gives 16838, 5758, 10113 first.
TEST(MCURandomTest, RuntimeBranchUsesThe15BitGenerator) {
  MCURandom u(1, false, true, nullptr), v(5, true, true, nullptr);
  EXPECT_FALSE(u.GetUseTwister());
  u.SetSeed(1);
  for (int r : {16838, 5758, 10113}) EXPECT_EQ(u.GetRandom(), r / 32767.0);
  v.SetUsePortable(false);
  v.SetUsePortable(true);  // never brings the Twister back
  EXPECT_FALSE(v.GetUseTwister());
  v.SetUsePortable(false);
  v.SetSeed(1);
  EXPECT_EQ(v.GetRandom(), 16838 / 32767.0);
}

TEST(MCURandomTest, HostGeneratorTakesPrecedence) {
  randomtest::Scripted host({0.25, 0.75});
  MCURandom u(3, true, true, &host);
  EXPECT_FALSE(u.GetUseTwister());
  for (double r : {0.25, 0.75}) EXPECT_EQ(u.GetRandom(), r);
}

int WriteXML(const MCURandom& u, std::ostream& os) { return u.WriteObjectXML(os, 1); }

// Both forms carry the seed and the flags (the reader starts with the other generator): a
// congruential stream goes on where it was written, a Twister starts over from its seed.
TEST(MCURandomPersistTest, RoundTrips) {
  for (bool binary : {true, false}) {
    for (const auto& [seed, twister] : {std::make_pair(4294967295ul, false), {777ul, true}}) {
      SCOPED_TRACE(std::to_string(binary) + " " + std::to_string(seed));
      MCURandom a(seed, true, twister, nullptr), fresh(seed, true, twister, nullptr);
      for (int i = 0; i < 3; ++i) a.GetRandom();
      std::stringstream s;
      ASSERT_EQ(binary ? a.WriteObject(s) : WriteXML(a, s), binary ? 20 : 5);
      MCURandom b(1, twister, !twister, nullptr);
      ASSERT_EQ(binary ? b.ReadObject(s) : b.ReadObjectXML(s), binary ? 20 : 5);
      for (int i = 0; i < 5; ++i) EXPECT_EQ(b.GetRandom(), (twister ? fresh : a).GetRandom());
    }
  }
  MCURandom a(4000000000ul, true, false, nullptr);
  std::stringstream s, xml;
  a.WriteObject(s);
  const std::string bytes = s.str();
  ASSERT_EQ(bytes.size(), 20u);
  EXPECT_EQ(bytes.substr(0, 4), "MCUR");
  const double seed = a.GetSeed();
  EXPECT_EQ(std::memcmp(bytes.data() + 4, &seed, 8), 0);  // the test machine is little-endian
  EXPECT_EQ(bytes.substr(12), std::string("\1\0\0\0\0\0\0\0", 8));
  WriteXML(a, xml);
  EXPECT_EQ(xml.str().rfind("\n\t<Obj name=\"MCURandom\">", 0), 0u);
  std::stringstream failed;
  failed.setstate(std::ios::failbit);
  EXPECT_EQ(a.WriteObject(failed), 0);
  EXPECT_EQ(a.WriteObjectXML(failed, 0), 0);
  EXPECT_TRUE(failed.str().empty());
}

// A corrupt record or stream leaves the generator as it was; the stream reader says so.
TEST(MCURandomPersistTest, CorruptFormsAreRefused) {
  MCURandom a(31, true, true, nullptr);
  std::stringstream good, goodXML;
  a.WriteObject(good);
  a.WriteObjectXML(goodXML, 0);
  const std::string bytes = good.str(), text = goodXML.str();
  std::string badMagic = bytes, negativeSeed = bytes;
  badMagic[3] = 'X';
  const double minusOne = -1.0;
  std::memcpy(&negativeSeed[4], &minusOne, 8);
  std::vector<std::pair<bool, std::string>> bad = {
      {true, badMagic},
      {true, bytes.substr(0, 10)},
      {true, negativeSeed},
      {true, ""},
      {false, std::string(text).replace(text.find("MCURandom"), 9, "MCVarList")},
      {false, text.substr(0, text.rfind('\n'))},                                  // no end line
      {false, std::string(text).replace(text.find("<Int"), 4, "<Dbl")},            // portable flag
      {false, std::string(text).replace(text.rfind("<Int"), 4, "<Dbl")}};          // twister flag
  for (const char* seed : {"x1", "-5", "4294967296", "1e300", "nan", "Missing"})  // not 32 bits
    bad.emplace_back(false, std::string(text).replace(text.find("31"), 2, seed));
  for (const auto& [binary, b] : bad) {
    std::stringstream in(b);
    MCURandom r(3, true, false, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(binary ? r.ReadObject(in) : r.ReadObjectXML(in), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), binary ? "" : "Failure reading MCURandom!\n");
    EXPECT_EQ(r.GetSeed(), 3u);
    EXPECT_FALSE(r.GetUseTwister());
  }
}

}  // namespace
