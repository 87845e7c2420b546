#include "MCXSplitPMMLCombiner.h"

#include <cstddef>
#include <xercesc/dom/DOM.hpp>

#include "IMCVariable.h"
#include "MCXMLUtil.h"
#include "mcxml/XMLText.h"

namespace MCComXPrsUtil {

using MCCommon::MCStatus;
using MCCommonMetadata::IMCVariable;
namespace X = xercesc;

namespace {

constexpr long kNoModel = 107;
constexpr long kMalformed = 108;

// PMML 3.2 has no segmentation, so the combined document is PMML 4.4.
constexpr const char kVersion[] = "4.4";
constexpr const char16_t kNamespace[] = u"http://www.dmg.org/PMML-4_4";
constexpr const char16_t kSchemaInstance[] = u"http://www.w3.org/2001/XMLSchema-instance";
constexpr const char16_t kXmlnsNamespace[] = u"http://www.w3.org/2000/xmlns/";
constexpr const char kSchemaLocation[] = "http://www.dmg.org/PMML-4_4 pmml-4-4.xsd";

const char* const kModelNames[] = {"MiningModel",     "AssociationModel",
                                   "ClusteringModel", "GeneralRegressionModel",
                                   "NaiveBayesModel", "NeuralNetwork",
                                   "RegressionModel", "RuleSetModel",
                                   "SequenceModel",   "SupportVectorMachineModel",
                                   "TextModel",       "TimeSeriesModel",
                                   "TreeModel"};

// Children of a model that come before its "LocalTransformations".
const char* const kBeforeLocalTransformations[] = {"MiningSchema", "Output", "ModelStats",
                                                   "ModelExplanation", "Targets"};

// Text from the host in UTF-16; like the library's writer, it takes text that is not UTF-8
// as Windows-1252.
std::vector<XMLCh> Wide(const std::string& text) {
  return ToUTF16(MCCommonXML::internal::ToUtf8(text).c_str());
}

// A new element of the PMML 4.4 namespace.
X::DOMElement* NewElement(X::DOMDocument& doc, const char* name) {
  return doc.createElementNS(kNamespace, Wide(name).data());
}

void Set(X::DOMElement& element, const char* name, const std::string& value) {
  element.setAttribute(Wide(name).data(), Wide(value).data());
}

// The tag without a namespace prefix (the documents are parsed without namespace
// processing, so a prefixed tag arrives as "p:Name").
std::vector<XMLCh> LocalTag(const X::DOMElement& element) {
  std::vector<XMLCh> tag(element.getTagName(),
                         element.getTagName() + X::XMLString::stringLen(element.getTagName()));
  for (std::size_t k = 0; k < tag.size(); ++k) {
    if (tag[k] == u':') {
      tag.erase(tag.begin(), tag.begin() + static_cast<std::ptrdiff_t>(k) + 1);
      break;
    }
  }
  tag.push_back(0);
  return tag;
}

bool HasPrefix(const XMLCh* name) {
  for (const XMLCh* p = name; *p != 0; ++p) {
    if (*p == u':') return true;
  }
  return false;
}

// Copies the attributes that keep their meaning in the new namespace: namespace
// declarations and prefixed attributes (whose prefixes are no longer declared) are left out.
void CopyAttributes(const X::DOMElement& from, X::DOMElement& to, bool skipVersion) {
  const X::DOMNamedNodeMap* attributes = from.getAttributes();
  for (XMLSize_t k = 0; attributes != nullptr && k < attributes->getLength(); ++k) {
    const X::DOMNode* attribute = attributes->item(k);
    const XMLCh* name = attribute->getNodeName();
    if (XStrEqualsUTF8Str(name, "xmlns") || HasPrefix(name)) continue;
    if (skipVersion && XStrEqualsUTF8Str(name, "version")) continue;
    to.setAttribute(name, attribute->getNodeValue());
  }
}

// True for a white-space-only text node beside element siblings.
bool IsLayoutSpace(const X::DOMNode& text) {
  for (const XMLCh* p = text.getNodeValue(); p != nullptr && *p != 0; ++p) {
    if (*p != u' ' && *p != u'\t' && *p != u'\r' && *p != u'\n') return false;
  }
  return GetFirstChildElmt(text.getParentNode(), nullptr) != nullptr;
}

// A copy of node alone (no children) in doc, an element moved into the PMML 4.4 namespace;
// null for nodes that carry no content (processing instructions, layout white space).
X::DOMNode* CopyShallow(X::DOMDocument& doc, const X::DOMNode& node) {
  switch (node.getNodeType()) {
    case X::DOMNode::ELEMENT_NODE: {
      const auto& from = static_cast<const X::DOMElement&>(node);
      X::DOMElement* to = doc.createElementNS(kNamespace, LocalTag(from).data());
      CopyAttributes(from, *to, false);
      return to;
    }
    case X::DOMNode::TEXT_NODE:
      // Layout white space between elements is left to the pretty-printing writer.
      if (IsLayoutSpace(node)) return nullptr;
      return doc.createTextNode(node.getNodeValue());
    case X::DOMNode::CDATA_SECTION_NODE:
      return doc.createCDATASection(node.getNodeValue());
    case X::DOMNode::COMMENT_NODE:
      return doc.createComment(node.getNodeValue());
    default:
      return nullptr;
  }
}

// A deep copy of the element in doc, every element moved into the PMML 4.4 namespace. The
// tree is walked through its parent links, so its depth costs no call depth.
X::DOMElement* CopyElement(X::DOMDocument& doc, const X::DOMElement& element) {
  X::DOMNode* top = CopyShallow(doc, element);
  X::DOMNode* into = top;  // the copy of the parent of from
  const X::DOMNode* from = element.getFirstChild();
  while (from != nullptr) {
    X::DOMNode* copy = CopyShallow(doc, *from);
    if (copy != nullptr) into->appendChild(copy);
    if (copy != nullptr && from->getFirstChild() != nullptr) {
      into = copy;
      from = from->getFirstChild();
      continue;
    }
    while (from != &element && from->getNextSibling() == nullptr) {
      from = from->getParentNode();
      into = into->getParentNode();
    }
    from = from != &element ? from->getNextSibling() : nullptr;
  }
  return static_cast<X::DOMElement*>(top);
}

// The first child with that tag whose attribute has the same value as in like.
X::DOMElement* FindMatching(const X::DOMElement& parent, const char* tag, const char* attribute,
                            const XMLCh* value) {
  if (value == nullptr) return nullptr;
  for (X::DOMElement* e = GetFirstChildElmt(&parent, tag); e != nullptr;
       e = GetNextSiblingElmt(e, tag)) {
    const XMLCh* other = GetAttribute(e, attribute);
    if (other != nullptr && X::XMLString::equals(other, value)) return e;
  }
  return nullptr;
}

// The last child element with that tag; null when none.
X::DOMElement* LastChild(const X::DOMElement& parent, const char* tag) {
  X::DOMElement* last = nullptr;
  for (X::DOMElement* e = GetFirstChildElmt(&parent, tag); e != nullptr;
       e = GetNextSiblingElmt(e, tag)) {
    last = e;
  }
  return last;
}

// Inserts child after the last child with the tag, or before the first element named
// before (null: at the end) when there is none with the tag.
void InsertAfterLast(X::DOMElement& parent, X::DOMElement* child, const char* tag,
                     const char* before) {
  X::DOMElement* last = LastChild(parent, tag);
  if (last != nullptr) {
    parent.insertBefore(child, last->getNextSibling());
    return;
  }
  parent.insertBefore(child, before != nullptr ? GetFirstChildElmt(&parent, before) : nullptr);
}

void UpdateFieldCount(X::DOMElement& dataDict) {
  int n = 0;
  for (const X::DOMElement* e = GetFirstChildElmt(&dataDict, "DataField"); e != nullptr;
       e = GetNextSiblingElmt(e, "DataField")) {
    ++n;
  }
  Set(dataDict, "numberOfFields", std::to_string(n));
}

// Inserts the fields of from that into lacks, and adds the values a field of into lacks.
void MergeDataDictionary(X::DOMDocument& doc, X::DOMElement& into, const X::DOMElement& from) {
  for (const X::DOMElement* field = GetFirstChildElmt(&from, "DataField"); field != nullptr;
       field = GetNextSiblingElmt(field, "DataField")) {
    X::DOMElement* existing = FindMatching(into, "DataField", "name", GetAttribute(field, "name"));
    if (existing == nullptr) {
      InsertAfterLast(into, CopyElement(doc, *field), "DataField", "Taxonomy");
      continue;
    }
    for (const X::DOMElement* value = GetFirstChildElmt(field, "Value"); value != nullptr;
         value = GetNextSiblingElmt(value, "Value")) {
      if (FindMatching(*existing, "Value", "value", GetAttribute(value, "value")) == nullptr) {
        InsertAfterLast(*existing, CopyElement(doc, *value), "Value", nullptr);
      }
    }
  }
  UpdateFieldCount(into);
}

void MergeMiningSchema(X::DOMDocument& doc, X::DOMElement& into, const X::DOMElement* from) {
  for (const X::DOMElement* field = GetFirstChildElmt(from, "MiningField"); field != nullptr;
       field = GetNextSiblingElmt(field, "MiningField")) {
    if (FindMatching(into, "MiningField", "name", GetAttribute(field, "name")) == nullptr) {
      InsertAfterLast(into, CopyElement(doc, *field), "MiningField", nullptr);
    }
  }
}

// Copies the derived fields of the source's transformation dictionary into the local
// transformations of the copied model, placed where the schemas expect them.
void AddLocalTransformations(X::DOMDocument& doc, X::DOMElement& model,
                             const X::DOMElement* transDict) {
  const X::DOMElement* first = GetFirstChildElmt(transDict, "DerivedField");
  if (first == nullptr) return;
  X::DOMElement* local = GetFirstChildElmt(&model, "LocalTransformations");
  if (local == nullptr) {
    local = NewElement(doc, "LocalTransformations");
    X::DOMNode* before = nullptr;
    for (X::DOMElement* child = GetFirstChildElmt(&model, nullptr); child != nullptr;
         child = GetNextSiblingElmt(child, nullptr)) {
      for (const char* tag : kBeforeLocalTransformations) {
        if (TagNameEquals(child, tag)) before = child->getNextSibling();
      }
    }
    model.insertBefore(local, before);
  }
  for (const X::DOMElement* derived = first; derived != nullptr;
       derived = GetNextSiblingElmt(derived, "DerivedField")) {
    local->appendChild(CopyElement(doc, *derived));
  }
}

}  // namespace

void MCXSplitPMMLCombiner::DocumentReleaser::operator()(X::DOMDocument* document) const {
  if (document != nullptr) document->release();
}

MCXSplitPMMLCombiner::MCXSplitPMMLCombiner(const MCCommonMetadata::MCVarList& splitVars)
    : fvModelNames(std::begin(kModelNames), std::end(kModelNames)) {
  for (int i = 0; i < splitVars.Size(); ++i) {
    const IMCVariable* var = splitVars.GetVarAt(i);
    if (var == nullptr) continue;
    SplitVar split;
    split.fName = var->GetVariableName();
    split.fLabel = var->GetVariableLabel();
    switch (var->GetMeasureLevel()) {
      case IMCVariable::kNumericCategorical:
        split.fOpType = "categorical";
        split.fDataType = "double";
        break;
      case IMCVariable::kStringCategorical:
        split.fOpType = "categorical";
        split.fDataType = "string";
        break;
      default:
        split.fOpType = "continuous";
        split.fDataType = "double";
        break;
    }
    if (var->GetVariableStorage() == IMCVariable::kIntegerStorage) split.fDataType = "integer";
    fvSplitVars.push_back(split);
  }
  fStatus = fReadWrite.GetInitStatus();
}

MCXSplitPMMLCombiner::~MCXSplitPMMLCombiner() = default;

bool MCXSplitPMMLCombiner::IsMiningModel(const X::DOMElement& model) const {
  return TagNameEquals(&model, "MiningModel");
}

bool MCXSplitPMMLCombiner::IsConsistentFunctionName(const std::string& functionName) const {
  return functionName == fFunctionName;
}

bool MCXSplitPMMLCombiner::IsEqualValues(const std::vector<std::string>& splitValues) const {
  return splitValues.size() == fvSplitVars.size();
}

MCStatus MCXSplitPMMLCombiner::GetFunctionNameAtt(const X::DOMElement& model,
                                                  std::string& functionName) const {
  const XMLCh* name = GetAttribute(&model, "functionName");
  if (name == nullptr) return MCStatus(kMalformed, false);
  functionName = ToUTF8(name);
  return MCStatus();
}

MCStatus MCXSplitPMMLCombiner::AddModel(const std::string& pmmlFileName,
                                        const std::vector<std::string>& splitValues) {
  if (pmmlFileName.empty() || splitValues.empty()) return MCStatus();
  if (!IsEqualValues(splitValues)) {
    fStatus = MCStatus(kSplitValueCount, false);
    return fStatus;
  }
  // Text a document cannot hold would make the combined document unwritable.
  using MCCommonXML::internal::IsXmlText;
  bool xmlText = true;
  for (const std::string& value : splitValues) xmlText = xmlText && IsXmlText(value);
  for (const SplitVar& split : fvSplitVars) {
    xmlText = xmlText && IsXmlText(split.fName) && IsXmlText(split.fLabel);
  }
  if (!xmlText) {
    fStatus = MCStatus(kMalformed, false);
    return fStatus;
  }
  fStatus = fReadWrite.ParseToDOM(pmmlFileName);
  if (!fStatus.IsOK()) return fStatus;
  try {
    fStatus = Combine(splitValues);
  } catch (...) {
    // A DOM operation refused a node; the status says the document could not be used.
    fStatus = MCStatus(kMalformed, false);
  }
  return fStatus;
}

MCStatus MCXSplitPMMLCombiner::StartDocument(const X::DOMElement& pmml,
                                             const X::DOMElement& model) {
  X::DOMImplementation* impl = X::DOMImplementationRegistry::getDOMImplementation(u"Core");
  if (impl == nullptr) return MCStatus(kMalformed, false);
  std::unique_ptr<X::DOMDocument, DocumentReleaser> doc(
      impl->createDocument(kNamespace, u"PMML", nullptr));
  X::DOMElement* root = doc->getDocumentElement();
  CopyAttributes(pmml, *root, true);
  Set(*root, "version", kVersion);
  root->setAttributeNS(kXmlnsNamespace, u"xmlns", kNamespace);
  root->setAttributeNS(kXmlnsNamespace, u"xmlns:xsi", kSchemaInstance);
  root->setAttributeNS(kSchemaInstance, u"xsi:schemaLocation", Wide(kSchemaLocation).data());

  // The schema requires a header; the first document's is kept.
  const X::DOMElement* header = GetFirstChildElmt(&pmml, "Header");
  root->appendChild(header != nullptr ? CopyElement(*doc, *header) : NewElement(*doc, "Header"));
  const X::DOMElement* dict = GetFirstChildElmt(&pmml, "DataDictionary");
  X::DOMElement* dataDict =
      dict != nullptr ? CopyElement(*doc, *dict) : NewElement(*doc, "DataDictionary");
  root->appendChild(dataDict);

  X::DOMElement* mining = NewElement(*doc, "MiningModel");
  Set(*mining, "functionName", fFunctionName);
  root->appendChild(mining);
  const X::DOMElement* schema = GetFirstChildElmt(&model, "MiningSchema");
  X::DOMElement* miningSchema =
      schema != nullptr ? CopyElement(*doc, *schema) : NewElement(*doc, "MiningSchema");
  mining->appendChild(miningSchema);

  for (const SplitVar& split : fvSplitVars) {
    const std::vector<XMLCh> name = Wide(split.fName);
    if (FindMatching(*dataDict, "DataField", "name", name.data()) == nullptr) {
      X::DOMElement* field = NewElement(*doc, "DataField");
      Set(*field, "name", split.fName);
      if (!split.fLabel.empty()) Set(*field, "displayName", split.fLabel);
      Set(*field, "optype", split.fOpType);
      Set(*field, "dataType", split.fDataType);
      InsertAfterLast(*dataDict, field, "DataField", "Taxonomy");
    }
    if (FindMatching(*miningSchema, "MiningField", "name", name.data()) == nullptr) {
      X::DOMElement* field = NewElement(*doc, "MiningField");
      Set(*field, "name", split.fName);
      InsertAfterLast(*miningSchema, field, "MiningField", nullptr);
    }
  }
  UpdateFieldCount(*dataDict);

  X::DOMElement* segmentation = NewElement(*doc, "Segmentation");
  Set(*segmentation, "multipleModelMethod", "selectFirst");
  mining->appendChild(segmentation);

  fpDocument = std::move(doc);
  fpDataDict = dataDict;
  fpMiningSchema = miningSchema;
  fpSegmentation = segmentation;
  return MCStatus();
}

MCStatus MCXSplitPMMLCombiner::Combine(const std::vector<std::string>& splitValues) {
  const X::DOMDocument* source = fReadWrite.GetDocument();
  const X::DOMElement* pmml = source->getDocumentElement();
  if (!TagNameEquals(pmml, "PMML")) return MCStatus(kNoModel, false);
  const X::DOMElement* model = nullptr;
  for (const std::string& name : fvModelNames) {
    model = GetFirstChildElmt(pmml, name.c_str());
    if (model != nullptr) break;
  }
  if (model == nullptr) return MCStatus(kNoModel, false);
  if (IsMiningModel(*model)) return MCStatus(kSplitMiningModelInput, false);
  std::string functionName;
  const MCStatus status = GetFunctionNameAtt(*model, functionName);
  if (!status.IsOK()) return status;

  if (!fpDocument) {
    fFunctionName = functionName;
    const MCStatus started = StartDocument(*pmml, *model);
    if (!started.IsOK()) return started;
  } else {
    if (!IsConsistentFunctionName(functionName)) return MCStatus(kSplitFunctionMismatch, false);
    const X::DOMElement* dict = GetFirstChildElmt(pmml, "DataDictionary");
    if (dict != nullptr) MergeDataDictionary(*fpDocument, *fpDataDict, *dict);
    MergeMiningSchema(*fpDocument, *fpMiningSchema, GetFirstChildElmt(model, "MiningSchema"));
  }

  X::DOMDocument& doc = *fpDocument;
  X::DOMElement* segment = NewElement(doc, "Segment");
  Set(*segment, "id", std::to_string(fNModels + 1));
  X::DOMElement* predicateParent = segment;
  if (fvSplitVars.size() > 1) {
    X::DOMElement* compound = NewElement(doc, "CompoundPredicate");
    Set(*compound, "booleanOperator", "and");
    segment->appendChild(compound);
    predicateParent = compound;
  }
  for (std::size_t k = 0; k < fvSplitVars.size(); ++k) {
    X::DOMElement* simple = NewElement(doc, "SimplePredicate");
    Set(*simple, "field", fvSplitVars[k].fName);
    Set(*simple, "operator", "equal");
    Set(*simple, "value", splitValues[k]);
    predicateParent->appendChild(simple);
  }
  X::DOMElement* copy = CopyElement(doc, *model);
  AddLocalTransformations(doc, *copy, GetFirstChildElmt(pmml, "TransformationDictionary"));
  segment->appendChild(copy);
  fpSegmentation->appendChild(segment);
  ++fNModels;
  return MCStatus();
}

MCStatus MCXSplitPMMLCombiner::ExportMiningModel(const std::string& fileName) {
  if (!fpDocument) {
    fStatus = MCStatus(kNoModel, false);
    return fStatus;
  }
  fStatus = fReadWrite.WriteFromDOM(fileName, fpDocument.get());
  fpDataDict = nullptr;
  fpMiningSchema = nullptr;
  fpSegmentation = nullptr;
  fpDocument.reset();
  fFunctionName.clear();
  fNModels = 0;
  return fStatus;
}

void MCXSplitPMMLCombiner::Display(std::ostream& os) const {
  os << "MCXSplitPMMLCombiner display start\n";
  os << "fvSplitVars: " << fvSplitVars.size() << "\n";
  for (const SplitVar& split : fvSplitVars) {
    os << "  " << split.fName << " \"" << split.fLabel << "\" " << split.fOpType << " "
       << split.fDataType << "\n";
  }
  os << "fStatus: " << fStatus.GetErrorCode() << "\n";
  os << "fFunctionName: " << fFunctionName << "\n";
  os << "fNModels: " << fNModels << "\n";
  os << "MCXSplitPMMLCombiner display end\n";
}

}  // namespace MCComXPrsUtil
