// Arbitrary bytes as a PMML document: parse it, rebuild variable lists from its data
// dictionary (with and without bins, all fields and a named one) and read every
// "UnivariateStats" element found in it.

#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "FuzzUtil.h"
#include "MCPMMLParser.h"
#include "MCXMLReadWrite.h"

namespace {

using xercesc::DOMElement;

// Depth-first search for the first element with the tag (iterative: hostile documents nest
// deeply).
const DOMElement* FindFirst(const DOMElement* root, const char* tag) {
  if (root == nullptr) return nullptr;
  const std::vector<XMLCh> name = MCComXPrsUtil::MCXTranscoder("UTF-8").TranscodeFrom(tag);
  std::vector<const DOMElement*> todo{root};
  while (!todo.empty()) {
    const DOMElement* e = todo.back();
    todo.pop_back();
    if (xercesc::XMLString::equals(e->getTagName(), name.data())) return e;
    for (const DOMElement* c = e->getLastElementChild(); c != nullptr;
         c = c->getPreviousElementSibling()) {
      todo.push_back(c);
    }
  }
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mcfuzz::QuietStreams();
  static MCComXPrsUtil::MCPMMLParser parser;  // one parser start-up for all inputs
  std::istringstream in(mcfuzz::AsString(data, size));
  const MCCommon::MCStatus status = parser.ParseToDOM(in);
  mcfuzz::Check(status == parser.GetStatus(), "ParseToDOM keeps its status");
  if (!status.IsOK()) {
    mcfuzz::Check(parser.GetRootElement() == nullptr, "root element after a failed parse");
    MCCommonMetadata::MCVarList list;
    mcfuzz::Check(parser.FillVarList(list, {}, false) == status, "fill after a failed parse");
    return 0;
  }

  for (bool bins : {false, true}) {
    MCCommonMetadata::MCVarList list;
    parser.FillVarList(list, {}, bins);
    for (int i = 0; i < list.Size(); ++i) {
      const MCCommonMetadata::IMCVariable* var = list.GetVarAt(i);
      mcfuzz::Check(var != nullptr, "empty slot after FillVarList");
      mcfuzz::Check(var->GetVariableRole() == MCCommonMetadata::IMCVariable::kInput,
                    "a dictionary field that is not an input");
      // Only the fields named are read.
      MCCommonMetadata::MCVarList named;
      parser.FillVarList(named, {var->GetVariableName()}, bins);
      mcfuzz::Check(named.Size() <= 1, "named fill read more than one field");
      mcfuzz::Check(
          named.Size() == 0 || named.GetVarAt(0)->GetVariableName() == var->GetVariableName(),
          "named fill read another field");
    }
    std::ostringstream out;
    list.WriteObjectXML(out, 0);
  }

  const DOMElement* current = FindFirst(parser.GetRootElement(), "UnivariateStats");
  for (int guard = 0; current != nullptr && guard < 10000; ++guard) {
    MCCommonMetadata::MCUniStats stats;
    const DOMElement* before = current;
    parser.FillUniStats(stats, current);
    mcfuzz::Check(current != before, "FillUniStats did not move on");
  }
  return 0;
}
