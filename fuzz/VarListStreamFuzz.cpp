// Arbitrary bytes as the object stream of a variable list. A failed read throws a new
// IOException*, which is deleted here. A list that reads is queried, and its copy must write
// exactly the same stream as the original.

#include "FuzzUtil.h"
#include "IOException.h"
#include "MCVarList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mcfuzz::QuietStreams();
  std::istringstream in(mcfuzz::AsString(data, size));
  MCCommonMetadata::MCVarList list;
  bool read = false;
  try {
    list.ReadObjectXML(in);
    read = true;
  } catch (MCCommonMetadata::IOException* e) {
    delete e;
  }

  // Also a list left half read must answer its queries.
  for (int i = -1; i <= list.Size(); ++i) {
    MCCommonMetadata::IMCVariable* var = list.GetVarAt(i);
    if (var != nullptr) {
      mcfuzz::Check(list.FindVariable(var->GetVariableName()) <= i, "FindVariable");
      var->GetVarStatus();
      delete var->Clone();
    }
    list.GetEncoderAt(i);
    list.GetVariableRole(i);
  }
  list.GetNTargetCats();
  list.GetNOutputCats();
  list.GetNumInputVars();
  list.GetNInputCats();
  list.Display();
  if (!read) return 0;

  std::ostringstream first;
  list.WriteObjectXML(first, 0);
  MCCommonMetadata::MCVarList copy(list);
  std::ostringstream second;
  copy.WriteObjectXML(second, 0);
  mcfuzz::Check(first.str() == second.str(), "a copy writes another stream");
  list.UpdateNumbersOfCategories();
  return 0;
}
