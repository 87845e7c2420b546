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
  EXPECT_TRUE(c.GetUseTwister());
  EXPECT_EQ(b.GetRandom(), first);
  EXPECT_EQ(c.GetRandom(), first);
}

TEST(MCURandomTest, PortableGeneratorIsTheCongruentialSequence) {
  MCURandom u(12345, true, false, nullptr), zero(0, true, false, nullptr);
  EXPECT_FALSE(u.GetUseTwister());
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
  randomtest::ScriptedHost host({0.25, 0.75});
  MCURandom u(3, true, true, &host);
  EXPECT_FALSE(u.GetUseTwister());
  for (double r : {0.25, 0.75}) EXPECT_EQ(u.GetRandom(), r);
}

TEST(MCURandomPersistTest, BinaryRecordLayoutAndRoundTrips) {
  MCURandom a(4000000000ul, true, false, nullptr);
  for (int i = 0; i < 3; ++i) a.GetRandom();
  std::stringstream s;
  ASSERT_EQ(a.WriteObject(s), 20);
  const std::string bytes = s.str();
  ASSERT_EQ(bytes.size(), 20u);
  EXPECT_EQ(bytes.substr(0, 4), "MCUR");
  const double seed = a.GetSeed();
  EXPECT_EQ(std::memcmp(bytes.data() + 4, &seed, 8), 0);  // the test machine is little-endian
  EXPECT_EQ(bytes.substr(12), std::string("\1\0\0\0\0\0\0\0", 8));
  MCURandom b;  // holds a Twister that must go
  ASSERT_EQ(b.ReadObject(s), 20);
  EXPECT_FALSE(b.GetUseTwister());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(b.GetRandom(), a.GetRandom());  // the stream goes on

  MCURandom t(777, true, true, nullptr), fresh(777, true, true, nullptr),
      c(1, false, false, nullptr);
  t.GetRandom();
  std::stringstream s2;
  t.WriteObject(s2);
  ASSERT_EQ(c.ReadObject(s2), 20);
  EXPECT_TRUE(c.GetUseTwister());
  EXPECT_EQ(c.GetRandom(), fresh.GetRandom());
}

TEST(MCURandomPersistTest, CorruptBinaryRecordsAreRefused) {
  MCURandom a(777, true, true, nullptr);
  std::stringstream good;
  a.WriteObject(good);
  std::string badMagic = good.str(), negativeSeed = good.str();
  badMagic[3] = 'X';
  const double minusOne = -1.0;
  std::memcpy(&negativeSeed[4], &minusOne, 8);
  for (const std::string& bad : {badMagic, good.str().substr(0, 10), negativeSeed, std::string()}) {
    std::stringstream s(bad);
    MCURandom b(3, true, false, nullptr);
    EXPECT_EQ(b.ReadObject(s), 0);
    EXPECT_EQ(b.GetSeed(), 3u);
    EXPECT_FALSE(b.GetUseTwister());
  }
  std::stringstream failed;
  failed.setstate(std::ios::failbit);
  EXPECT_EQ(a.WriteObject(failed), 0);
  EXPECT_TRUE(failed.str().empty());
}

TEST(MCURandomPersistTest, ObjectStreamRoundTrip) {
  MCURandom a(4294967295ul, true, false, nullptr), t(31, true, true, nullptr);
  std::stringstream s;
  ASSERT_EQ(a.WriteObjectXML(s, 1), 5);
  ASSERT_EQ(t.WriteObjectXML(s, 0), 5);
  EXPECT_NE(s.str().find("\n\t<Obj name=\"MCURandom\">"), std::string::npos);
  MCURandom b, c(8, false, false, nullptr), fresh(31, true, true, nullptr);
  ASSERT_EQ(b.ReadObjectXML(s), 5);
  EXPECT_EQ(b.GetSeed(), 4294967295u);
  EXPECT_TRUE(b.GetUsePortable());
  EXPECT_FALSE(b.GetUseTwister());
  ASSERT_EQ(c.ReadObjectXML(s), 5);
  EXPECT_TRUE(c.GetUseTwister());
  EXPECT_EQ(c.GetRandom(), fresh.GetRandom());
}

TEST(MCURandomPersistTest, CorruptObjectStreamsAreRefusedWithAMessage) {
  MCURandom a(31, true, true, nullptr);
  std::stringstream s;
  a.WriteObjectXML(s, 0);
  const std::string text = s.str();
  std::vector<std::string> bad = {std::string(text).replace(text.find("MCURandom"), 9, "MCVarList"),
                                  text.substr(0, text.rfind('\n'))};              // no end line
  for (const char* seed : {"x1", "-5", "4294967296", "1e300", "nan", "Missing"})  // not 32 bits
    bad.push_back(std::string(text).replace(text.find("31"), 2, seed));
  for (const std::string& b : bad) {
    std::stringstream in(b);
    MCURandom r(3, true, false, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(r.ReadObjectXML(in), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Failure reading MCURandom!\n");
    EXPECT_EQ(r.GetSeed(), 3u);
  }
}

}  // namespace
