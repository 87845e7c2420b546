#ifndef MCSTAT_IMCENCODER_H_
#define MCSTAT_IMCENCODER_H_

#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "IMCVariable.h"
#include "MCBinningEncoder.h"
#include "MCMV.h"
#include "mcstat_export.h"

namespace MCCommonMetadata {

// Turns raw values of one variable into model values, tells whether a raw value is
// missing and turns category codes back into values. Category codes are 0-based and handed
// out in the order values are first seen. A missing raw value encodes to -1 in the
// categorical encoders and to the system-missing value in the continuous and weight ones.
//
// Readers (ReadObjectXML) print "Failure reading <class>!\n" on standard error and throw a
// new IOException* on a wrong object name, a missing or malformed line or a stream error.
class MCSTAT_EXPORT IMCEncoder {
 public:
  enum EncoderType : int {
    kUnknownEncoder = 0,
    kContEncoder = 1,
    kCatNumEncoder = 2,
    kStringEncoder = 3,
    kRoundEncoder = 4
  };

  virtual ~IMCEncoder();

  virtual EncoderType GetEncoderType() const = 0;
  virtual int GetNumberOfCategories() const = 0;
  // Encode may learn a new category; EncodeConst never changes the encoder.
  virtual double Encode(const std::string& value) = 0;
  virtual double Encode(double value) = 0;
  virtual double EncodeConst(const std::string& value) const = 0;
  virtual double EncodeConst(double value) const = 0;
  virtual bool IsMissing(const std::string& value) const = 0;
  virtual bool IsMissing(double value) const = 0;
  // The category of a code as text; empty for a code out of range or a non-categorical
  // encoder.
  virtual std::string Decode(int code) const = 0;
  // The numeric category of a code; the system-missing value when there is none.
  virtual double DecodeNum(int code) const = 0;
  // A heap copy owned by the caller.
  virtual IMCEncoder* Clone() const = 0;
  // Value labels, indexed by code (categorical encoders only; others ignore them).
  virtual void SetValueLabels(const std::vector<std::string>& labels) = 0;
  // Grows the labels with empty strings to the number of categories, then sets the label
  // of code when 0 <= code < number of categories.
  virtual void SetValueLabel(int code, const std::string& label) = 0;
  // Appends a discrete user-missing value and its label; false when the encoder does not
  // take values of that kind.
  virtual bool AddDiscreteUserMissing(double value, const std::string& label) = 0;
  virtual bool AddDiscreteUserMissing(const std::string& value, const std::string& label) = 0;
  // Sets the missing interval [low, high]; false, changing nothing, unless low < high and
  // no interval is set yet (an interval is never replaced).
  virtual bool SetMissingInterval(double low, double high) = 0;
  // Pointers into the encoder, or null when the encoder has no such list.
  virtual const std::vector<std::string>* GetValueLabels() const = 0;
  virtual const std::vector<double>* GetDiscreteMissValues() const = 0;
  virtual const std::vector<std::string>* GetDiscreteMissValuesStr() const = 0;
  virtual const std::vector<std::string>* GetMissValueLabels() const = 0;
  // The interval's ends; false, leaving low and high alone, when none is set.
  virtual bool GetMissingInterval(double& low, double& high) const = 0;
  // One object-stream object at depth tabs; returns the number of lines written. Category
  // values, missing values and interval ends are written exactly (they read back as the
  // same doubles). A text too long for a line of the stream leaves os failed (XMLObj).
  virtual int WriteObjectXML(std::ostream& os, int tabs) const = 0;
  // Reads the object written by WriteObjectXML; returns the number of lines consumed.
  virtual int ReadObjectXML(std::istream& is) = 0;
  // Writes the fields to the diagnostic stream.
  virtual void Display() const = 0;

  // The display word of an encoder type; "Unrecognized encoder type" outside 0 ... 4.
  static const char* EncoderTypeWord(int type);

 protected:
  IMCEncoder() = default;
  IMCEncoder(const IMCEncoder&) = default;
  IMCEncoder& operator=(const IMCEncoder&) = default;
};

// The user-missing definition of a numeric encoder: discrete values with their labels and
// at most one closed interval.
class MCSTAT_EXPORT MCUserMissing {
 public:
  // True for the system-missing value, a value inside the interval (ends included) and a
  // value equal to one of the discrete values.
  bool IsMissing(double x) const;
  void AddDiscrete(double value, const std::string& label);
  // See IMCEncoder::SetMissingInterval.
  bool SetInterval(double low, double high);
  bool GetInterval(double& low, double& high) const;
  bool HasInterval() const { return fbHasInterval; }
  const std::vector<double>& GetValues() const { return fvDiscreteMiss; }
  const std::vector<std::string>& GetLabels() const { return fvMissLabels; }
  // Back to no values and no interval.
  void Clear();
  void Display() const;

  bool operator==(const MCUserMissing& other) const;
  bool operator!=(const MCUserMissing& other) const { return !(*this == other); }

 private:
  std::vector<double> fvDiscreteMiss;
  std::vector<std::string> fvMissLabels;
  bool fbHasInterval = false;
  double fIntervalLow = MCMV::Missing();
  double fIntervalHigh = MCMV::Missing();
};

// Continuous values, passed through unchanged unless missing, with an optional binning.
// Object stream: Int bins; the user-missing block (Int has interval, [Double low, Double
// high], Int m, m Double values, m String labels). The binning is not written; reading
// drops it and keeps the bin count read.
class MCSTAT_EXPORT MCContEncoder : public IMCEncoder {
 public:
  // No binning, 0 bins.
  MCContEncoder() = default;
  // nBins equal-width bins over [min, max].
  MCContEncoder(double min, double max, int nBins);
  // Bins between the given cut points.
  explicit MCContEncoder(const std::vector<double>& cuts);
  MCContEncoder(const MCContEncoder& other);
  MCContEncoder& operator=(const MCContEncoder& other);
  ~MCContEncoder() override;

  EncoderType GetEncoderType() const override { return kContEncoder; }
  // The binning's count when there is a binning, else the bin-count field.
  int GetNumberOfCategories() const override;
  double Encode(const std::string& value) override;
  double Encode(double value) override;
  double EncodeConst(const std::string& value) const override;
  double EncodeConst(double value) const override;
  bool IsMissing(const std::string& value) const override;
  bool IsMissing(double value) const override;
  std::string Decode(int code) const override;
  double DecodeNum(int code) const override;
  IMCEncoder* Clone() const override;
  void SetValueLabels(const std::vector<std::string>& labels) override;
  void SetValueLabel(int code, const std::string& label) override;
  bool AddDiscreteUserMissing(double value, const std::string& label) override;
  bool AddDiscreteUserMissing(const std::string& value, const std::string& label) override;
  bool SetMissingInterval(double low, double high) override;
  const std::vector<std::string>* GetValueLabels() const override;
  const std::vector<double>* GetDiscreteMissValues() const override;
  const std::vector<std::string>* GetDiscreteMissValuesStr() const override;
  const std::vector<std::string>* GetMissValueLabels() const override;
  bool GetMissingInterval(double& low, double& high) const override;
  int WriteObjectXML(std::ostream& os, int tabs) const override;
  int ReadObjectXML(std::istream& is) override;
  void Display() const override;

  // The binning, or null when there is none; it stays owned by the encoder.
  MCBinningEncoder* GetBinningEncoder() { return fpBinning.get(); }
  const MCBinningEncoder* GetBinningEncoder() const { return fpBinning.get(); }
  const MCUserMissing& GetUserMissing() const { return fUserMissing; }

 private:
  int fNBins = 0;
  MCUserMissing fUserMissing;
  std::unique_ptr<MCBinningEncoder> fpBinning;
};

// Categories with numeric values. Object stream: Int n, n Double values in code order,
// Int l, l String labels, then the user-missing block.
class MCSTAT_EXPORT MCCatNumEncoder : public IMCEncoder {
 public:
  // Empty, with room for n values.
  explicit MCCatNumEncoder(int n = 0);
  // Encodes each value in order.
  explicit MCCatNumEncoder(const std::vector<double>& values);

  EncoderType GetEncoderType() const override { return kCatNumEncoder; }
  int GetNumberOfCategories() const override;
  double Encode(const std::string& value) override;
  // The code of value, a new code for an unseen one; -1 when value is missing or NaN.
  double Encode(double value) override;
  double EncodeConst(const std::string& value) const override;
  // The code of value; -1 when it is missing or unknown.
  double EncodeConst(double value) const override;
  bool IsMissing(const std::string& value) const override;
  bool IsMissing(double value) const override;
  // The value formatted in the classic locale with 15 significant digits.
  std::string Decode(int code) const override;
  double DecodeNum(int code) const override;
  IMCEncoder* Clone() const override;
  void SetValueLabels(const std::vector<std::string>& labels) override;
  void SetValueLabel(int code, const std::string& label) override;
  bool AddDiscreteUserMissing(double value, const std::string& label) override;
  bool AddDiscreteUserMissing(const std::string& value, const std::string& label) override;
  bool SetMissingInterval(double low, double high) override;
  const std::vector<std::string>* GetValueLabels() const override;
  const std::vector<double>* GetDiscreteMissValues() const override;
  const std::vector<std::string>* GetDiscreteMissValuesStr() const override;
  const std::vector<std::string>* GetMissValueLabels() const override;
  bool GetMissingInterval(double& low, double& high) const override;
  int WriteObjectXML(std::ostream& os, int tabs) const override;
  int ReadObjectXML(std::istream& is) override;
  void Display() const override;

  // The category values in code order.
  const std::vector<double>& GetCategoryValues() const { return fvValues; }
  const MCUserMissing& GetUserMissing() const { return fUserMissing; }

 private:
  std::map<double, int> fValueCodes;
  std::vector<double> fvValues;
  std::vector<std::string> fvValueLabels;
  int fLastCode = -1;
  MCUserMissing fUserMissing;
};

// Categories with string values; the only missing strings are the discrete ones added.
// Object stream: Int n, n String categories in code order, Int l, l String labels, Int m,
// m String missing strings, m String labels.
class MCSTAT_EXPORT MCStringEncoder : public IMCEncoder {
 public:
  explicit MCStringEncoder(int n = 0);
  explicit MCStringEncoder(const std::vector<std::string>& values);
  MCStringEncoder(const MCStringEncoder& other);
  MCStringEncoder& operator=(const MCStringEncoder& other);
  ~MCStringEncoder() override;

  EncoderType GetEncoderType() const override { return kStringEncoder; }
  int GetNumberOfCategories() const override;
  // The code of value, a new code for an unseen one; -1 for a missing string.
  double Encode(const std::string& value) override;
  double Encode(double value) override;
  double EncodeConst(const std::string& value) const override;
  double EncodeConst(double value) const override;
  bool IsMissing(const std::string& value) const override;
  bool IsMissing(double value) const override;
  std::string Decode(int code) const override;
  double DecodeNum(int code) const override;
  IMCEncoder* Clone() const override;
  void SetValueLabels(const std::vector<std::string>& labels) override;
  void SetValueLabel(int code, const std::string& label) override;
  bool AddDiscreteUserMissing(double value, const std::string& label) override;
  bool AddDiscreteUserMissing(const std::string& value, const std::string& label) override;
  bool SetMissingInterval(double low, double high) override;
  const std::vector<std::string>* GetValueLabels() const override;
  const std::vector<double>* GetDiscreteMissValues() const override;
  const std::vector<std::string>* GetDiscreteMissValuesStr() const override;
  const std::vector<std::string>* GetMissValueLabels() const override;
  bool GetMissingInterval(double& low, double& high) const override;
  int WriteObjectXML(std::ostream& os, int tabs) const override;
  int ReadObjectXML(std::istream& is) override;
  void Display() const override;

 private:
  using CodeMap = std::map<std::string, int>;
  // Points every code at its map key again (after a copy or a read).
  void RebuildLinks();

  CodeMap fValueCodes;
  std::vector<CodeMap::const_iterator> fvLinks;
  std::vector<std::string> fvValueLabels;
  int fLastCode = -1;
  std::vector<std::string> fvMissStrings;
  std::vector<std::string> fvMissLabels;
};

// Frequency weights, made integral by the rounding option. A weight is missing when it is
// user-missing or not positive. Object stream: Int option, then the user-missing block.
class MCSTAT_EXPORT MCRoundEncoder : public IMCEncoder {
 public:
  MCRoundEncoder() = default;
  explicit MCRoundEncoder(IMCVariable::WRoundingOption option) : fOption(option) {}

  EncoderType GetEncoderType() const override { return kRoundEncoder; }
  int GetNumberOfCategories() const override { return 0; }
  double Encode(const std::string& value) override;
  double Encode(double value) override;
  double EncodeConst(const std::string& value) const override;
  // The rounded weight (0: floor, 1: floor(x + 0.5), anything else: unchanged) when it is
  // positive, otherwise, and for a missing weight, the system-missing value.
  double EncodeConst(double value) const override;
  bool IsMissing(const std::string& value) const override;
  bool IsMissing(double value) const override;
  std::string Decode(int code) const override;
  double DecodeNum(int code) const override;
  IMCEncoder* Clone() const override;
  void SetValueLabels(const std::vector<std::string>& labels) override;
  void SetValueLabel(int code, const std::string& label) override;
  bool AddDiscreteUserMissing(double value, const std::string& label) override;
  bool AddDiscreteUserMissing(const std::string& value, const std::string& label) override;
  bool SetMissingInterval(double low, double high) override;
  const std::vector<std::string>* GetValueLabels() const override;
  const std::vector<double>* GetDiscreteMissValues() const override;
  const std::vector<std::string>* GetDiscreteMissValuesStr() const override;
  const std::vector<std::string>* GetMissValueLabels() const override;
  bool GetMissingInterval(double& low, double& high) const override;
  int WriteObjectXML(std::ostream& os, int tabs) const override;
  int ReadObjectXML(std::istream& is) override;
  void Display() const override;

  IMCVariable::WRoundingOption GetRoundingOption() const { return fOption; }
  const MCUserMissing& GetUserMissing() const { return fUserMissing; }

 private:
  IMCVariable::WRoundingOption fOption = IMCVariable::kAsIs;
  MCUserMissing fUserMissing;
};

}  // namespace MCCommonMetadata

#endif  // MCSTAT_IMCENCODER_H_
