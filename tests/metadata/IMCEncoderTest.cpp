#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "IMCEncoder.h"
#include "MCMV.h"

namespace {

using namespace MCCommonMetadata;

const double kMiss = MCMV::Missing();

template <class T>
std::vector<double> Codes(IMCEncoder& e, const std::vector<T>& values, bool constant = false) {
  std::vector<double> codes;
  for (const T& v : values) codes.push_back(constant ? e.EncodeConst(v) : e.Encode(v));
  return codes;
}

std::vector<std::string> Decoded(const IMCEncoder& e, int n) {
  std::vector<std::string> texts;
  for (int code = -1; code <= n; ++code) texts.push_back(e.Decode(code));
  return texts;
}
std::vector<double> DecodedNum(const IMCEncoder& e, int n) {
  std::vector<double> values;
  for (int code = -1; code <= n; ++code) values.push_back(e.DecodeNum(code));
  return values;
}

TEST(MCCatNumEncoderTest, CodesInOrderOfFirstSightOnlyEncodeLearns) {
  MCCatNumEncoder e;
  EXPECT_EQ(Codes(e, std::vector<double>{5, 3, 5, 7, kMiss}),
            (std::vector<double>{0, 1, 0, 2, -1}));
  EXPECT_EQ(Codes(e, std::vector<std::string>{"5"}), std::vector<double>{-1});
  EXPECT_EQ(Decoded(e, 3), (std::vector<std::string>{"", "5", "3", "7", ""}));
  EXPECT_EQ(DecodedNum(e, 3), (std::vector<double>{kMiss, 5, 3, 7, kMiss}));
  EXPECT_EQ(e.EncodeConst(0.25), -1);
  EXPECT_EQ(e.GetNumberOfCategories(), 3);
  EXPECT_EQ(e.Encode(0.25), 3);
  EXPECT_EQ(e.EncodeConst(0.25), 3);
  EXPECT_EQ(e.Decode(3), "0.25");
  EXPECT_EQ(MCCatNumEncoder(std::vector<double>{2.5, 1, 2.5, 4}).GetCategoryValues(),
            (std::vector<double>{2.5, 1, 4}));
  // Labels grow to the category count; a code outside it is passed over.
  e.SetValueLabel(1, "three");
  e.SetValueLabel(4, "beyond");
  e.SetValueLabel(-1, "before");
  EXPECT_EQ(*e.GetValueLabels(), (std::vector<std::string>{"", "three", "", ""}));
  e.SetValueLabels({"a"});
  EXPECT_EQ(*e.GetValueLabels(), (std::vector<std::string>{"a"}));
}

TEST(MCStringEncoderTest, CodesDecodingAndMissingStrings) {
  MCStringEncoder e(std::vector<std::string>{"b", "a", "b"});
  EXPECT_EQ(Decoded(e, 2), (std::vector<std::string>{"", "b", "a", ""}));
  EXPECT_EQ(DecodedNum(e, 0), (std::vector<double>{kMiss, kMiss}));
  EXPECT_TRUE(e.AddDiscreteUserMissing("NA", "not available"));
  EXPECT_FALSE(e.AddDiscreteUserMissing(1.0, "x") || e.SetMissingInterval(0, 1));
  EXPECT_EQ(Codes(e, std::vector<std::string>{"NA", "c"}, true), (std::vector<double>{-1, -1}));
  EXPECT_EQ(Codes(e, std::vector<std::string>{"NA", "c", "a"}), (std::vector<double>{-1, 2, 1}));
  EXPECT_EQ(e.Encode(2.0), -1);
  EXPECT_TRUE(e.IsMissing(2.0) && !e.IsMissing("a"));
  EXPECT_EQ(e.GetDiscreteMissValues(), nullptr);
  EXPECT_EQ(*e.GetDiscreteMissValuesStr(), std::vector<std::string>{"NA"});
}

TEST(MCContEncoderTest, PassesValuesThroughUnlessMissing) {
  MCContEncoder e(0.0, 10.0, 5);
  EXPECT_EQ(e.GetNumberOfCategories(), 5);
  EXPECT_TRUE(e.AddDiscreteUserMissing(99.0, "n/a"));
  EXPECT_EQ(Codes(e, std::vector<double>{3.7, 99.0}), (std::vector<double>{3.7, kMiss}));
  EXPECT_EQ(e.Encode("3.7"), kMiss);
  EXPECT_TRUE(e.IsMissing("3.7"));
  EXPECT_EQ(e.GetValueLabels(), nullptr);
  EXPECT_EQ(e.Decode(0), "");
  EXPECT_EQ(MCContEncoder().GetNumberOfCategories(), 0);
  EXPECT_EQ(MCContEncoder(std::vector<double>{1, 2}).GetNumberOfCategories(), 3);
}

TEST(MCRoundEncoderTest, RoundsAndRejectsNonPositive) {
  const IMCVariable::WRoundingOption t = IMCVariable::kTruncate, c = IMCVariable::kRoundClosest,
                                     a = IMCVariable::kAsIs;
  const std::vector<double> weights = {2.9, 0.4, 2.5, 2.49, 0.3, 0.0, kMiss};
  const IMCVariable::WRoundingOption options[] = {t, t, c, c, a, a, a};
  const std::vector<double> expected = {2, kMiss, 3, 2, 0.3, kMiss, kMiss};
  for (std::size_t k = 0; k < weights.size(); ++k)
    EXPECT_EQ(MCRoundEncoder(options[k]).Encode(weights[k]), expected[k]) << k;
}

// A user-missing value encodes as the system-missing value does.
TEST(NumericMissingTest, IntervalIsClosedAndSetOnceDiscreteValuesKeepTheirLabels) {
  std::unique_ptr<IMCEncoder> encoders[] = {std::make_unique<MCContEncoder>(),
                                            std::make_unique<MCCatNumEncoder>(),
                                            std::make_unique<MCRoundEncoder>(IMCVariable::kAsIs)};
  for (auto& e : encoders) {
    SCOPED_TRACE(e->GetEncoderType());
    double low = -7, high = -7;
    EXPECT_FALSE(e->GetMissingInterval(low, high));
    EXPECT_EQ(low, -7);
    EXPECT_FALSE(e->SetMissingInterval(3, 3) || e->SetMissingInterval(4, 3));
    EXPECT_TRUE(e->SetMissingInterval(1, 2));
    EXPECT_FALSE(e->SetMissingInterval(5, 6));
    ASSERT_TRUE(e->GetMissingInterval(low, high));
    EXPECT_EQ(std::make_pair(low, high), std::make_pair(1.0, 2.0));
    EXPECT_TRUE(e->AddDiscreteUserMissing(8.0, "eight") && e->AddDiscreteUserMissing(9.0, "nine"));
    EXPECT_FALSE(e->AddDiscreteUserMissing("9", "nine"));
    std::vector<bool> missing;
    for (double x : {1.0, 1.5, 2.0, 2.0000001, 5.5, kMiss, 9.0, 8.5})
      missing.push_back(e->IsMissing(x));
    EXPECT_EQ(missing, (std::vector<bool>{true, true, true, false, false, true, true, false}));
    EXPECT_EQ(Codes(*e, std::vector<double>{9.0, 1.5}), (std::vector<double>(2, e->Encode(kMiss))));
    EXPECT_EQ(*e->GetDiscreteMissValues(), (std::vector<double>{8, 9}));
    EXPECT_EQ(*e->GetMissValueLabels(), (std::vector<std::string>{"eight", "nine"}));
    EXPECT_EQ(e->GetDiscreteMissValuesStr(), nullptr);
  }
}

}  // namespace
