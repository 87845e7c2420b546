#include "MCWeightVar.h"

#include "MCComponentDisplay.h"
#include "MetadataStream.h"

namespace MCCommonMetadata {

using MCCommon::MCComponentDisplay;

namespace {

constexpr const char kObjectName[] = "MCWeightVar";
constexpr const char kFailure[] = "Failure reading MCWeightVar!\n";

}  // namespace

MCWeightVar::MCWeightVar(const std::string& name, const std::string& label, WRoundingOption option)
    : fName(name), fLabel(label), fpEncoder(new MCRoundEncoder(option)) {}

MCWeightVar::MCWeightVar(const MCWeightVar& other)
    : IMCVariable(other),
      fName(other.fName),
      fLabel(other.fLabel),
      fStorage(other.fStorage),
      fpEncoder(new MCRoundEncoder(*other.fpEncoder)) {}

MCWeightVar& MCWeightVar::operator=(const MCWeightVar& other) {
  if (this != &other) {
    fName = other.fName;
    fLabel = other.fLabel;
    fStorage = other.fStorage;
    *fpEncoder = *other.fpEncoder;
  }
  return *this;
}

MCWeightVar::~MCWeightVar() = default;

IMCVariable* MCWeightVar::Clone() const { return new MCWeightVar(*this); }

int MCWeightVar::WriteObjectXML(std::ostream& os, int tabs) const {
  internal::ObjWriter w(os, kObjectName, tabs);
  w.Put(fName);
  w.Put(fLabel);
  w.Put(static_cast<int>(fStorage));
  w.AddNested(fpEncoder->WriteObjectXML(os, w.NestedTabs()));
  return w.End();
}

int MCWeightVar::ReadObjectXML(std::istream& is) {
  internal::ObjReader r(is, kFailure);
  r.Start(kObjectName);
  fName = r.GetString();
  fLabel = r.GetString();
  fStorage = static_cast<VariableStorage>(r.GetInt());
  r.AddNested(fpEncoder->ReadObjectXML(is));
  return r.End();
}

void MCWeightVar::Display() const {
  MCComponentDisplay::DisplayText(1, "MCWeightVar display start");
  MCComponentDisplay::DisplayText(1, "Frequency weight variable: " + fName);
  MCComponentDisplay::DisplayS("Label", fLabel);
  MCComponentDisplay::DisplayS("Variable role", VariableRoleWord(GetVariableRole()));
  MCComponentDisplay::DisplayS("Variable storage", VariableStorageWord(fStorage));
  MCComponentDisplay::DisplayS("Measurement Level", MeasureLevelWord(GetMeasureLevel()));
  fpEncoder->Display();
  MCComponentDisplay::DisplayText(1, "MCWeightVar display end");
}

}  // namespace MCCommonMetadata
