#include "MCVarList.h"

#include <utility>

#include "MCCatVar.h"
#include "MCComponentDisplay.h"
#include "MCContVar.h"
#include "MCWeightVar.h"
#include "MetadataStream.h"

namespace MCCommonMetadata {

using MCCommon::MCComponentDisplay;

namespace {

constexpr const char kObjectName[] = "MCVarList";
constexpr const char kFailure[] = "Failure reading MCVarList!\n";

// A new, empty variable of the measure level read from the stream; null for a level this
// list never writes. Weights are made by the caller, which may reuse its own.
std::unique_ptr<IMCVariable> NewVariableForLevel(int level) {
  switch (level) {
    case IMCVariable::kContinuous:
      return std::make_unique<MCContVar>("", "", IMCVariable::kInput);
    case IMCVariable::kNumericCategorical:
    case IMCVariable::kStringCategorical:
      return std::make_unique<MCCatVar>("", "", 0, static_cast<IMCVariable::MeasureLevel>(level),
                                        IMCVariable::kInput, false);
    default:
      return nullptr;
  }
}

}  // namespace

MCVarList::MCVarList(const MCVarList& other)
    : fNContVars(other.fNContVars),
      fNCatVars(other.fNCatVars),
      fTargetIndex(other.fTargetIndex),
      fTargetRespIndex(other.fTargetRespIndex),
      fFreqWeightIndex(other.fFreqWeightIndex),
      fbListwiseDeletion(other.fbListwiseDeletion) {
  fvVariables.reserve(other.fvVariables.size());
  for (const auto& v : other.fvVariables) {
    fvVariables.emplace_back(v ? v->Clone() : nullptr);
  }
}

MCVarList& MCVarList::operator=(const MCVarList& other) {
  if (this != &other) {
    MCVarList copy(other);
    fvVariables.swap(copy.fvVariables);
    fNContVars = copy.fNContVars;
    fNCatVars = copy.fNCatVars;
    fTargetIndex = copy.fTargetIndex;
    fTargetRespIndex = copy.fTargetRespIndex;
    fFreqWeightIndex = copy.fFreqWeightIndex;
    fbListwiseDeletion = copy.fbListwiseDeletion;
  }
  return *this;
}

MCVarList::~MCVarList() = default;

int MCVarList::Append(std::unique_ptr<IMCVariable> var, bool continuous) {
  const std::string name = var->GetVariableName();
  if (name.empty() || FindVariable(name) >= 0) return -1;
  const VariableRole role = var->GetVariableRole();
  fvVariables.push_back(std::move(var));
  const int index = Size() - 1;
  if (continuous) {
    ++fNContVars;
  } else {
    ++fNCatVars;
  }
  if (role == IMCVariable::kTarget) fTargetIndex = index;
  if (role == IMCVariable::kTargetResponse) fTargetRespIndex = index;
  return index;
}

int MCVarList::AddContVar(const std::string& name, const std::string& label, VariableRole role) {
  return Append(std::make_unique<MCContVar>(name, label, role), true);
}

int MCVarList::AddContVar(const std::string& name, const std::string& label, double min, double max,
                          VariableRole role, bool makeBins, int nBins) {
  return Append(std::make_unique<MCContVar>(name, label, min, max, role, makeBins, nBins), true);
}

int MCVarList::AddContVar(const std::string& name, const std::string& label,
                          const std::vector<double>& cuts, bool makeBins, VariableRole role) {
  return Append(std::make_unique<MCContVar>(name, label, cuts, makeBins, role), true);
}

int MCVarList::AddContVar(const std::string& name, const std::string& label, double min, double max,
                          const std::vector<double>& cuts, bool makeBins, VariableRole role) {
  return Append(std::make_unique<MCContVar>(name, label, min, max, cuts, makeBins, role), true);
}

int MCVarList::AddCatVar(const std::string& name, const std::string& label, int nCategories,
                         MeasureLevel level, VariableRole role) {
  return Append(std::make_unique<MCCatVar>(name, label, nCategories, level, role, false), false);
}

int MCVarList::AddCatVar(const std::string& name, const std::string& label,
                         const std::vector<double>& values, VariableRole role) {
  auto var = std::make_unique<MCCatVar>(name, label, static_cast<int>(values.size()),
                                        IMCVariable::kNumericCategorical, role, false);
  for (double v : values) var->GetEncoder()->Encode(v);
  return Append(std::move(var), false);
}

int MCVarList::AddCatVar(const std::string& name, const std::string& label,
                         const std::vector<std::string>& values, VariableRole role) {
  auto var = std::make_unique<MCCatVar>(name, label, static_cast<int>(values.size()),
                                        IMCVariable::kStringCategorical, role, false);
  for (const std::string& v : values) var->GetEncoder()->Encode(v);
  return Append(std::move(var), false);
}

int MCVarList::AddCatVar(const std::string& name, const std::string& label,
                         const std::vector<double>& values, const std::vector<std::string>& labels,
                         VariableRole role) {
  const int index = AddCatVar(name, label, values, role);
  if (index >= 0) GetEncoderAt(index)->SetValueLabels(labels);
  return index;
}

int MCVarList::AddCatVar(const std::string& name, const std::string& label,
                         const std::vector<std::string>& values,
                         const std::vector<std::string>& labels, VariableRole role) {
  const int index = AddCatVar(name, label, values, role);
  if (index >= 0) GetEncoderAt(index)->SetValueLabels(labels);
  return index;
}

int MCVarList::SetWeightVar(const std::string& name, const std::string& label,
                            WRoundingOption option) {
  auto weight = std::make_unique<MCWeightVar>(name, label, option);
  if (fFreqWeightIndex >= 0 && fFreqWeightIndex < Size()) {
    fvVariables[static_cast<std::size_t>(fFreqWeightIndex)] = std::move(weight);
  } else {
    fvVariables.push_back(std::move(weight));
    fFreqWeightIndex = Size() - 1;
  }
  return fFreqWeightIndex;
}

IMCVariable* MCVarList::GetVarAt(int i) {
  if (i < 0 || i >= Size()) return nullptr;
  return fvVariables[static_cast<std::size_t>(i)].get();
}

const IMCVariable* MCVarList::GetVarAt(int i) const {
  if (i < 0 || i >= Size()) return nullptr;
  return fvVariables[static_cast<std::size_t>(i)].get();
}

IMCEncoder* MCVarList::GetEncoderAt(int i) {
  IMCVariable* var = GetVarAt(i);
  return var != nullptr ? var->GetEncoder() : nullptr;
}

const IMCEncoder* MCVarList::GetEncoderAt(int i) const {
  const IMCVariable* var = GetVarAt(i);
  return var != nullptr ? var->GetEncoder() : nullptr;
}

int MCVarList::FindVariable(const std::string& name) const {
  for (int i = 0; i < Size(); ++i) {
    const IMCVariable* var = GetVarAt(i);
    if (var != nullptr && var->GetVariableName() == name) return i;
  }
  return -1;
}

int MCVarList::GetNTargetCats() const {
  const IMCVariable* var = GetTargetVariable();
  return var != nullptr ? var->GetNumberOfCategories() : 0;
}

int MCVarList::GetNOutputCats() const {
  const IMCVariable* var = GetTargetRespVariable();
  return var != nullptr ? var->GetNumberOfCategories() : 0;
}

int MCVarList::GetNumInputVars() const {
  int n = 0;
  for (const auto& v : fvVariables) {
    if (v && v->GetVariableRole() == IMCVariable::kInput) ++n;
  }
  return n;
}

int MCVarList::GetNumPossibleInputVars() const {
  int n = 0;
  for (const auto& v : fvVariables) {
    if (v && v->GetVariableRole() == IMCVariable::kPossibleInput) ++n;
  }
  return n;
}

std::vector<int> MCVarList::GetNInputCats() const {
  std::vector<int> cats;
  for (const auto& v : fvVariables) {
    if (v && v->GetVariableRole() == IMCVariable::kInput) {
      cats.push_back(v->GetNumberOfCategories());
    }
  }
  return cats;
}

void MCVarList::GetVarNames(std::vector<std::string>& inputs, std::string& response) const {
  inputs.clear();
  for (const auto& v : fvVariables) {
    if (!v) continue;
    if (v->GetVariableRole() == IMCVariable::kInput) inputs.push_back(v->GetVariableName());
    if (v->GetVariableRole() == IMCVariable::kTargetResponse) response = v->GetVariableName();
  }
}

MCVarList::VariableRole MCVarList::GetVariableRole(int i) const {
  const IMCVariable* var = GetVarAt(i);
  return var != nullptr ? var->GetVariableRole() : IMCVariable::kUndefinedRole;
}

bool MCVarList::SetVariableRole(int i, VariableRole role) {
  IMCVariable* var = GetVarAt(i);
  if (var == nullptr) return false;
  if (role == IMCVariable::kTarget) {
    if (fTargetIndex == -1) fTargetIndex = i;
  } else if (role == IMCVariable::kTargetResponse) {
    if (fTargetRespIndex == -1) fTargetRespIndex = i;
  } else if (var->GetVariableRole() == IMCVariable::kTarget) {
    fTargetIndex = -1;
  } else if (var->GetVariableRole() == IMCVariable::kTargetResponse) {
    fTargetRespIndex = -1;
  }
  var->SetVariableRole(role);
  return true;
}

bool MCVarList::SetMissingValueReplacement(int i, const std::string& text) {
  IMCVariable* var = GetVarAt(i);
  if (var == nullptr) return false;
  var->SetMissingValueReplacement(text);
  return true;
}

int MCVarList::UpdateNumbersOfCategories() {
  int sum = 0;
  for (const auto& v : fvVariables) {
    if (v) sum += v->UpdateNumberOfCategories();
  }
  return sum;
}

bool MCVarList::ChangeTargetEncoder(IMCEncoder* encoder) {
  if (encoder == nullptr) return false;
  IMCVariable* target = GetTargetVariable();
  if (target == nullptr) return false;
  auto* cat = dynamic_cast<MCCatVar*>(target);
  if (cat == nullptr) {
    delete encoder;  // ownership was handed over; nobody else would free it
    return false;
  }
  const IMCEncoder::EncoderType type = encoder->GetEncoderType();
  const bool usable = (type == IMCEncoder::kCatNumEncoder || type == IMCEncoder::kStringEncoder) &&
                      encoder->GetNumberOfCategories() >= 1;
  cat->ChangeEncoder(encoder);
  return usable;
}

bool MCVarList::RemoveVar(int i) {
  if (i < 0 || i >= Size()) return false;
  const IMCVariable* var = GetVarAt(i);
  if (var != nullptr) {
    const bool continuous = var->GetMeasureLevel() == IMCVariable::kContinuous;
    const bool wasTarget = var->GetVariableRole() == IMCVariable::kTarget;
    if (continuous) {
      --fNContVars;
    } else if (!wasTarget && i != fTargetRespIndex && i != fFreqWeightIndex) {
      --fNCatVars;
    }
    if (wasTarget) {
      fTargetIndex = -1;
    } else if (fTargetIndex > i) {
      --fTargetIndex;
    }
  } else if (fTargetIndex > i) {
    --fTargetIndex;
  }
  if (fTargetRespIndex == i) {
    fTargetRespIndex = -1;
  } else if (fTargetRespIndex > i) {
    --fTargetRespIndex;
  }
  if (fFreqWeightIndex == i) {
    fFreqWeightIndex = -1;
  } else if (fFreqWeightIndex > i) {
    --fFreqWeightIndex;
  }
  fvVariables.erase(fvVariables.begin() + i);
  return true;
}

bool MCVarList::RemoveVar(const std::string& name) {
  const int i = FindVariable(name);
  return i >= 0 && RemoveVar(i);
}

int MCVarList::WriteObjectXML(std::ostream& os, int tabs) const {
  internal::ObjWriter w(os, kObjectName, tabs);
  w.Put(Size());
  for (const auto& v : fvVariables) {
    if (!v) {
      w.Put(static_cast<int>(IMCVariable::kUnknownMeasure));
      continue;
    }
    w.Put(static_cast<int>(v->GetMeasureLevel()));
    w.AddNested(v->WriteObjectXML(os, w.NestedTabs()));
  }
  w.Put(fNContVars);
  w.Put(fNCatVars);
  w.Put(fTargetIndex);
  w.Put(fTargetRespIndex);
  return w.End();
}

int MCVarList::ReadObjectXML(std::istream& is) {
  internal::ObjReader r(is, kFailure);
  r.Start(kObjectName);

  std::unique_ptr<IMCVariable> spareWeight;
  if (fFreqWeightIndex >= 0 && fFreqWeightIndex < Size()) {
    spareWeight = std::move(fvVariables[static_cast<std::size_t>(fFreqWeightIndex)]);
  }
  fvVariables.clear();
  fFreqWeightIndex = -1;

  const int n = r.GetCount();
  // Slots are added one by one rather than sized up front, so that a corrupt count cannot
  // make us allocate; the slot being read stays empty when its variable fails.
  for (int i = 0; i < n; ++i) {
    fvVariables.emplace_back();
    const int level = r.GetInt();
    std::unique_ptr<IMCVariable> var;
    if (level == IMCVariable::kFrequencyWeightMeasure) {
      if (spareWeight) {
        var = std::move(spareWeight);
      } else {
        var = std::make_unique<MCWeightVar>("", "", IMCVariable::kAsIs);
      }
    } else {
      var = NewVariableForLevel(level);
      if (!var) r.Fail();
    }
    r.AddNested(var->ReadObjectXML(is));
    fvVariables.back() = std::move(var);
    if (level == IMCVariable::kFrequencyWeightMeasure) fFreqWeightIndex = i;
  }

  const int nCont = r.GetInt();
  const int nCat = r.GetInt();
  const int target = r.GetInt();
  const int targetResp = r.GetInt();
  if (target < -1 || target >= n || targetResp < -1 || targetResp >= n) r.Fail();
  const int lines = r.End();
  fNContVars = nCont;
  fNCatVars = nCat;
  fTargetIndex = target;
  fTargetRespIndex = targetResp;
  return lines;
}

void MCVarList::Display() const {
  MCComponentDisplay::DisplayText(1, "Begin display of MCVarList object.");
  MCComponentDisplay::DisplayI("Total variables", Size());
  MCComponentDisplay::DisplayI("Number of Continuous Variables", fNContVars);
  MCComponentDisplay::DisplayI("Number of Categorical Variables", fNCatVars);
  for (int i = 0; i < Size(); ++i) {
    MCComponentDisplay::DisplayI("Variable", i);
    const IMCVariable* var = GetVarAt(i);
    if (var != nullptr) {
      var->Display();
    } else {
      MCComponentDisplay::DisplayText(1, "Empty slot");
    }
  }
  MCComponentDisplay::DisplayText(1, "End of display for MCVarList object.");
}

}  // namespace MCCommonMetadata
