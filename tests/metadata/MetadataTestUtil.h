#ifndef MCSTAT_TESTS_METADATA_METADATATESTUTIL_H_
#define MCSTAT_TESTS_METADATA_METADATATESTUTIL_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "IMCEncoder.h"
#include "IOException.h"

namespace metadata_test {

// Runs read, which must print exactly message on standard error and throw a new
// IOException*; the exception is deleted here.
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

// Everything an encoder shows through its interface.
inline void ExpectSameEncoder(const MCCommonMetadata::IMCEncoder& a,
                              const MCCommonMetadata::IMCEncoder& b) {
  ASSERT_EQ(a.GetEncoderType(), b.GetEncoderType());
  ASSERT_EQ(a.GetNumberOfCategories(), b.GetNumberOfCategories());
  for (int code = 0; code < a.GetNumberOfCategories(); ++code) {
    EXPECT_EQ(a.Decode(code), b.Decode(code)) << "code " << code;
    const double x = a.DecodeNum(code);
    EXPECT_TRUE(SameDouble(x, b.DecodeNum(code))) << "code " << code << ": " << x;
    EXPECT_EQ(b.EncodeConst(a.Decode(code)), a.EncodeConst(a.Decode(code)));
    EXPECT_EQ(b.EncodeConst(x), a.EncodeConst(x));
  }
  EXPECT_EQ(a.GetValueLabels() == nullptr, b.GetValueLabels() == nullptr);
  EXPECT_EQ(OrEmpty(a.GetValueLabels()), OrEmpty(b.GetValueLabels()));
  ExpectSameDoubles(OrEmpty(a.GetDiscreteMissValues()), OrEmpty(b.GetDiscreteMissValues()));
  EXPECT_EQ(OrEmpty(a.GetDiscreteMissValuesStr()), OrEmpty(b.GetDiscreteMissValuesStr()));
  EXPECT_EQ(OrEmpty(a.GetMissValueLabels()), OrEmpty(b.GetMissValueLabels()));
  double lowA = 0, highA = 0, lowB = 0, highB = 0;
  ASSERT_EQ(a.GetMissingInterval(lowA, highA), b.GetMissingInterval(lowB, highB));
  if (a.GetMissingInterval(lowA, highA)) {
    b.GetMissingInterval(lowB, highB);
    EXPECT_TRUE(SameDouble(lowA, lowB) && SameDouble(highA, highB)) << lowA << " " << highA;
  }
}

}  // namespace metadata_test

#endif  // MCSTAT_TESTS_METADATA_METADATATESTUTIL_H_
