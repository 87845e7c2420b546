#include "MCCatVar.h"

#include <algorithm>

#include "MCComponentDisplay.h"
#include "MetadataStream.h"

namespace MCCommonMetadata {

using MCCommon::MCComponentDisplay;

namespace {

constexpr const char kObjectName[] = "MCCatVar";
constexpr const char kFailure[] = "Failure reading MCCatVar!\n";

}  // namespace

MCCatVar::MCCatVar(const std::string& name, const std::string& label, int nCategories,
                   MeasureLevel level, VariableRole role, bool ordinal)
    : fName(name),
      fLabel(label),
      fbOrdinal(ordinal),
      fRole(role),
      fNCategories(nCategories),
      fLevel(level) {
  if (level == kNumericCategorical) {
    fpEncoder.reset(new MCCatNumEncoder(nCategories));
  } else {
    fpEncoder.reset(new MCStringEncoder(nCategories));
  }
}

MCCatVar::MCCatVar(const MCCatVar& other)
    : IMCVariable(other),
      fName(other.fName),
      fLabel(other.fLabel),
      fbOrdinal(other.fbOrdinal),
      fRole(other.fRole),
      fStorage(other.fStorage),
      fNCategories(other.fNCategories),
      fLevel(other.fLevel),
      fMissingReplacement(other.fMissingReplacement),
      fbHasReplacement(other.fbHasReplacement),
      fpEncoder(other.fpEncoder ? other.fpEncoder->Clone() : nullptr) {}

MCCatVar& MCCatVar::operator=(const MCCatVar& other) {
  if (this != &other) {
    MCCatVar copy(other);
    fName.swap(copy.fName);
    fLabel.swap(copy.fLabel);
    fbOrdinal = copy.fbOrdinal;
    fRole = copy.fRole;
    fStorage = copy.fStorage;
    fNCategories = copy.fNCategories;
    fLevel = copy.fLevel;
    fMissingReplacement.swap(copy.fMissingReplacement);
    fbHasReplacement = copy.fbHasReplacement;
    fpEncoder.swap(copy.fpEncoder);
  }
  return *this;
}

MCCatVar::~MCCatVar() = default;

int MCCatVar::UpdateNumberOfCategories() {
  if (fpEncoder) fNCategories = std::max(fNCategories, fpEncoder->GetNumberOfCategories());
  return fNCategories;
}

void MCCatVar::SetMissingValueReplacement(const std::string& text) {
  fMissingReplacement = text;
  fbHasReplacement = true;
}

const std::string* MCCatVar::GetMissingValueReplacement() const {
  return fbHasReplacement ? &fMissingReplacement : nullptr;
}

IMCVariable* MCCatVar::Clone() const { return new MCCatVar(*this); }

IMCVariable::VarStatus MCCatVar::GetVarStatus() {
  UpdateNumberOfCategories();
  if (fNCategories == 1) return kStatusConstant;
  return fNCategories > 1 ? kStatusOK : kStatusInvalid;
}

void MCCatVar::ChangeEncoder(IMCEncoder* encoder) {
  fpEncoder.reset(encoder);
  fNCategories = encoder ? encoder->GetNumberOfCategories() : 0;
}

int MCCatVar::WriteObjectXML(std::ostream& os, int tabs) const {
  internal::ObjWriter w(os, kObjectName, tabs);
  w.Put(fName);
  w.Put(fLabel);
  w.Put(static_cast<int>(fRole));
  w.Put(static_cast<int>(fStorage));
  w.Put(fNCategories);
  w.Put(static_cast<int>(fLevel));
  w.Put(fbOrdinal);
  w.Put(fbHasReplacement);
  if (fbHasReplacement) w.Put(fMissingReplacement);
  const int type = fpEncoder ? static_cast<int>(fpEncoder->GetEncoderType()) : 0;
  w.Put(type);
  if (fpEncoder) w.AddNested(fpEncoder->WriteObjectXML(os, w.NestedTabs()));
  return w.End();
}

int MCCatVar::ReadObjectXML(std::istream& is) {
  internal::ObjReader r(is, kFailure);
  r.Start(kObjectName);
  fpEncoder.reset();
  fName = r.GetString();
  fLabel = r.GetString();
  fRole = static_cast<VariableRole>(r.GetInt());
  fStorage = static_cast<VariableStorage>(r.GetInt());
  fNCategories = r.GetInt();
  const int level = r.GetInt();
  // Only the two categorical levels describe a variable of this class.
  if (level != kNumericCategorical && level != kStringCategorical) r.Fail();
  fLevel = static_cast<MeasureLevel>(level);
  fbOrdinal = r.GetBool();
  fbHasReplacement = r.GetBool();
  fMissingReplacement = fbHasReplacement ? r.GetString() : std::string();
  const int type = r.GetInt();
  if (type == IMCEncoder::kCatNumEncoder) {
    fpEncoder.reset(new MCCatNumEncoder());
  } else if (type == IMCEncoder::kStringEncoder) {
    fpEncoder.reset(new MCStringEncoder());
  } else {
    r.Fail();
  }
  r.AddNested(fpEncoder->ReadObjectXML(is));
  return r.End();
}

void MCCatVar::Display() const {
  MCComponentDisplay::DisplayText(1, "MCCatVar display start");
  MCComponentDisplay::DisplayText(1, "Categorical variable: " + fName);
  MCComponentDisplay::DisplayS("Label", fLabel);
  MCComponentDisplay::DisplayS("Variable role", VariableRoleWord(fRole));
  MCComponentDisplay::DisplayS("Variable storage", VariableStorageWord(fStorage));
  MCComponentDisplay::DisplayS("Measurement Level", MeasureLevelWord(fLevel));
  MCComponentDisplay::DisplayI("Number of categories", fNCategories);
  MCComponentDisplay::DisplayB("Ordinal variable indicator", fbOrdinal);
  if (fbHasReplacement) {
    MCComponentDisplay::DisplayS("Missing value replacement", fMissingReplacement);
  }
  if (fpEncoder) {
    fpEncoder->Display();
  } else {
    MCComponentDisplay::DisplayText(1, "Encoder not set");
  }
  MCComponentDisplay::DisplayText(1, "MCCatVar display end");
}

}  // namespace MCCommonMetadata
