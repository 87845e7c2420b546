#include "IMCEncoder.h"
#include "MCComponentDisplay.h"
#include "MCMV.h"
#include "MetadataStream.h"

namespace MCCommonMetadata {

using MCCommon::MCComponentDisplay;

namespace {

constexpr const char kObjectName[] = "MCContEncoder";
constexpr const char kFailure[] = "Failure reading MCContEncoder!\n";

}  // namespace

MCContEncoder::MCContEncoder(double min, double max, int nBins)
    : fNBins(nBins), fpBinning(new MCBinningEncoder(min, max, nBins)) {}

MCContEncoder::MCContEncoder(const std::vector<double>& cuts)
    : fNBins(static_cast<int>(cuts.size()) + 1), fpBinning(new MCBinningEncoder(cuts)) {}

MCContEncoder::MCContEncoder(const MCContEncoder& other)
    : IMCEncoder(other),
      fNBins(other.fNBins),
      fUserMissing(other.fUserMissing),
      fpBinning(other.fpBinning ? other.fpBinning->Clone() : nullptr) {}

MCContEncoder& MCContEncoder::operator=(const MCContEncoder& other) {
  if (this != &other) {
    fNBins = other.fNBins;
    fUserMissing = other.fUserMissing;
    fpBinning.reset(other.fpBinning ? other.fpBinning->Clone() : nullptr);
  }
  return *this;
}

MCContEncoder::~MCContEncoder() = default;

int MCContEncoder::GetNumberOfCategories() const {
  return fpBinning ? fpBinning->GetNumberOfCategories() : fNBins;
}

double MCContEncoder::Encode(const std::string& /*value*/) { return MCMV::Missing(); }
double MCContEncoder::Encode(double value) { return EncodeConst(value); }
double MCContEncoder::EncodeConst(const std::string& /*value*/) const { return MCMV::Missing(); }
double MCContEncoder::EncodeConst(double value) const {
  return IsMissing(value) ? MCMV::Missing() : value;
}

bool MCContEncoder::IsMissing(const std::string& /*value*/) const { return true; }
bool MCContEncoder::IsMissing(double value) const { return fUserMissing.IsMissing(value); }

std::string MCContEncoder::Decode(int /*code*/) const { return std::string(); }
double MCContEncoder::DecodeNum(int /*code*/) const { return MCMV::Missing(); }

IMCEncoder* MCContEncoder::Clone() const { return new MCContEncoder(*this); }

void MCContEncoder::SetValueLabels(const std::vector<std::string>& /*labels*/) {}
void MCContEncoder::SetValueLabel(int /*code*/, const std::string& /*label*/) {}

bool MCContEncoder::AddDiscreteUserMissing(double value, const std::string& label) {
  fUserMissing.AddDiscrete(value, label);
  return true;
}

bool MCContEncoder::AddDiscreteUserMissing(const std::string& /*value*/,
                                           const std::string& /*label*/) {
  return false;
}

bool MCContEncoder::SetMissingInterval(double low, double high) {
  return fUserMissing.SetInterval(low, high);
}

const std::vector<std::string>* MCContEncoder::GetValueLabels() const { return nullptr; }
const std::vector<double>* MCContEncoder::GetDiscreteMissValues() const {
  return &fUserMissing.GetValues();
}
const std::vector<std::string>* MCContEncoder::GetDiscreteMissValuesStr() const { return nullptr; }
const std::vector<std::string>* MCContEncoder::GetMissValueLabels() const {
  return &fUserMissing.GetLabels();
}
bool MCContEncoder::GetMissingInterval(double& low, double& high) const {
  return fUserMissing.GetInterval(low, high);
}

int MCContEncoder::WriteObjectXML(std::ostream& os, int tabs) const {
  internal::ObjWriter w(os, kObjectName, tabs);
  w.Put(fNBins);
  internal::WriteUserMissing(w, fUserMissing);
  return w.End();
}

int MCContEncoder::ReadObjectXML(std::istream& is) {
  internal::ObjReader r(is, kFailure);
  r.Start(kObjectName);
  // The cut points are not part of the stream, so a binning held before cannot be trusted
  // to match the bin count read.
  fpBinning.reset();
  fNBins = r.GetInt();
  internal::ReadUserMissing(r, fUserMissing);
  return r.End();
}

void MCContEncoder::Display() const {
  MCComponentDisplay::DisplayText(1, "MCContEncoder display start");
  MCComponentDisplay::DisplayS("Encoder type", EncoderTypeWord(GetEncoderType()));
  MCComponentDisplay::DisplayI("Number of bins", fNBins);
  fUserMissing.Display();
  if (fpBinning) {
    fpBinning->Display();
  } else {
    MCComponentDisplay::DisplayText(1, "Binning not set");
  }
  MCComponentDisplay::DisplayText(1, "MCContEncoder display end");
}

}  // namespace MCCommonMetadata
