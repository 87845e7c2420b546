// Arbitrary bytes as a settings document: parse it, then ask every getter for every parameter
// name the document holds (and for names it does not), at the root and inside each complex
// parameter.

#include <set>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "FuzzUtil.h"
#include "MCSettingsParser.h"
#include "MCXMLReadWrite.h"

namespace {

using MCComXPrsUtil::MCSettingsParser;
using xercesc::DOMElement;

// The "name" attributes of every element of the document, a bounded number of them.
std::set<std::string> CollectNames(const DOMElement* root) {
  std::set<std::string> names{"", "target", "inputs", "FrequencyWeightVar", "absent"};
  if (root == nullptr) return names;
  const MCComXPrsUtil::MCXTranscoder utf8("UTF-8");
  const std::vector<XMLCh> attr = utf8.TranscodeFrom("name");
  std::vector<const DOMElement*> todo{root};
  while (!todo.empty() && names.size() < 64) {
    const DOMElement* e = todo.back();
    todo.pop_back();
    const XMLCh* value = e->getAttribute(attr.data());
    if (value != nullptr && *value != 0) names.insert(utf8.TranscodeTo(value));
    for (const DOMElement* c = e->getFirstElementChild(); c != nullptr;
         c = c->getNextElementSibling()) {
      todo.push_back(c);
    }
  }
  return names;
}

// A getter must leave its output alone unless it answers OK.
template <typename T>
void Ask(const MCSettingsParser& parser, const std::string& name, const DOMElement* scope,
         const T& sentinel) {
  T value = sentinel;
  const MCCommon::MCStatus status = parser.GetParameter(name, value, scope);
  if (!status.IsOK()) mcfuzz::Check(value == sentinel, "GetParameter changed its output");
}

template <typename T>
void AskArray(const MCSettingsParser& parser, const std::string& name, const DOMElement* scope) {
  std::vector<T> values(1);
  const std::vector<T> before = values;
  if (!parser.GetArray(name, values, scope).IsOK()) {
    mcfuzz::Check(values == before, "GetArray changed its output");
  }
  std::vector<std::vector<T>> matrix(1, std::vector<T>(1));
  const std::vector<std::vector<T>> beforeMatrix = matrix;
  if (!parser.GetMatrix(name, matrix, scope).IsOK()) {
    mcfuzz::Check(matrix == beforeMatrix, "GetMatrix changed its output");
  }
}

void AskAll(const MCSettingsParser& parser, const std::string& name, const DOMElement* scope) {
  Ask<std::string>(parser, name, scope, "unchanged");
  Ask<int>(parser, name, scope, -12345);
  Ask<double>(parser, name, scope, -0.5);
  Ask<bool>(parser, name, scope, true);
  Ask<bool>(parser, name, scope, false);
  parser.GetParameterType(name, scope);
  AskArray<std::string>(parser, name, scope);
  AskArray<int>(parser, name, scope);
  AskArray<double>(parser, name, scope);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mcfuzz::QuietStreams();
  static MCSettingsParser parser;  // one parser start-up for all inputs
  std::istringstream in(mcfuzz::AsString(data, size));
  parser.ParseToDOM(in);

  const std::set<std::string> names = CollectNames(parser.GetRootElement());
  for (const std::string& name : names) {
    AskAll(parser, name, nullptr);
    std::string one = "unchanged";
    if (!parser.GetVariables(name, one).IsOK()) {
      mcfuzz::Check(one == "unchanged", "GetVariables changed its output");
    }
    std::vector<std::string> many;
    parser.GetVariables(name, many);
    const DOMElement* complex = parser.GetComplexParameter(name, nullptr);
    if (complex != nullptr) {
      for (const std::string& inner : names) AskAll(parser, inner, complex);
      mcfuzz::Check(parser.GetComplexParameter(name, complex) != complex, "self scope");
    }
  }
  std::string weight;
  parser.GetFrequencyWeight(weight);
  std::vector<std::string> vars;
  parser.GetTargetVars(vars);
  parser.GetPredictors(vars);
  parser.GetCatResponseVars(vars);
  parser.GetContResponseVars(vars);
  parser.GetCatPredictors(vars);
  parser.GetContPredictors(vars);
  return 0;
}
