#include "MCPMMLParser.h"

#include <xercesc/dom/DOM.hpp>

#include "MCXMLUtil.h"

namespace MCComXPrsUtil {

using MCCommon::MCStatus;

MCPMMLParser::MCPMMLParser() : fStatus(fReadWrite.GetInitStatus()) {}

MCPMMLParser::~MCPMMLParser() = default;

MCStatus MCPMMLParser::ParseToDOM(std::istream& in) {
  fpRoot = nullptr;
  fpDataDict = nullptr;
  fpTransDict = nullptr;
  fpModel = nullptr;
  fStatus = fReadWrite.ParseToDOM(in);
  if (!fStatus.IsOK()) return fStatus;
  fpRoot = fReadWrite.GetDocument()->getDocumentElement();
  fpDataDict = GetFirstChildElmt(fpRoot, "DataDictionary");
  fpTransDict = GetFirstChildElmt(fpRoot, "TransformationDictionary");
  return fStatus;
}

bool MCPMMLParser::SetModelElmt(const xercesc::DOMElement& model) {
  // Only an element of the parsed document can be read later.
  if (fpRoot == nullptr || model.getOwnerDocument() != fReadWrite.GetDocument()) return false;
  fpModel = &model;
  return true;
}

}  // namespace MCComXPrsUtil
