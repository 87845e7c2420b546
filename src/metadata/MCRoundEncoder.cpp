#include <cmath>

#include "IMCEncoder.h"
#include "MCComponentDisplay.h"
#include "MCMV.h"
#include "MetadataStream.h"

namespace MCCommonMetadata {

using MCCommon::MCComponentDisplay;

namespace {

constexpr const char kObjectName[] = "MCRoundEncoder";
constexpr const char kFailure[] = "Failure reading MCRoundEncoder from XML!\n";

}  // namespace

double MCRoundEncoder::Encode(const std::string& /*value*/) { return MCMV::Missing(); }
double MCRoundEncoder::Encode(double value) { return EncodeConst(value); }
double MCRoundEncoder::EncodeConst(const std::string& /*value*/) const { return MCMV::Missing(); }

double MCRoundEncoder::EncodeConst(double value) const {
  if (IsMissing(value)) return MCMV::Missing();
  double y = value;
  if (fOption == IMCVariable::kTruncate) {
    y = std::floor(value);
  } else if (fOption == IMCVariable::kRoundClosest) {
    y = std::floor(value + 0.5);
  }
  // Also catches NaN, which no comparison lets through.
  return y > 0 ? y : MCMV::Missing();
}

bool MCRoundEncoder::IsMissing(const std::string& /*value*/) const { return true; }

bool MCRoundEncoder::IsMissing(double value) const {
  return value <= 0 || fUserMissing.IsMissing(value);
}

std::string MCRoundEncoder::Decode(int /*code*/) const { return std::string(); }
double MCRoundEncoder::DecodeNum(int /*code*/) const { return MCMV::Missing(); }

IMCEncoder* MCRoundEncoder::Clone() const { return new MCRoundEncoder(*this); }

void MCRoundEncoder::SetValueLabels(const std::vector<std::string>& /*labels*/) {}
void MCRoundEncoder::SetValueLabel(int /*code*/, const std::string& /*label*/) {}

bool MCRoundEncoder::AddDiscreteUserMissing(double value, const std::string& label) {
  fUserMissing.AddDiscrete(value, label);
  return true;
}

bool MCRoundEncoder::AddDiscreteUserMissing(const std::string& /*value*/,
                                            const std::string& /*label*/) {
  return false;
}

bool MCRoundEncoder::SetMissingInterval(double low, double high) {
  return fUserMissing.SetInterval(low, high);
}

const std::vector<std::string>* MCRoundEncoder::GetValueLabels() const { return nullptr; }
const std::vector<double>* MCRoundEncoder::GetDiscreteMissValues() const {
  return &fUserMissing.GetValues();
}
const std::vector<std::string>* MCRoundEncoder::GetDiscreteMissValuesStr() const { return nullptr; }
const std::vector<std::string>* MCRoundEncoder::GetMissValueLabels() const {
  return &fUserMissing.GetLabels();
}
bool MCRoundEncoder::GetMissingInterval(double& low, double& high) const {
  return fUserMissing.GetInterval(low, high);
}

int MCRoundEncoder::WriteObjectXML(std::ostream& os, int tabs) const {
  internal::ObjWriter w(os, kObjectName, tabs);
  w.Put(static_cast<int>(fOption));
  internal::WriteUserMissing(w, fUserMissing);
  return w.End();
}

int MCRoundEncoder::ReadObjectXML(std::istream& is) {
  internal::ObjReader r(is, kFailure);
  r.Start(kObjectName);
  // Any option is kept: values other than 0 and 1 leave weights as they are.
  fOption = static_cast<IMCVariable::WRoundingOption>(r.GetInt());
  internal::ReadUserMissing(r, fUserMissing);
  return r.End();
}

void MCRoundEncoder::Display() const {
  MCComponentDisplay::DisplayText(1, "MCRoundEncoder display start");
  MCComponentDisplay::DisplayS("Encoder type", EncoderTypeWord(GetEncoderType()));
  MCComponentDisplay::DisplayS("Rounding option", IMCVariable::RoundingOptionWord(fOption));
  fUserMissing.Display();
  MCComponentDisplay::DisplayText(1, "MCRoundEncoder display end");
}

}  // namespace MCCommonMetadata
