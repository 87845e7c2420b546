#include "MCContVar.h"

#include <iostream>

#include "MCComponentDisplay.h"
#include "MetadataStream.h"

namespace MCCommonMetadata {

using MCCommon::MCComponentDisplay;

namespace {

constexpr const char kObjectName[] = "MCContVar";
constexpr const char kFailure[] = "Failure reading MCContVar!\n";

}  // namespace

MCContVar::MCContVar(const std::string& name, const std::string& label, VariableRole role)
    : fName(name), fLabel(label), fRole(role), fpEncoder(new MCContEncoder()) {}

MCContVar::MCContVar(const std::string& name, const std::string& label, double min, double max,
                     VariableRole role, bool makeBins, int nBins)
    : fName(name), fLabel(label), fRole(role), fMin(min), fMax(max), fNBins(nBins) {
  if (makeBins && max > min && nBins >= 2) {
    fpEncoder.reset(new MCContEncoder(min, max, nBins));
  } else {
    fpEncoder.reset(new MCContEncoder());
  }
}

MCContVar::MCContVar(const std::string& name, const std::string& label,
                     const std::vector<double>& cuts, bool makeBins, VariableRole role)
    : fName(name),
      fLabel(label),
      fRole(role),
      fNBins(static_cast<int>(cuts.size()) + 1),
      fvCutPoints(cuts) {
  if (makeBins && fNBins >= 2) {
    fpEncoder.reset(new MCContEncoder(cuts));
  } else {
    fpEncoder.reset(new MCContEncoder());
  }
}

MCContVar::MCContVar(const std::string& name, const std::string& label, double min, double max,
                     const std::vector<double>& cuts, bool makeBins, VariableRole role)
    : fName(name),
      fLabel(label),
      fRole(role),
      fMin(min),
      fMax(max),
      fNBins(static_cast<int>(cuts.size()) + 1),
      fvCutPoints(cuts) {
  if (makeBins && max > min && fNBins >= 2) {
    fpEncoder.reset(new MCContEncoder(cuts));
  } else {
    fpEncoder.reset(new MCContEncoder());
  }
}

MCContVar::MCContVar(const MCContVar& other)
    : IMCVariable(other),
      fName(other.fName),
      fLabel(other.fLabel),
      fRole(other.fRole),
      fStorage(other.fStorage),
      fMin(other.fMin),
      fMax(other.fMax),
      fNBins(other.fNBins),
      fMean(other.fMean),
      fStdDev(other.fStdDev),
      fvCutPoints(other.fvCutPoints),
      fMissingReplacement(other.fMissingReplacement),
      fbHasReplacement(other.fbHasReplacement),
      fpEncoder(other.fpEncoder ? static_cast<MCContEncoder*>(other.fpEncoder->Clone()) : nullptr) {
}

MCContVar& MCContVar::operator=(const MCContVar& other) {
  if (this != &other) {
    MCContVar copy(other);
    fName.swap(copy.fName);
    fLabel.swap(copy.fLabel);
    fRole = copy.fRole;
    fStorage = copy.fStorage;
    fMin = copy.fMin;
    fMax = copy.fMax;
    fNBins = copy.fNBins;
    fMean = copy.fMean;
    fStdDev = copy.fStdDev;
    fvCutPoints.swap(copy.fvCutPoints);
    fMissingReplacement.swap(copy.fMissingReplacement);
    fbHasReplacement = copy.fbHasReplacement;
    fpEncoder.swap(copy.fpEncoder);
  }
  return *this;
}

MCContVar::~MCContVar() = default;

int MCContVar::GetNumberOfCategories() const {
  return fpEncoder ? fpEncoder->GetNumberOfCategories() : fNBins;
}

int MCContVar::UpdateNumberOfCategories() {
  if (fpEncoder) fNBins = fpEncoder->GetNumberOfCategories();
  return fNBins;
}

void MCContVar::SetMissingValueReplacement(const std::string& text) {
  fMissingReplacement = text;
  fbHasReplacement = true;
}

const std::string* MCContVar::GetMissingValueReplacement() const {
  return fbHasReplacement ? &fMissingReplacement : nullptr;
}

IMCVariable* MCContVar::Clone() const { return new MCContVar(*this); }

IMCVariable::VarStatus MCContVar::GetVarStatus() {
  if (fMax < fMin) return kStatusInvalid;
  if (fMax == fMin) return kStatusConstant;
  return kStatusOK;
}

int MCContVar::WriteObjectXML(std::ostream& os, int tabs) const {
  internal::ObjWriter w(os, kObjectName, tabs);
  w.Put(fName);
  w.Put(fLabel);
  w.Put(fNBins);
  w.Put(fMin);
  w.Put(fMax);
  w.Put(fMean);
  w.Put(fStdDev);
  w.Put(static_cast<int>(fStorage));
  w.Put(fbHasReplacement);
  if (fbHasReplacement) w.Put(fMissingReplacement);
  const int type = fpEncoder ? static_cast<int>(fpEncoder->GetEncoderType()) : 0;
  w.Put(type);
  if (fpEncoder) w.AddNested(fpEncoder->WriteObjectXML(os, w.NestedTabs()));
  return w.End();
}

int MCContVar::ReadObjectXML(std::istream& is) {
  internal::ObjReader r(is, kFailure);
  r.Start(kObjectName);
  fpEncoder.reset();
  fName = r.GetString();
  fLabel = r.GetString();
  fNBins = r.GetInt();
  fMin = r.GetDouble();
  fMax = r.GetDouble();
  fMean = r.GetDouble();
  fStdDev = r.GetDouble();
  fStorage = static_cast<VariableStorage>(r.GetInt());
  fbHasReplacement = r.GetBool();
  fMissingReplacement = fbHasReplacement ? r.GetString() : std::string();
  const int type = r.GetInt();
  if (type == IMCEncoder::kContEncoder) {
    fpEncoder.reset(new MCContEncoder());
    r.AddNested(fpEncoder->ReadObjectXML(is));
  } else if (type != IMCEncoder::kUnknownEncoder) {
    std::cout << "Wrong encoder type in MCContVar!\n";
    r.Fail();
  }
  return r.End();
}

void MCContVar::Display() const {
  MCComponentDisplay::DisplayText(1, "MCContVar display start");
  MCComponentDisplay::DisplayText(1, "Continuous variable: " + fName);
  MCComponentDisplay::DisplayS("Label", fLabel);
  MCComponentDisplay::DisplayS("Variable role", VariableRoleWord(fRole));
  MCComponentDisplay::DisplayS("Variable storage", VariableStorageWord(fStorage));
  MCComponentDisplay::DisplayS("Measurement Level", MeasureLevelWord(GetMeasureLevel()));
  MCComponentDisplay::DisplayI("Number of categories", GetNumberOfCategories());
  MCComponentDisplay::DisplayI("Number of bins", fNBins);
  MCComponentDisplay::DisplayD("Min", fMin);
  MCComponentDisplay::DisplayD("Max", fMax);
  MCComponentDisplay::DisplayD("Mean", fMean);
  MCComponentDisplay::DisplayD("Standard deviation", fStdDev);
  if (fbHasReplacement) {
    MCComponentDisplay::DisplayS("Missing value replacement", fMissingReplacement);
  }
  if (fpEncoder) {
    fpEncoder->Display();
  } else {
    MCComponentDisplay::DisplayText(1, "Encoder not set");
  }
  MCComponentDisplay::DisplayText(1, "MCContVar display end");
}

}  // namespace MCCommonMetadata
