#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "IMCEncoder.h"
#include "MCCatVar.h"
#include "MCContVar.h"
#include "MCMV.h"
#include "MCWeightVar.h"
#include "MetadataTestUtil.h"
#include "XMLObj.h"

namespace {

using MCCommonMetadata::IMCEncoder;
using MCCommonMetadata::IMCVariable;
using MCCommonMetadata::MCCatNumEncoder;
using MCCommonMetadata::MCCatVar;
using MCCommonMetadata::MCContEncoder;
using MCCommonMetadata::MCContVar;
using MCCommonMetadata::MCStringEncoder;
using MCCommonMetadata::MCWeightVar;
using metadata_test::ExpectReadFailure;
using metadata_test::ExpectSameEncoder;

constexpr double kHighest = std::numeric_limits<double>::max();

const MCContEncoder& ContEncoder(const MCContVar& v) {
  return dynamic_cast<const MCContEncoder&>(*v.GetEncoder());
}

TEST(MCContVarTest, BinningOnlyForAUsableRange) {
  MCContVar flat("x", "", 3, 3, IMCVariable::kInput, true, 4);
  EXPECT_EQ(ContEncoder(flat).GetBinningEncoder(), nullptr);
  EXPECT_EQ(flat.GetNBins(), 4);

  MCContVar binned("x", "", 0, 10, IMCVariable::kInput, true, 5);
  ASSERT_NE(ContEncoder(binned).GetBinningEncoder(), nullptr);
  EXPECT_EQ(ContEncoder(binned).GetBinningEncoder()->GetBinningCutpoints(),
            (std::vector<double>{2, 4, 6, 8}));

  MCContVar cuts("x", "", std::vector<double>{1, 5}, true, IMCVariable::kInput);
  EXPECT_EQ(cuts.GetNBins(), 3);
  EXPECT_EQ(cuts.GetCutPoints(), (std::vector<double>{1, 5}));
  EXPECT_EQ(cuts.GetMin(), std::numeric_limits<double>::lowest());
  ASSERT_NE(ContEncoder(cuts).GetBinningEncoder(), nullptr);
  MCContVar badRange("x", "", 5, 1, std::vector<double>{2, 3}, true, IMCVariable::kInput);
  EXPECT_EQ(ContEncoder(badRange).GetBinningEncoder(), nullptr);
  MCContVar goodRange("x", "", 1, 5, std::vector<double>{2, 3}, true, IMCVariable::kInput);
  EXPECT_EQ(goodRange.GetNumberOfCategories(), 3);
}

TEST(MCContVarTest, CategoriesFollowTheEncoder) {
  MCContVar v("x", "", IMCVariable::kInput);
  EXPECT_EQ(v.GetNBins(), -1);
  EXPECT_EQ(v.GetNumberOfCategories(), 0);
  MCContVar binned("x", "", std::vector<double>{1, 2, 3}, true, IMCVariable::kInput);
  binned.SetNBins(9);
  EXPECT_EQ(binned.GetNumberOfCategories(), 4);
  EXPECT_EQ(binned.UpdateNumberOfCategories(), 4);
  EXPECT_EQ(binned.GetNBins(), 4);
}

struct RangeStatus {
  double min, max;
  IMCVariable::VarStatus status;
};

class ContStatusTest : public ::testing::TestWithParam<RangeStatus> {};

TEST_P(ContStatusTest, FromTheRange) {
  MCContVar v("x", "", GetParam().min, GetParam().max, IMCVariable::kInput, false, 0);
  EXPECT_EQ(v.GetVarStatus(), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Ranges, ContStatusTest,
                         ::testing::Values(RangeStatus{0, 1, IMCVariable::kStatusOK},
                                           RangeStatus{2, 2, IMCVariable::kStatusConstant},
                                           RangeStatus{2, 1, IMCVariable::kStatusInvalid},
                                           RangeStatus{-kHighest, kHighest,
                                                       IMCVariable::kStatusOK}));

TEST(MCCatVarTest, CountNeverShrinksAndFollowsTheEncoder) {
  MCCatVar v("c", "", 0, IMCVariable::kNumericCategorical, IMCVariable::kInput, false);
  EXPECT_EQ(v.GetVarStatus(), IMCVariable::kStatusInvalid);
  v.GetEncoder()->Encode(4.0);
  EXPECT_EQ(v.GetNumberOfCategories(), 0);
  EXPECT_EQ(v.GetVarStatus(), IMCVariable::kStatusConstant);
  EXPECT_EQ(v.GetNumberOfCategories(), 1);
  v.GetEncoder()->Encode(5.0);
  v.GetEncoder()->Encode(6.0);
  EXPECT_EQ(v.UpdateNumberOfCategories(), 3);
  EXPECT_EQ(v.GetVarStatus(), IMCVariable::kStatusOK);
  v.SetNumberOfCategories(7);
  EXPECT_EQ(v.UpdateNumberOfCategories(), 7);

  v.ChangeEncoder(new MCStringEncoder(std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(v.GetNumberOfCategories(), 2);
  EXPECT_EQ(v.GetEncoder()->GetEncoderType(), IMCEncoder::kStringEncoder);
  MCCatVar s("s", "", 5, IMCVariable::kStringCategorical, IMCVariable::kTarget, true);
  EXPECT_EQ(s.GetEncoder()->GetEncoderType(), IMCEncoder::kStringEncoder);
  EXPECT_EQ(s.GetMeasureLevel(), IMCVariable::kStringCategorical);
}

TEST(MCWeightVarTest, RoleAndLevelAreFixed) {
  MCWeightVar w("w", "weight", IMCVariable::kRoundClosest);
  w.SetVariableRole(IMCVariable::kInput);
  w.SetMissingValueReplacement("1");
  EXPECT_EQ(w.GetVariableRole(), IMCVariable::kFrequencyWeightRole);
  EXPECT_EQ(w.GetMeasureLevel(), IMCVariable::kFrequencyWeightMeasure);
  EXPECT_EQ(w.GetMissingValueReplacement(), nullptr);
  EXPECT_EQ(w.GetVarStatus(), IMCVariable::kStatusOK);
  EXPECT_EQ(w.GetEncoder()->Encode(2.5), 3);
}

// Every variable kind, built with non-default state, for the shared tests below.
using Factory = std::function<IMCVariable*()>;

IMCVariable* NewDefaultCont() { return new MCContVar("plain", "", IMCVariable::kInput); }

IMCVariable* NewBinnedCont() {
  auto* v = new MCContVar("income", "Yearly income", 0, 1e5, IMCVariable::kTarget, true, 4);
  v->SetMean(41234.5678901234);
  v->SetStdDev(0.125);
  v->SetVariableStorage(IMCVariable::kRealStorage);
  v->SetMissingValueReplacement("0");
  v->GetEncoder()->SetMissingInterval(-1e9, -1);
  return v;
}

IMCVariable* NewNumCat() {
  auto* v = new MCCatVar("grade", "Grade", 0, IMCVariable::kNumericCategorical,
                         IMCVariable::kTargetResponse, true);
  for (double x : {3.0, 1.0, 2.0}) v->GetEncoder()->Encode(x);
  v->GetEncoder()->SetValueLabels({"high", "low", "mid"});
  v->GetEncoder()->AddDiscreteUserMissing(9, "unknown");
  v->GetEncoder()->SetMissingInterval(90, 99);
  v->SetVariableStorage(IMCVariable::kIntegerStorage);
  v->UpdateNumberOfCategories();
  return v;
}

IMCVariable* NewStringCat() {
  auto* v =
      new MCCatVar("city", "", 4, IMCVariable::kStringCategorical, IMCVariable::kInput, false);
  for (const char* s : {"Oslo", "Lima", "Rome"}) v->GetEncoder()->Encode(std::string(s));
  v->GetEncoder()->AddDiscreteUserMissing(std::string("-"), "none");
  v->SetMissingValueReplacement("Oslo");
  return v;
}

IMCVariable* NewWeight() {
  auto* v = new MCWeightVar("w", "Case weight", IMCVariable::kTruncate);
  v->GetEncoder()->AddDiscreteUserMissing(500, "cap");
  v->SetVariableStorage(IMCVariable::kIntegerStorage);
  return v;
}

void ExpectSameVariable(const IMCVariable& a, const IMCVariable& b) {
  EXPECT_EQ(a.GetMeasureLevel(), b.GetMeasureLevel());
  EXPECT_EQ(a.GetVariableName(), b.GetVariableName());
  EXPECT_EQ(a.GetVariableLabel(), b.GetVariableLabel());
  EXPECT_EQ(a.GetNumberOfCategories(), b.GetNumberOfCategories());
  EXPECT_EQ(a.GetVariableStorage(), b.GetVariableStorage());
  ASSERT_EQ(a.GetMissingValueReplacement() == nullptr, b.GetMissingValueReplacement() == nullptr);
  if (a.GetMissingValueReplacement() != nullptr) {
    EXPECT_EQ(*a.GetMissingValueReplacement(), *b.GetMissingValueReplacement());
  }
  ASSERT_EQ(a.GetEncoder() == nullptr, b.GetEncoder() == nullptr);
  if (a.GetEncoder() != nullptr) ExpectSameEncoder(*a.GetEncoder(), *b.GetEncoder());
  const auto* ca = dynamic_cast<const MCContVar*>(&a);
  if (ca != nullptr) {
    const auto& cb = dynamic_cast<const MCContVar&>(b);
    EXPECT_EQ(ca->GetNBins(), cb.GetNBins());
    EXPECT_EQ(ca->GetMin(), cb.GetMin());
    EXPECT_EQ(ca->GetMax(), cb.GetMax());
    EXPECT_EQ(ca->GetMean(), cb.GetMean());
    EXPECT_EQ(ca->GetStdDev(), cb.GetStdDev());
  }
  const auto* cata = dynamic_cast<const MCCatVar*>(&a);
  if (cata != nullptr) {
    EXPECT_EQ(cata->GetOrdinalFlag(), dynamic_cast<const MCCatVar&>(b).GetOrdinalFlag());
    EXPECT_EQ(a.GetVariableRole(), b.GetVariableRole());
  }
}

// A reader of the same class as the written variable, in a different state.
IMCVariable* NewReaderFor(const IMCVariable& v) {
  switch (v.GetMeasureLevel()) {
    case IMCVariable::kContinuous:
      return new MCContVar("?", "?", IMCVariable::kPossibleInput);
    case IMCVariable::kFrequencyWeightMeasure:
      return new MCWeightVar("?", "?", IMCVariable::kAsIs);
    default:
      return new MCCatVar("?", "?", 0, IMCVariable::kNumericCategorical, IMCVariable::kInput,
                          false);
  }
}

class VariableTest : public ::testing::TestWithParam<Factory> {
 protected:
  std::unique_ptr<IMCVariable> v_{GetParam()()};
};

TEST_P(VariableTest, StreamRoundTrip) {
  std::ostringstream os;
  const int lines = v_->WriteObjectXML(os, 1);
  EXPECT_EQ(lines, metadata_test::CountLines(os.str()));
  std::unique_ptr<IMCVariable> read(NewReaderFor(*v_));
  read->SetMissingValueReplacement("stale");  // a replacement not written must not survive
  std::istringstream is(os.str());
  EXPECT_EQ(read->ReadObjectXML(is), lines);
  ExpectSameVariable(*v_, *read);
  if (v_->GetMeasureLevel() == IMCVariable::kContinuous) {
    EXPECT_EQ(read->GetVariableRole(), IMCVariable::kPossibleInput);  // roles are not written
  }
}

TEST_P(VariableTest, ClonesAreIndependent) {
  std::unique_ptr<IMCVariable> clone(v_->Clone());
  ExpectSameVariable(*v_, *clone);
  EXPECT_NE(clone->GetEncoder(), v_->GetEncoder());
  const int categories = v_->GetEncoder()->GetNumberOfCategories();
  clone->GetEncoder()->Encode(12345.0);
  clone->GetEncoder()->Encode(std::string("new"));
  clone->SetVariableLabel("changed");
  EXPECT_EQ(v_->GetEncoder()->GetNumberOfCategories(), categories);
  EXPECT_NE(v_->GetVariableLabel(), "changed");
}

TEST_P(VariableTest, TruncatedStreamsFail) {
  std::ostringstream os;
  v_->WriteObjectXML(os, 0);
  const std::string full = os.str();
  const std::string message =
      "Failure reading " +
      std::string(v_->GetMeasureLevel() == IMCVariable::kContinuous ? "MCContVar"
                  : v_->GetMeasureLevel() == 4                      ? "MCWeightVar"
                                                                    : "MCCatVar") +
      "!\n";
  // Cut after the start line and one value: the variable's own reader fails.
  const std::size_t cut = full.find('\n', full.find('\n', 1) + 1);
  std::unique_ptr<IMCVariable> read(NewReaderFor(*v_));
  std::istringstream is(full.substr(0, cut));
  ExpectReadFailure([&] { read->ReadObjectXML(is); }, message);
  // Without the final end line.
  std::istringstream noEnd(full.substr(0, full.rfind('\n')));
  ExpectReadFailure([&] { read->ReadObjectXML(noEnd); }, message);
}

INSTANTIATE_TEST_SUITE_P(Kinds, VariableTest,
                         ::testing::Values(NewDefaultCont, NewBinnedCont, NewNumCat, NewStringCat,
                                           NewWeight));

TEST(VariableStreamTest, ContVarWithoutEncoder) {
  const std::string text =
      "\n<Obj name=\"MCContVar\">\n<String value=\"a\"/>\n<String value=\"\"/>"
      "\n<Int value=\"2\"/>\n<Double value=\"0\"/>\n<Double value=\"1\"/>\n<Double "
      "value=\"Missing\"/>\n<Double value=\"Missing\"/>\n<Int value=\"0\"/>\n<Int value=\"0\"/>";
  MCContVar v("x", "", IMCVariable::kInput);
  std::istringstream is(text + "\n<Int value=\"0\"/>\n</Obj>");
  EXPECT_EQ(v.ReadObjectXML(is), 12);
  EXPECT_EQ(v.GetEncoder(), nullptr);
  EXPECT_EQ(v.GetNumberOfCategories(), 2);
  EXPECT_EQ(v.UpdateNumberOfCategories(), 2);

  std::ostringstream os;
  EXPECT_EQ(v.WriteObjectXML(os, 0), 12);
  std::unique_ptr<IMCVariable> clone(v.Clone());
  EXPECT_EQ(clone->GetEncoder(), nullptr);

  std::istringstream wrongType(text + "\n<Int value=\"2\"/>\n</Obj>");
  testing::internal::CaptureStdout();
  ExpectReadFailure([&] { v.ReadObjectXML(wrongType); }, "Failure reading MCContVar!\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Wrong encoder type in MCContVar!\n");
}

TEST(VariableStreamTest, FailuresOfNestedAndMalformedElements) {
  MCCatVar cat("c", "", 0, IMCVariable::kNumericCategorical, IMCVariable::kInput, false);
  std::ostringstream os;
  cat.WriteObjectXML(os, 0);
  std::string text = os.str();
  // Encoder type 0 is not allowed for a categorical variable.
  std::string noEncoder = text.substr(0, text.find("\n\t<Obj")) + "\n</Obj>";
  noEncoder.replace(noEncoder.rfind("value=\"2\""), 9, "value=\"0\"");
  std::istringstream is(noEncoder);
  ExpectReadFailure([&] { cat.ReadObjectXML(is); }, "Failure reading MCCatVar!\n");

  // A broken encoder reports with its own message only.
  std::string badEncoder = text;
  badEncoder.replace(badEncoder.find("MCCatNumEncoder"), 15, "MCCatNumEncodeR");
  std::istringstream is2(badEncoder);
  ExpectReadFailure([&] { cat.ReadObjectXML(is2); }, "Failure reading MCCatNumEncoder!\n");

  // A name too long for a line of the stream is not written (the stream fails), and such a
  // line is not read.
  const std::string longName(MCCommonXML::XMLObj::kMaxLineLength, 'n');
  MCWeightVar w(longName, "", IMCVariable::kAsIs);
  std::ostringstream wos;
  w.WriteObjectXML(wos, 0);
  EXPECT_TRUE(wos.fail());
  std::istringstream is3("\n<Obj name=\"MCWeightVar\">\n\t<String value=\"" + longName + "\"/>");
  ExpectReadFailure([&] { w.ReadObjectXML(is3); }, "Failure reading MCWeightVar!\n");

  std::istringstream is4("\n<Obj name=\"MCWeightVar\">");
  ExpectReadFailure([&] { cat.ReadObjectXML(is4); }, "Failure reading MCCatVar!\n");
}

}  // namespace
