#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "MCRNGenerator.h"
#include "MCRandomTwister.h"

using MCCommonMath::MCRandomTwister;
using MCCommonMath::MCRNGUTwister;

namespace {

// The numbers of a fixture in data/ beside this file, after its header line.
template <class T>
std::vector<T> ReadFixture(const char* name) {
  std::ifstream in(std::string(MCSTAT_TEST_DATA_DIR "/") + name);
  std::string header;
  std::getline(in, header);
  std::vector<T> values;
  for (T v; in >> v;) values.push_back(v);
  return values;
}

// Seed 5489 (also the default) gives 3499211612 first; InitByArray the reference output.
TEST(MCRandomTwisterTest, ReproducesTheReferenceProgram) {
  MCRandomTwister unseeded, seeded;
  EXPECT_EQ(unseeded.GetInteger32(), 3499211612ul);
  seeded.Initialize(12345);
  seeded.Initialize(5489);
  EXPECT_EQ(seeded.GetInteger32(), 3499211612ul);
  const auto expected = ReadFixture<unsigned long>("mt19937ar_int32.txt");
  ASSERT_EQ(expected.size(), 1000u);
  MCRandomTwister t;
  const unsigned long key[4] = {0x123, 0x234, 0x345, 0x456};
  t.InitByArray(key, 4);
  for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(t.GetInteger32(), expected[i]) << i;
}

TEST(MCRandomTwisterTest, RealConversionsAndCopiesFollowTheWords) {
  MCRandomTwister words;
  words.Initialize(42);
  for (int i = 0; i < 700; ++i) words.GetInteger32();  // past one regeneration
  MCRandomTwister reals(words), assigned;
  assigned = words;
  const unsigned long w = words.GetInteger32();
  EXPECT_EQ(assigned.GetInteger32(), w);
  EXPECT_EQ(reals.GetInteger31(), static_cast<long>(w >> 1));
  EXPECT_DOUBLE_EQ(reals.GetRealClosed(), words.GetInteger32() / 4294967295.0);
  EXPECT_EQ(reals.GetRealClosedOpen(), std::ldexp(words.GetInteger32(), -32));
  EXPECT_EQ(reals.GetRealOpen(), std::ldexp(words.GetInteger32() + 0.5, -32));
}

TEST(MCRNGUTwisterTest, WholeSeedMatchesNumpyLegacyRandomState) {
  const auto expected = ReadFixture<double>("numpy_randomstate12345.txt");
  ASSERT_EQ(expected.size(), 1000u);
  MCRNGUTwister t;
  t.SetSeed(12345.0);
  t.SetSeed(std::numeric_limits<double>::quiet_NaN());  // ignored
  for (std::size_t i = 0; i < 500; ++i) ASSERT_EQ(t.GetNext(), expected[i]) << i;
  MCRNGUTwister copy(t);
  for (std::size_t i = 500; i < expected.size(); ++i) ASSERT_EQ(copy.GetNext(), expected[i]) << i;
}

struct EncodedSeed {
  double seed;
  uint32_t key[3];
};

// 0.75 = 0.75 * 2^0; -3 = -0.75 * 2^2; 2^31 = 0.5 * 2^32; 0.1 = 0.8 * 2^-3, whose
// significand 0x1999999999999A splits into 26 and 27 bits.
TEST(MCRNGUTwisterEncodeTest, KeyCarriesSignExponentAndSignificand) {
  const EncodedSeed cases[] = {{0.75, {0, 3u << 24, 0}},
                               {-3.0, {2 + 4 + 16, 3u << 24, 0}},
                               {2147483648.0, {4 + 8 * 32, 1u << 25, 0}},
                               {0.1, {8 * 3, 0x3333333u, 0x199999Au}}};
  for (const EncodedSeed& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.seed));
    uint32_t key[3];
    MCRNGUTwister::EncodeSeed(c.seed, key);
    EXPECT_EQ(std::vector<uint32_t>(key, key + 3), std::vector<uint32_t>(c.key, c.key + 3));
    MCRNGUTwister t;
    t.SetSeed(c.seed);
    MCRandomTwister r;
    const unsigned long longKey[3] = {c.key[0], c.key[1], c.key[2]};
    r.InitByArray(longKey, 3);
    EXPECT_EQ(t.GetNext(), r.GetRealRes53());
  }
}

}  // namespace
