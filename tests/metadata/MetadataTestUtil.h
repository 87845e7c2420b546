#ifndef MCSTAT_TESTS_METADATA_METADATATESTUTIL_H_
#define MCSTAT_TESTS_METADATA_METADATATESTUTIL_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "IMCEncoder.h"
#include "IOException.h"
#include "MCBinningEncoder.h"
#include "MCCatVar.h"
#include "MCContVar.h"
#include "MCVarList.h"

namespace metadata_test {

// read must print exactly message on standard error and throw a new IOException*.
template <class Read>
void ExpectReadFailure(Read read, const std::string& message) {
  testing::internal::CaptureStderr();
  bool thrown = false;
  try {
    read();
  } catch (MCCommonMetadata::IOException* e) {
    thrown = true;
    delete e;
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(thrown) << "no IOException for expected message " << message;
  EXPECT_EQ(err, message);
}

inline std::vector<int> Indexes(const MCCommonMetadata::MCVarList& l) {
  return {l.Size(),           l.GetNumContVar(),      l.GetNumCatVar(),
          l.GetTargetIndex(), l.GetTargetRespIndex(), l.GetFreqWeightIndex()};
}

inline int CountLines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

template <class T>
std::vector<T> OrEmpty(const std::vector<T>* v) {
  return v != nullptr ? *v : std::vector<T>();
}

// Equal as stored: the same value and sign, or both NaN.
inline bool SameDouble(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

inline void ExpectSameDoubles(const std::vector<double>& a, const std::vector<double>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t k = 0; k < a.size(); ++k) EXPECT_TRUE(SameDouble(a[k], b[k])) << a[k];
}

// A stream keeps no binning.
inline void ExpectSameEncoder(const MCCommonMetadata::IMCEncoder& a,
                              const MCCommonMetadata::IMCEncoder& b, bool streamed = false) {
  ASSERT_EQ(a.GetEncoderType(), b.GetEncoderType());
  ASSERT_EQ(a.GetNumberOfCategories(), b.GetNumberOfCategories());
  for (int code = 0; code < a.GetNumberOfCategories(); ++code) {
    EXPECT_EQ(a.Decode(code), b.Decode(code)) << "code " << code;
    const double x = a.DecodeNum(code);
    EXPECT_TRUE(SameDouble(x, b.DecodeNum(code))) << "code " << code << ": " << x;
    EXPECT_EQ(b.EncodeConst(a.Decode(code)), a.EncodeConst(a.Decode(code)));
    EXPECT_EQ(b.EncodeConst(x), a.EncodeConst(x));
  }
  for (double x : {2.5, 0.4, -1.0, 1e300}) EXPECT_EQ(b.EncodeConst(x), a.EncodeConst(x)) << x;
  EXPECT_EQ(a.GetValueLabels() == nullptr, b.GetValueLabels() == nullptr);
  EXPECT_EQ(OrEmpty(a.GetValueLabels()), OrEmpty(b.GetValueLabels()));
  ExpectSameDoubles(OrEmpty(a.GetDiscreteMissValues()), OrEmpty(b.GetDiscreteMissValues()));
  EXPECT_EQ(OrEmpty(a.GetDiscreteMissValuesStr()), OrEmpty(b.GetDiscreteMissValuesStr()));
  EXPECT_EQ(OrEmpty(a.GetMissValueLabels()), OrEmpty(b.GetMissValueLabels()));
  double lowA = 0, highA = 0, lowB = 0, highB = 0;
  ASSERT_EQ(a.GetMissingInterval(lowA, highA), b.GetMissingInterval(lowB, highB));
  EXPECT_TRUE(SameDouble(lowA, lowB) && SameDouble(highA, highB)) << lowA << " " << highA;
  const auto* ca = dynamic_cast<const MCCommonMetadata::MCContEncoder*>(&a);
  if (ca != nullptr && !streamed) {
    const auto* binA = ca->GetBinningEncoder();
    const auto* binB = dynamic_cast<const MCCommonMetadata::MCContEncoder&>(b).GetBinningEncoder();
    ASSERT_EQ(binA == nullptr, binB == nullptr);
    if (binA != nullptr)
      ExpectSameDoubles(binA->GetBinningCutpoints(), binB->GetBinningCutpoints());
  }
}

inline bool SameTo15Digits(double a, double b) {
  return SameDouble(a, b) || std::fabs(a - b) <= 1e-14 * std::fabs(a);
}

// A stream keeps summary numbers to 15 digits and no role of a continuous variable.
inline void ExpectSameVariable(const MCCommonMetadata::IMCVariable& a,
                               const MCCommonMetadata::IMCVariable& b, bool streamed = false) {
  using MCCommonMetadata::MCContVar;
  ASSERT_EQ(a.GetMeasureLevel(), b.GetMeasureLevel());
  EXPECT_EQ(a.GetVariableName(), b.GetVariableName());
  EXPECT_EQ(a.GetVariableLabel(), b.GetVariableLabel());
  EXPECT_EQ(a.GetNumberOfCategories(), b.GetNumberOfCategories());
  EXPECT_EQ(a.GetVariableStorage(), b.GetVariableStorage());
  const std::string* ra = a.GetMissingValueReplacement();
  const std::string* rb = b.GetMissingValueReplacement();
  EXPECT_EQ(ra != nullptr ? *ra : "<none>", rb != nullptr ? *rb : "<none>");
  ASSERT_EQ(a.GetEncoder() == nullptr, b.GetEncoder() == nullptr);
  if (a.GetEncoder() != nullptr) ExpectSameEncoder(*a.GetEncoder(), *b.GetEncoder(), streamed);
  if (const auto* ca = dynamic_cast<const MCContVar*>(&a)) {
    const auto& cb = dynamic_cast<const MCContVar&>(b);
    EXPECT_EQ(ca->GetNBins(), cb.GetNBins());
    if (!streamed) ExpectSameDoubles(ca->GetCutPoints(), cb.GetCutPoints());
    for (auto get :
         {&MCContVar::GetMin, &MCContVar::GetMax, &MCContVar::GetMean, &MCContVar::GetStdDev}) {
      const double x = (ca->*get)(), y = (cb.*get)();
      EXPECT_TRUE(streamed ? SameTo15Digits(x, y) : SameDouble(x, y)) << x << " " << y;
    }
    if (streamed) return;
  }
  EXPECT_EQ(a.GetVariableRole(), b.GetVariableRole());
  if (const auto* ca = dynamic_cast<const MCCommonMetadata::MCCatVar*>(&a)) {
    EXPECT_EQ(ca->GetOrdinalFlag(),
              dynamic_cast<const MCCommonMetadata::MCCatVar&>(b).GetOrdinalFlag());
  }
}

// A list of every kind of variable and role.
inline MCCommonMetadata::MCVarList SampleList() {
  using MCCommonMetadata::IMCVariable;
  MCCommonMetadata::MCVarList list;
  list.AddContVar("age", "Age in years", 0.0, 100.0, IMCVariable::kInput, true, 4);
  list.AddContVar("income", "", {10.0, 20.0}, false, IMCVariable::kPossibleInput);
  list.AddCatVar("grade", "Grade", std::vector<double>{3.0, 1.0, 2.0}, {"three", "one", "two"},
                 IMCVariable::kTarget);
  list.GetEncoderAt(2)->AddDiscreteUserMissing(9.0, "refused");
  list.GetEncoderAt(2)->SetMissingInterval(90.0, 99.0);
  list.AddCatVar("region", "Region", std::vector<std::string>{"north", "south"}, {"N", ""},
                 IMCVariable::kTargetResponse);
  list.GetEncoderAt(3)->AddDiscreteUserMissing("unknown", "not asked");
  list.SetWeightVar("w", "Weight", IMCVariable::kRoundClosest);
  list.AddCatVar("spare", "", 2, IMCVariable::kNumericCategorical, IMCVariable::kInput);
  list.SetVariableRole(5, IMCVariable::kUnusedRole);
  return list;
}

}  // namespace metadata_test

#endif  // MCSTAT_TESTS_METADATA_METADATATESTUTIL_H_
