#include <algorithm>

#include "IMCEncoder.h"
#include "MCComponentDisplay.h"
#include "MCMV.h"
#include "MetadataStream.h"

namespace MCCommonMetadata {

using MCCommon::MCComponentDisplay;

namespace {

constexpr const char kObjectName[] = "MCStringEncoder";
constexpr const char kFailure[] = "Failure reading MCStringEncoder!\n";

}  // namespace

MCStringEncoder::MCStringEncoder(int n) {
  if (n > 0) fvLinks.reserve(static_cast<std::size_t>(n));
}

MCStringEncoder::MCStringEncoder(const std::vector<std::string>& values) {
  fvLinks.reserve(values.size());
  for (const std::string& v : values) Encode(v);
}

MCStringEncoder::MCStringEncoder(const MCStringEncoder& other)
    : IMCEncoder(other),
      fValueCodes(other.fValueCodes),
      fvValueLabels(other.fvValueLabels),
      fLastCode(other.fLastCode),
      fvMissStrings(other.fvMissStrings),
      fvMissLabels(other.fvMissLabels) {
  RebuildLinks();
}

MCStringEncoder& MCStringEncoder::operator=(const MCStringEncoder& other) {
  if (this != &other) {
    fValueCodes = other.fValueCodes;
    fvValueLabels = other.fvValueLabels;
    fLastCode = other.fLastCode;
    fvMissStrings = other.fvMissStrings;
    fvMissLabels = other.fvMissLabels;
    RebuildLinks();
  }
  return *this;
}

MCStringEncoder::~MCStringEncoder() = default;

void MCStringEncoder::RebuildLinks() {
  fvLinks.assign(fValueCodes.size(), fValueCodes.end());
  for (auto it = fValueCodes.begin(); it != fValueCodes.end(); ++it) {
    fvLinks[static_cast<std::size_t>(it->second)] = it;
  }
}

int MCStringEncoder::GetNumberOfCategories() const { return fLastCode + 1; }

double MCStringEncoder::Encode(const std::string& value) {
  if (IsMissing(value)) return -1.0;
  const auto found = fValueCodes.find(value);
  if (found != fValueCodes.end()) return found->second;
  ++fLastCode;
  fvLinks.push_back(fValueCodes.emplace(value, fLastCode).first);
  return fLastCode;
}

double MCStringEncoder::Encode(double /*value*/) { return -1.0; }

double MCStringEncoder::EncodeConst(const std::string& value) const {
  if (IsMissing(value)) return -1.0;
  const auto found = fValueCodes.find(value);
  return found != fValueCodes.end() ? found->second : -1.0;
}

double MCStringEncoder::EncodeConst(double /*value*/) const { return -1.0; }

bool MCStringEncoder::IsMissing(const std::string& value) const {
  return std::find(fvMissStrings.begin(), fvMissStrings.end(), value) != fvMissStrings.end();
}

bool MCStringEncoder::IsMissing(double /*value*/) const { return true; }

std::string MCStringEncoder::Decode(int code) const {
  if (code < 0 || code > fLastCode) return std::string();
  return fvLinks[static_cast<std::size_t>(code)]->first;
}

double MCStringEncoder::DecodeNum(int /*code*/) const { return MCMV::Missing(); }

IMCEncoder* MCStringEncoder::Clone() const { return new MCStringEncoder(*this); }

void MCStringEncoder::SetValueLabels(const std::vector<std::string>& labels) {
  fvValueLabels = labels;
}

void MCStringEncoder::SetValueLabel(int code, const std::string& label) {
  const int n = GetNumberOfCategories();
  if (static_cast<int>(fvValueLabels.size()) < n) fvValueLabels.resize(static_cast<std::size_t>(n));
  if (code >= 0 && code < n) fvValueLabels[static_cast<std::size_t>(code)] = label;
}

bool MCStringEncoder::AddDiscreteUserMissing(double /*value*/, const std::string& /*label*/) {
  return false;
}

bool MCStringEncoder::AddDiscreteUserMissing(const std::string& value, const std::string& label) {
  fvMissStrings.push_back(value);
  fvMissLabels.push_back(label);
  return true;
}

bool MCStringEncoder::SetMissingInterval(double /*low*/, double /*high*/) { return false; }

const std::vector<std::string>* MCStringEncoder::GetValueLabels() const { return &fvValueLabels; }
const std::vector<double>* MCStringEncoder::GetDiscreteMissValues() const { return nullptr; }
const std::vector<std::string>* MCStringEncoder::GetDiscreteMissValuesStr() const {
  return &fvMissStrings;
}
const std::vector<std::string>* MCStringEncoder::GetMissValueLabels() const {
  return &fvMissLabels;
}
bool MCStringEncoder::GetMissingInterval(double& /*low*/, double& /*high*/) const { return false; }

int MCStringEncoder::WriteObjectXML(std::ostream& os, int tabs) const {
  internal::ObjWriter w(os, kObjectName, tabs);
  w.Put(GetNumberOfCategories());
  for (const auto& link : fvLinks) w.Put(link->first);
  w.Put(static_cast<int>(fvValueLabels.size()));
  for (const std::string& s : fvValueLabels) w.Put(s);
  w.Put(static_cast<int>(fvMissStrings.size()));
  for (const std::string& s : fvMissStrings) w.Put(s);
  for (const std::string& s : fvMissLabels) w.Put(s);
  return w.End();
}

int MCStringEncoder::ReadObjectXML(std::istream& is) {
  internal::ObjReader r(is, kFailure);
  r.Start(kObjectName);
  fValueCodes.clear();
  fvLinks.clear();
  fvValueLabels.clear();
  fLastCode = -1;
  fvMissStrings.clear();
  fvMissLabels.clear();
  const int n = r.GetCount();
  for (int k = 0; k < n; ++k) {
    const auto inserted = fValueCodes.emplace(r.GetString(), k);
    // The k-th string must get code k, so a repeated one cannot be accepted.
    if (!inserted.second) r.Fail();
    fvLinks.push_back(inserted.first);
    fLastCode = k;
  }
  const int l = r.GetCount();
  for (int k = 0; k < l; ++k) fvValueLabels.push_back(r.GetString());
  const int m = r.GetCount();
  for (int k = 0; k < m; ++k) fvMissStrings.push_back(r.GetString());
  for (int k = 0; k < m; ++k) fvMissLabels.push_back(r.GetString());
  return r.End();
}

void MCStringEncoder::Display() const {
  MCComponentDisplay::DisplayText(1, "MCStringEncoder display start");
  MCComponentDisplay::DisplayS("Encoder type", EncoderTypeWord(GetEncoderType()));
  MCComponentDisplay::DisplayI("Number of categories", GetNumberOfCategories());
  std::vector<std::string> categories;
  for (const auto& link : fvLinks) categories.push_back(link->first);
  MCComponentDisplay::DisplaySV("Category values", categories);
  MCComponentDisplay::DisplaySV("Value labels", fvValueLabels);
  MCComponentDisplay::DisplaySV("Discrete missing values", fvMissStrings);
  MCComponentDisplay::DisplaySV("Missing value labels", fvMissLabels);
  MCComponentDisplay::DisplayText(1, "MCStringEncoder display end");
}

}  // namespace MCCommonMetadata
