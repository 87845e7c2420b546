#include <cmath>

#include "IMCEncoder.h"
#include "MCComponentDisplay.h"
#include "MCMV.h"
#include "MetadataStream.h"
#include "XMLElement.h"

namespace MCCommonMetadata {

using MCCommon::MCComponentDisplay;

namespace {

constexpr const char kObjectName[] = "MCCatNumEncoder";
constexpr const char kFailure[] = "Failure reading MCCatNumEncoder!\n";

}  // namespace

MCCatNumEncoder::MCCatNumEncoder(int n) {
  if (n > 0) fvValues.reserve(static_cast<std::size_t>(n));
}

MCCatNumEncoder::MCCatNumEncoder(const std::vector<double>& values) {
  fvValues.reserve(values.size());
  for (double v : values) Encode(v);
}

int MCCatNumEncoder::GetNumberOfCategories() const { return static_cast<int>(fValueCodes.size()); }

double MCCatNumEncoder::Encode(const std::string& /*value*/) { return -1.0; }

double MCCatNumEncoder::Encode(double value) {
  // NaN cannot be ordered in the map, so it never becomes a category.
  if (IsMissing(value) || std::isnan(value)) return -1.0;
  const auto found = fValueCodes.find(value);
  if (found != fValueCodes.end()) return found->second;
  ++fLastCode;
  fValueCodes.emplace(value, fLastCode);
  fvValues.push_back(value);
  return fLastCode;
}

double MCCatNumEncoder::EncodeConst(const std::string& /*value*/) const { return -1.0; }

double MCCatNumEncoder::EncodeConst(double value) const {
  if (IsMissing(value) || std::isnan(value)) return -1.0;
  const auto found = fValueCodes.find(value);
  return found != fValueCodes.end() ? found->second : -1.0;
}

bool MCCatNumEncoder::IsMissing(const std::string& /*value*/) const { return true; }
bool MCCatNumEncoder::IsMissing(double value) const { return fUserMissing.IsMissing(value); }

std::string MCCatNumEncoder::Decode(int code) const {
  if (code < 0 || code >= static_cast<int>(fvValues.size())) return std::string();
  return MCCommonXML::ReplaceSep(fvValues[static_cast<std::size_t>(code)]);
}

double MCCatNumEncoder::DecodeNum(int code) const {
  if (code < 0 || code >= static_cast<int>(fvValues.size())) return MCMV::Missing();
  return fvValues[static_cast<std::size_t>(code)];
}

IMCEncoder* MCCatNumEncoder::Clone() const { return new MCCatNumEncoder(*this); }

void MCCatNumEncoder::SetValueLabels(const std::vector<std::string>& labels) {
  fvValueLabels = labels;
}

void MCCatNumEncoder::SetValueLabel(int code, const std::string& label) {
  const int n = GetNumberOfCategories();
  if (static_cast<int>(fvValueLabels.size()) < n) fvValueLabels.resize(static_cast<std::size_t>(n));
  if (code >= 0 && code < n) fvValueLabels[static_cast<std::size_t>(code)] = label;
}

bool MCCatNumEncoder::AddDiscreteUserMissing(double value, const std::string& label) {
  fUserMissing.AddDiscrete(value, label);
  return true;
}

bool MCCatNumEncoder::AddDiscreteUserMissing(const std::string& /*value*/,
                                             const std::string& /*label*/) {
  return false;
}

bool MCCatNumEncoder::SetMissingInterval(double low, double high) {
  return fUserMissing.SetInterval(low, high);
}

const std::vector<std::string>* MCCatNumEncoder::GetValueLabels() const { return &fvValueLabels; }
const std::vector<double>* MCCatNumEncoder::GetDiscreteMissValues() const {
  return &fUserMissing.GetValues();
}
const std::vector<std::string>* MCCatNumEncoder::GetDiscreteMissValuesStr() const {
  return nullptr;
}
const std::vector<std::string>* MCCatNumEncoder::GetMissValueLabels() const {
  return &fUserMissing.GetLabels();
}
bool MCCatNumEncoder::GetMissingInterval(double& low, double& high) const {
  return fUserMissing.GetInterval(low, high);
}

int MCCatNumEncoder::WriteObjectXML(std::ostream& os, int tabs) const {
  internal::ObjWriter w(os, kObjectName, tabs);
  w.Put(static_cast<int>(fvValues.size()));
  for (double v : fvValues) w.PutExact(v);
  w.Put(static_cast<int>(fvValueLabels.size()));
  for (const std::string& s : fvValueLabels) w.Put(s);
  internal::WriteUserMissing(w, fUserMissing);
  return w.End();
}

int MCCatNumEncoder::ReadObjectXML(std::istream& is) {
  internal::ObjReader r(is, kFailure);
  r.Start(kObjectName);
  fValueCodes.clear();
  fvValues.clear();
  fvValueLabels.clear();
  fLastCode = -1;
  const int n = r.GetCount();
  for (int k = 0; k < n; ++k) {
    const double v = r.GetDouble();
    // NaN cannot be ordered in the map and is never a category. The k-th value must get
    // code k, so a repeated value cannot be accepted either.
    if (std::isnan(v) || !fValueCodes.emplace(v, k).second) r.Fail();
    fvValues.push_back(v);
    fLastCode = k;
  }
  const int l = r.GetCount();
  for (int k = 0; k < l; ++k) fvValueLabels.push_back(r.GetString());
  internal::ReadUserMissing(r, fUserMissing);
  return r.End();
}

void MCCatNumEncoder::Display() const {
  MCComponentDisplay::DisplayText(1, "MCCatNumEncoder display start");
  MCComponentDisplay::DisplayS("Encoder type", EncoderTypeWord(GetEncoderType()));
  MCComponentDisplay::DisplayI("Number of categories", GetNumberOfCategories());
  MCComponentDisplay::DisplayDV("Category values", fvValues);
  MCComponentDisplay::DisplaySV("Value labels", fvValueLabels);
  fUserMissing.Display();
  MCComponentDisplay::DisplayText(1, "MCCatNumEncoder display end");
}

}  // namespace MCCommonMetadata
