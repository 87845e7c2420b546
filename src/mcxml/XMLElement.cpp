#include "XMLElement.h"

#include <cassert>
#include <clocale>
#include <cstdio>
#include <locale>
#include <sstream>
#include <vector>

#include "mcxml/XMLText.h"

namespace MCCommonXML {

namespace {

// Where a node's text goes: appended to a string, or written to a stream (optionally as
// UTF-8). Elements write their own markup piece by piece so that the UTF-8 conversion
// judges each name, attribute and text on its own.
class Sink {
 public:
  explicit Sink(std::string& out) : fpString(&out) {}
  Sink(std::ostream& os, bool utf8) : fpStream(&os), fbUtf8(utf8) {}

  void Put(const std::string& text) {
    if (fpString != nullptr) {
      fpString->append(text);
    } else if (fbUtf8) {
      WriteUTF(*fpStream, text);
    } else {
      Write(*fpStream, text);
    }
  }
  void Put(char c) { Put(std::string(1, c)); }

  void Node(const XMLInterface& node, ExportFormat& format) {
    if (fpString != nullptr) {
      node.ToString(*fpString, format);
    } else {
      node.ToStream(*fpStream, format, fbUtf8);
    }
  }

 private:
  std::string* fpString = nullptr;
  std::ostream* fpStream = nullptr;
  bool fbUtf8 = false;
};

std::string Indent(const ExportFormat& format) {
  return format.GetLevel() > 0 ? std::string(static_cast<std::size_t>(format.GetLevel()), '\t')
                               : std::string();
}

// & and < as references; also the > of "]]>", which character data cannot hold, and CR,
// which a reader would turn into LF.
std::string StringNodeText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>' && i >= 2 && text[i - 1] == ']' && text[i - 2] == ']') {
      out += "&gt;";
    } else if (c == '\r') {
      out += "&#13;";
    } else {
      out += c;
    }
  }
  return out;
}

std::string DocTypeText(const XMLDocType& doc) {
  std::string out = kXMLDeclaration;
  out += "\n<!DOCTYPE ";
  out += doc.GetRoot();
  out += " SYSTEM \"";
  out += doc.GetSystemId();
  out += '"';
  if (!doc.GetExtension().empty()) {
    out += "\n[";
    out += doc.GetExtension();
    out += "\n]";
  }
  out += ">\n";
  return out;
}

int WriteDocument(std::ostream& os, const XMLDocType* docType, const XMLElement* root, bool format,
                  bool utf8) {
  ExportFormat layout;
  layout.SetFormat(format);
  if (docType == nullptr) {
    Sink(os, utf8).Put(std::string(kXMLDeclaration) + "\n");
  } else {
    docType->ToStream(os, layout, utf8);
  }
  if (root != nullptr) root->ToStream(os, layout, utf8);
  return 0;
}

}  // namespace

const char* GetListSeparator() { return ";"; }

char GetDecimalCharacter() {
  const std::lconv* conv = std::localeconv();
  return (conv != nullptr && conv->decimal_point != nullptr && conv->decimal_point[0] != '\0')
             ? conv->decimal_point[0]
             : '.';
}

// ---------------------------------------------------------------------------------------
// Nodes

XMLInterface::~XMLInterface() = default;

XMLAttribute* XMLAttribute::Create(const std::string& name, const std::string& value) {
  return new XMLAttribute(name, value);
}

XMLAttribute* XMLAttribute::Create(const std::string& name, double value) {
  return new XMLAttribute(name, ReplaceSep(value));
}

int XMLAttribute::ToString(std::string& out, ExportFormat& /*format*/) const {
  out += internal::AttributeText(fName, fValue);
  return 0;
}

int XMLAttribute::ToStream(std::ostream& os, ExportFormat& format, bool utf8) const {
  std::string text;
  ToString(text, format);
  Sink(os, utf8).Put(text);
  return 0;
}

XMLString* XMLString::Create(const std::string& text) { return new XMLString(text); }

int XMLString::ToString(std::string& out, ExportFormat& format) const {
  out += StringNodeText(fText);
  // Any white space added after character data would become part of the content.
  format.SetIsNewParagraph(false);
  format.SetIndentation(false);
  return 0;
}

int XMLString::ToStream(std::ostream& os, ExportFormat& format, bool utf8) const {
  std::string text;
  ToString(text, format);
  Sink(os, utf8).Put(text);
  return 0;
}

XMLElement* XMLElement::Create(const std::string& name) { return new XMLElement(name); }

XMLElement::~XMLElement() {
  for (XMLAttribute* a : fvAttributes) delete a;
  // Descendants are taken over level by level before deletion, so a deep tree does not
  // recurse through the destructors.
  std::vector<XMLInterface*> pending;
  pending.swap(fvChildren);
  while (!pending.empty()) {
    XMLInterface* node = pending.back();
    pending.pop_back();
    if (auto* element = dynamic_cast<XMLElement*>(node)) {
      pending.insert(pending.end(), element->fvChildren.begin(), element->fvChildren.end());
      element->fvChildren.clear();
    }
    delete node;
  }
}

int XMLElement::AddElement(XMLString* element) {
  assert(element);
  if (element != nullptr) fvChildren.push_back(element);
  return static_cast<int>(fvChildren.size());
}

int XMLElement::AddElement(XMLElement* element) {
  assert(element);
  if (element != nullptr) fvChildren.push_back(element);
  return static_cast<int>(fvChildren.size());
}

int XMLElement::AddAttribute(XMLAttribute* attribute) {
  if (attribute != nullptr) fvAttributes.push_back(attribute);
  return static_cast<int>(fvAttributes.size());
}

int XMLElement::AddAttribute(const std::string& name, const std::string& value) {
  return AddAttribute(XMLAttribute::Create(name, value));
}

int XMLElement::AddAttribute(const std::string& name, double value) {
  return AddAttribute(XMLAttribute::Create(name, value));
}

int XMLElement::AddAttribute(const std::string& name, const char* value) {
  return AddAttribute(name, std::string(value != nullptr ? value : ""));
}

const XMLAttribute* XMLElement::GetAttribute(std::size_t i) const {
  return i < fvAttributes.size() ? fvAttributes[i] : nullptr;
}

const XMLInterface* XMLElement::GetChild(std::size_t i) const {
  return i < fvChildren.size() ? fvChildren[i] : nullptr;
}

namespace {

// Writes the start of an element: name and attributes, then "/>" when it has no children
// (returns false), else ">" with the level raised (returns true).
bool WriteHead(const XMLElement& e, Sink& sink, ExportFormat& format) {
  std::string head;
  if (format.IsNewParagraph()) head += '\n';
  if (format.HasIndentation()) head += Indent(format);
  head += '<';
  head += e.GetName();
  sink.Put(head);

  if (e.GetNumAttributes() > 0) {
    format.IncLevel();
    for (std::size_t i = 0; i < e.GetNumAttributes(); ++i) {
      std::string lead = format.IsNewParagraph() ? "\n" : " ";
      if (format.HasIndentation()) lead += Indent(format);
      sink.Put(lead);
      sink.Node(*e.GetAttribute(i), format);
    }
    format.DecLevel();
  }

  if (e.GetNumChildren() == 0) {
    sink.Put("/>");
    return false;
  }
  sink.Put('>');
  format.IncLevel();
  return true;
}

void WriteTail(const XMLElement& e, Sink& sink, ExportFormat& format) {
  format.DecLevel();
  std::string tail;
  if (format.IsNewParagraph()) tail += '\n';
  if (format.HasIndentation()) tail += Indent(format);
  tail += "</";
  tail += e.GetName();
  tail += '>';
  sink.Put(tail);
}

// Walks the tree with a stack of its own, so that the depth of a tree costs no call depth.
void WriteElement(const XMLElement& root, Sink& sink, ExportFormat& format) {
  struct Open {
    const XMLElement* fpElement;
    std::size_t fNext;
  };
  std::vector<Open> open;
  if (WriteHead(root, sink, format)) open.push_back({&root, 0});
  while (!open.empty()) {
    const XMLElement& e = *open.back().fpElement;
    if (open.back().fNext == e.GetNumChildren()) {
      WriteTail(e, sink, format);
      open.pop_back();
      continue;
    }
    const XMLInterface& child = *e.GetChild(open.back().fNext++);
    if (const auto* element = dynamic_cast<const XMLElement*>(&child)) {
      if (WriteHead(*element, sink, format)) open.push_back({element, 0});
    } else {
      sink.Node(child, format);
    }
  }
}

}  // namespace

int XMLElement::ToString(std::string& out, ExportFormat& format) const {
  Sink sink(out);
  WriteElement(*this, sink, format);
  return 0;
}

int XMLElement::ToStream(std::ostream& os, ExportFormat& format, bool utf8) const {
  Sink sink(os, utf8);
  WriteElement(*this, sink, format);
  return 0;
}

XMLDocType* XMLDocType::Create(const std::string& root, const std::string& systemId, long value) {
  return new XMLDocType(root, systemId, value);
}

std::size_t XMLDocType::AddExtension(const std::string& text) {
  fExtension += '\n';
  fExtension += text;
  return fExtension.size();
}

int XMLDocType::ToString(std::string& out, ExportFormat& /*format*/) const {
  out += DocTypeText(*this);
  return 0;
}

int XMLDocType::ToStream(std::ostream& os, ExportFormat& /*format*/, bool utf8) const {
  Sink(os, utf8).Put(DocTypeText(*this));
  return 0;
}

// ---------------------------------------------------------------------------------------
// Writers and number formatting

int Write(std::ostream& os, const std::string& text) {
  os.write(text.data(), static_cast<std::streamsize>(text.size()));
  return 0;
}

int WriteUTF(std::ostream& os, const std::string& text) {
  return Write(os, internal::ToUtf8(text));
}

int WriteTree(std::ostream& os, const XMLDocType* docType, const XMLElement* root, bool format) {
  return WriteDocument(os, docType, root, format, false);
}

int WriteTreeUTF8(std::ostream& os, const XMLDocType* docType, const XMLElement* root,
                  bool format) {
  return WriteDocument(os, docType, root, format, true);
}

std::string Format(double v, bool useFormat, const char* fmt) {
  if (!useFormat) return ReplaceSep(v);
  const char* f = fmt != nullptr ? fmt : kDefaultNumberFormat;
  char small[64];
  const int n = std::snprintf(small, sizeof small, f, v);
  if (n < 0) return std::string();
  if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, small + n);
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(&big[0], big.size(), f, v);
  big.resize(static_cast<std::size_t>(n));
  return big;
}

std::string Format(long v) { return Format(static_cast<double>(v), true, kDefaultNumberFormat); }

std::string ReplaceSep(double v) {
  std::ostringstream os;
  os.imbue(std::locale::classic());
  os.precision(15);
  os << v;
  return os.str();
}

}  // namespace MCCommonXML
