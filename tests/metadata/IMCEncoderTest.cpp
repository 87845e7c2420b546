#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "IMCEncoder.h"
#include "MCMV.h"
#include "MetadataTestUtil.h"

namespace {

using MCCommonMetadata::IMCEncoder;
using MCCommonMetadata::IMCVariable;
using MCCommonMetadata::MCCatNumEncoder;
using MCCommonMetadata::MCContEncoder;
using MCCommonMetadata::MCRoundEncoder;
using MCCommonMetadata::MCStringEncoder;
using metadata_test::ExpectReadFailure;

const double kMiss = MCMV::Missing();

TEST(MCCatNumEncoderTest, CodesInOrderOfFirstSight) {
  MCCatNumEncoder e;
  EXPECT_EQ(e.Encode(5.0), 0);
  EXPECT_EQ(e.Encode(3.0), 1);
  EXPECT_EQ(e.Encode(5.0), 0);
  EXPECT_EQ(e.Encode(7.0), 2);
  EXPECT_EQ(e.Decode(1), "3");
  EXPECT_EQ(e.DecodeNum(2), 7.0);
  EXPECT_EQ(e.DecodeNum(3), kMiss);
  EXPECT_EQ(e.DecodeNum(-1), kMiss);
  EXPECT_EQ(e.Decode(3), "");
  EXPECT_EQ(e.Encode(kMiss), -1);
  EXPECT_EQ(e.Encode("5"), -1);

  // EncodeConst never learns; Encode does.
  EXPECT_EQ(e.EncodeConst(0.25), -1);
  EXPECT_EQ(e.GetNumberOfCategories(), 3);
  EXPECT_EQ(e.Encode(0.25), 3);
  EXPECT_EQ(e.EncodeConst(0.25), 3);
  EXPECT_EQ(e.Decode(3), "0.25");
  EXPECT_EQ(MCCatNumEncoder(std::vector<double>{2.5, 1, 2.5, 4}).GetCategoryValues(),
            (std::vector<double>{2.5, 1, 4}));
}

TEST(MCCatNumEncoderTest, UserMissingValuesGetNoCode) {
  MCCatNumEncoder e;
  EXPECT_TRUE(e.AddDiscreteUserMissing(9.0, "refused"));
  EXPECT_FALSE(e.AddDiscreteUserMissing("9", "refused"));
  EXPECT_TRUE(e.SetMissingInterval(-2, -1));
  EXPECT_EQ(e.Encode(9.0), -1);
  EXPECT_EQ(e.Encode(-1.5), -1);
  EXPECT_EQ(e.Encode(1.0), 0);
  EXPECT_EQ(e.GetNumberOfCategories(), 1);
}

TEST(MCCatNumEncoderTest, SetValueLabelGrowsToCategoryCount) {
  MCCatNumEncoder e(std::vector<double>{1, 2, 3});
  e.SetValueLabel(1, "two");
  e.SetValueLabel(3, "beyond");
  e.SetValueLabel(-1, "before");
  EXPECT_EQ(*e.GetValueLabels(), (std::vector<std::string>{"", "two", ""}));
  e.SetValueLabels({"a"});
  EXPECT_EQ(*e.GetValueLabels(), (std::vector<std::string>{"a"}));
}

TEST(MCStringEncoderTest, CodesDecodingAndMissingStrings) {
  MCStringEncoder e(std::vector<std::string>{"b", "a", "b"});
  EXPECT_EQ(e.GetNumberOfCategories(), 2);
  EXPECT_EQ(e.Decode(0), "b");
  EXPECT_EQ(e.Decode(1), "a");
  EXPECT_EQ(e.Decode(2), "");
  EXPECT_EQ(e.Decode(-1), "");
  EXPECT_TRUE(e.AddDiscreteUserMissing("NA", "not available"));
  EXPECT_FALSE(e.AddDiscreteUserMissing(1.0, "x"));
  EXPECT_FALSE(e.SetMissingInterval(0, 1));
  EXPECT_EQ(e.Encode("NA"), -1);
  EXPECT_EQ(e.GetNumberOfCategories(), 2);
  EXPECT_EQ(e.EncodeConst("c"), -1);
  EXPECT_EQ(e.Encode("c"), 2);
  EXPECT_EQ(e.Encode(2.0), -1);
  EXPECT_TRUE(e.IsMissing(2.0));
  EXPECT_FALSE(e.IsMissing("a"));
  EXPECT_EQ(e.DecodeNum(0), kMiss);
  EXPECT_EQ(e.GetDiscreteMissValues(), nullptr);
  EXPECT_EQ(*e.GetDiscreteMissValuesStr(), std::vector<std::string>{"NA"});
}

TEST(MCContEncoderTest, PassesValuesThroughUnlessMissing) {
  MCContEncoder e(0.0, 10.0, 5);
  EXPECT_EQ(e.GetNumberOfCategories(), 5);
  EXPECT_EQ(e.Encode(3.7), 3.7);
  EXPECT_EQ(e.Encode("3.7"), kMiss);
  EXPECT_TRUE(e.IsMissing("3.7"));
  EXPECT_TRUE(e.AddDiscreteUserMissing(99.0, "n/a"));
  EXPECT_EQ(e.EncodeConst(99.0), kMiss);
  EXPECT_EQ(e.GetValueLabels(), nullptr);
  EXPECT_EQ(e.Decode(0), "");
  EXPECT_EQ(MCContEncoder().GetNumberOfCategories(), 0);
  EXPECT_EQ(MCContEncoder(std::vector<double>{1, 2}).GetNumberOfCategories(), 3);
}

struct RoundCase {
  IMCVariable::WRoundingOption option;
  double weight;
  double expected;
};
void PrintTo(const RoundCase& c, std::ostream* os) { *os << c.option << " " << c.weight; }

class MCRoundEncoderTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(MCRoundEncoderTest, RoundsAndRejectsNonPositive) {
  MCRoundEncoder e(GetParam().option);
  EXPECT_EQ(e.Encode(GetParam().weight), GetParam().expected) << GetParam().weight;
}

INSTANTIATE_TEST_SUITE_P(Options, MCRoundEncoderTest,
                         ::testing::Values(RoundCase{IMCVariable::kTruncate, 2.9, 2},
                                           RoundCase{IMCVariable::kTruncate, 0.4, kMiss},
                                           RoundCase{IMCVariable::kRoundClosest, 2.5, 3},
                                           RoundCase{IMCVariable::kRoundClosest, 2.49, 2},
                                           RoundCase{IMCVariable::kAsIs, 0.3, 0.3},
                                           RoundCase{IMCVariable::kAsIs, 0, kMiss},
                                           RoundCase{IMCVariable::kAsIs, kMiss, kMiss}));

// The interval and discrete-value rules shared by the three numeric encoders.
class NumericMissingTest : public ::testing::TestWithParam<std::function<IMCEncoder*()>> {
 protected:
  std::unique_ptr<IMCEncoder> e_{GetParam()()};
};

TEST_P(NumericMissingTest, IntervalIsClosedAndSetOnce) {
  double low = -7, high = -7;
  EXPECT_FALSE(e_->GetMissingInterval(low, high));
  EXPECT_EQ(low, -7);
  EXPECT_FALSE(e_->SetMissingInterval(3, 3));
  EXPECT_FALSE(e_->SetMissingInterval(4, 3));
  EXPECT_TRUE(e_->SetMissingInterval(1, 2));
  EXPECT_FALSE(e_->SetMissingInterval(5, 6));
  ASSERT_TRUE(e_->GetMissingInterval(low, high));
  EXPECT_EQ(low, 1);
  EXPECT_EQ(high, 2);
  EXPECT_TRUE(e_->IsMissing(1.0));
  EXPECT_TRUE(e_->IsMissing(1.5));
  EXPECT_TRUE(e_->IsMissing(2.0));
  EXPECT_FALSE(e_->IsMissing(2.0000001));
  EXPECT_FALSE(e_->IsMissing(5.5));
  EXPECT_TRUE(e_->IsMissing(kMiss));
}

TEST_P(NumericMissingTest, DiscreteValuesKeepTheirLabels) {
  EXPECT_TRUE(e_->AddDiscreteUserMissing(8.0, "eight"));
  EXPECT_TRUE(e_->AddDiscreteUserMissing(9.0, "nine"));
  EXPECT_TRUE(e_->IsMissing(9.0));
  EXPECT_FALSE(e_->IsMissing(8.5));
  EXPECT_EQ(*e_->GetDiscreteMissValues(), (std::vector<double>{8, 9}));
  EXPECT_EQ(*e_->GetMissValueLabels(), (std::vector<std::string>{"eight", "nine"}));
  EXPECT_EQ(e_->GetDiscreteMissValuesStr(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Encoders, NumericMissingTest,
                         ::testing::Values([]() -> IMCEncoder* { return new MCContEncoder(); },
                                           []() -> IMCEncoder* { return new MCCatNumEncoder(); },
                                           []() -> IMCEncoder* {
                                             return new MCRoundEncoder(IMCVariable::kAsIs);
                                           }));

TEST(EncoderStreamTest, ContEncoderReadDropsBinningButKeepsCount) {
  std::ostringstream os;
  MCContEncoder(0, 1, 4).WriteObjectXML(os, 0);
  MCContEncoder read(std::vector<double>{7});
  std::istringstream is(os.str());
  read.ReadObjectXML(is);
  EXPECT_EQ(read.GetBinningEncoder(), nullptr);
  EXPECT_EQ(read.GetNumberOfCategories(), 4);
}

struct BadStream {
  std::function<IMCEncoder*()> make;
  std::string text;
  std::string message;
};

class EncoderFailureTest : public ::testing::TestWithParam<BadStream> {};

TEST_P(EncoderFailureTest, PrintsAndThrows) {
  std::unique_ptr<IMCEncoder> e(GetParam().make());
  std::istringstream is(GetParam().text);
  ExpectReadFailure([&] { e->ReadObjectXML(is); }, GetParam().message);
}

IMCEncoder* NewCont() { return new MCContEncoder(); }
IMCEncoder* NewCatNum() { return new MCCatNumEncoder(); }
IMCEncoder* NewString() { return new MCStringEncoder(); }
IMCEncoder* NewRound() { return new MCRoundEncoder(); }

INSTANTIATE_TEST_SUITE_P(
    Streams, EncoderFailureTest,
    ::testing::Values(
        BadStream{NewCont, "\n<Obj name=\"MCCatNumEncoder\">\n<Int value=\"0\"/>",
                  "Failure reading MCContEncoder!\n"},
        BadStream{NewCont,
                  "\n<Obj name=\"MCContEncoder\">\n<Int value=\"3\"/>\n<Int value=\"0\"/>"
                  "\n<Int value=\"-1\"/>\n</Obj>",
                  "Failure reading MCContEncoder!\n"},
        BadStream{NewCatNum,
                  "\n<Obj name=\"MCCatNumEncoder\">\n<Int value=\"2\"/>\n<Double value=\"1\"/>"
                  "\n<Double value=\"1\"/>",
                  "Failure reading MCCatNumEncoder!\n"},
        BadStream{NewCatNum,
                  "\n<Obj name=\"MCCatNumEncoder\">\n<Int value=\"1\"/>\n<Double value=\"nan\"/>"
                  "\n<Int value=\"0\"/>\n<Int value=\"0\"/>\n<Int value=\"0\"/>\n</Obj>",
                  "Failure reading MCCatNumEncoder!\n"},
        BadStream{NewString,
                  "\n<Obj name=\"MCStringEncoder\">\n<Int value=\"1\"/>\n<String value=\"a\"/>"
                  "\n<Int value=\"0\"/>\n<Int value=\"0\"/>",
                  "Failure reading MCStringEncoder!\n"},
        BadStream{NewRound,
                  "\n<Obj name=\"MCRoundEncoder\">\n<Int value=\"1\"/>\n<Int value=\"1\"/>"
                  "\n<Double value=\"2\"/>\n<Double value=\"1\"/>",
                  "Failure reading MCRoundEncoder from XML!\n"}));

}  // namespace
