#include "MCXMLUtil.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <locale>
#include <sstream>
#include <xercesc/dom/DOM.hpp>

#include "MCMV.h"

namespace MCComXPrsUtil {

namespace X = xercesc;

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUTF8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUTF16(char32_t cp, std::vector<XMLCh>& out) {
  if (cp < 0x10000) {
    out.push_back(static_cast<XMLCh>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<XMLCh>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<XMLCh>(0xDC00 + (cp & 0x3FF)));
  }
}

// Decodes one UTF-8 sequence at s[i], advancing i; overlong forms, surrogates and
// truncated sequences give the replacement character and consume one byte.
char32_t DecodeUTF8(const unsigned char* s, std::size_t& i) {
  const unsigned char lead = s[i];
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  int extra = 0;
  char32_t cp = 0;
  char32_t least = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    cp = lead & 0x1F;
    least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    cp = lead & 0x0F;
    least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    cp = lead & 0x07;
    least = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  for (int k = 1; k <= extra; ++k) {
    const unsigned char c = s[i + k];  // the terminator stops a truncated sequence here
    if ((c & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

bool IsXMLSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads an xs:int-like text: optional surrounding white space, optional sign, digits.
bool ParseInt(const std::string& text, int& value) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && IsXMLSpace(text[b])) ++b;
  while (e > b && IsXMLSpace(text[e - 1])) --e;
  bool negative = false;
  if (b < e && (text[b] == '+' || text[b] == '-')) {
    negative = text[b] == '-';
    ++b;
  }
  if (b == e) return false;
  const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int>::min())
                                 : static_cast<int64_t>(std::numeric_limits<int>::max());
  int64_t magnitude = 0;
  for (std::size_t i = b; i < e; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) return false;
  }
  value = static_cast<int>(negative ? -magnitude : magnitude);
  return true;
}

bool IsElement(const X::DOMNode* node) {
  return node != nullptr && node->getNodeType() == X::DOMNode::ELEMENT_NODE;
}

bool IsVendorExtension(const X::DOMElement* element, const char* name) {
  if (!TagNameEquals(element, "Extension")) return false;
  if (!XStrEqualsUTF8Str(GetAttribute(element, "extender"), kVendorExtender)) return false;
  return name == nullptr || XStrEqualsUTF8Str(GetAttribute(element, "name"), name);
}

X::DOMElement* NextVendorExtension(const X::DOMNode* start, const char* name) {
  for (X::DOMElement* e = AsElement(start, nullptr); e != nullptr;
       e = GetNextSiblingElmt(e, nullptr)) {
    if (IsVendorExtension(e, name)) return e;
  }
  return nullptr;
}

}  // namespace

std::string ToUTF8(const XMLCh* text) {
  std::string out;
  if (text == nullptr) return out;
  for (std::size_t i = 0; text[i] != 0; ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    AppendUTF8(cp, out);
  }
  return out;
}

std::vector<XMLCh> ToUTF16(const char* text) {
  std::vector<XMLCh> out;
  if (text != nullptr) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = 0;
    while (s[i] != 0) AppendUTF16(DecodeUTF8(s, i), out);
  }
  out.push_back(0);
  return out;
}

bool XStrEqualsUTF8Str(const XMLCh* xstr, const char* str) {
  if (xstr == nullptr || str == nullptr) return xstr == nullptr && str == nullptr;
  const std::vector<XMLCh> wide = ToUTF16(str);
  std::size_t i = 0;
  for (; xstr[i] != 0 && wide[i] != 0; ++i) {
    if (xstr[i] != wide[i]) return false;
  }
  return xstr[i] == wide[i];
}

bool TagNameEquals(const X::DOMElement* element, const char* name) {
  return element != nullptr && name != nullptr && XStrEqualsUTF8Str(element->getTagName(), name);
}

const XMLCh* GetAttribute(const X::DOMElement* element, const char* name) {
  if (element == nullptr || name == nullptr) return nullptr;
  const std::vector<XMLCh> wide = ToUTF16(name);
  const X::DOMAttr* attr = element->getAttributeNode(wide.data());
  return attr != nullptr ? attr->getValue() : nullptr;
}

const XMLCh* GetAttribute(const X::DOMNode* node, const char* name) {
  if (!IsElement(node)) return nullptr;
  return GetAttribute(static_cast<const X::DOMElement*>(node), name);
}

int GetIntAttribute(const X::DOMElement* element, const char* name, int sign, int& out) {
  const XMLCh* text = GetAttribute(element, name);
  if (text == nullptr) return -1;
  int value = 0;
  if (!ParseInt(ToUTF8(text), value)) return 1;
  if (sign == 0 && value < 0) return 1;
  if (sign > 0 && value <= 0) return 1;
  out = value;
  return 0;
}

int GetDoubleAttribute(const X::DOMElement* element, const char* name, double& out) {
  const XMLCh* text = GetAttribute(element, name);
  if (text == nullptr) return -1;
  const MCXMLDouble number(text);
  if (!number.IsNumber()) return 1;
  out = number.GetValue();
  return 0;
}

int FindXStrInList(const XMLCh* xstr, const MCXNamedNumber* table) {
  if (xstr == nullptr || table == nullptr) return -1;
  for (int i = 0; table[i].fName != nullptr; ++i) {
    if (XStrEqualsUTF8Str(xstr, table[i].fName)) return i;
  }
  return -1;
}

int FindXStrInList(const XMLCh* xstr, const std::vector<std::string>& names) {
  if (xstr == nullptr) return -1;
  const std::string text = ToUTF8(xstr);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == text) return static_cast<int>(i);
  }
  return -1;
}

X::DOMElement* AsElement(const X::DOMNode* node, const char* name) {
  if (!IsElement(node)) return nullptr;
  // The DOM hands out non-const nodes from const ones; this helper follows it.
  auto* element = static_cast<X::DOMElement*>(const_cast<X::DOMNode*>(node));
  if (name != nullptr && !TagNameEquals(element, name)) return nullptr;
  return element;
}

X::DOMElement* GetFirstChildElmt(const X::DOMNode* node, const char* name) {
  if (node == nullptr) return nullptr;
  for (const X::DOMNode* child = node->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (X::DOMElement* e = AsElement(child, name)) return e;
  }
  return nullptr;
}

X::DOMElement* GetFirstChildElmt(const X::DOMNode* node, const MCXNamedNumber* table,
                                 std::size_t& which) {
  if (node == nullptr || table == nullptr) return nullptr;
  for (std::size_t i = 0; table[i].fName != nullptr; ++i) {
    if (X::DOMElement* e = GetFirstChildElmt(node, table[i].fName)) {
      which = i;
      return e;
    }
  }
  return nullptr;
}

X::DOMElement* GetNextSiblingElmt(const X::DOMNode* node, const char* name) {
  if (node == nullptr) return nullptr;
  for (const X::DOMNode* next = node->getNextSibling(); next != nullptr;
       next = next->getNextSibling()) {
    if (X::DOMElement* e = AsElement(next, name)) return e;
  }
  return nullptr;
}

X::DOMElement* GetFirstChildExtension(const X::DOMNode* node, const char* name) {
  X::DOMElement* first = GetFirstChildElmt(node, nullptr);
  return first != nullptr ? NextVendorExtension(first, name) : nullptr;
}

X::DOMElement* GetNextSiblingExtension(const X::DOMNode* node, const char* name) {
  X::DOMElement* next = GetNextSiblingElmt(node, nullptr);
  return next != nullptr ? NextVendorExtension(next, name) : nullptr;
}

X::DOMElement* CreateElement(X::DOMDocument* document, const char* name) {
  if (document == nullptr || name == nullptr) return nullptr;
  try {
    const std::vector<XMLCh> wide = ToUTF16(name);
    return document->createElement(wide.data());
  } catch (...) {
    return nullptr;
  }
}

bool SetAttribute(X::DOMElement* element, const char* name, const char* value) {
  if (element == nullptr || name == nullptr || value == nullptr) return false;
  try {
    const std::vector<XMLCh> wideName = ToUTF16(name);
    const std::vector<XMLCh> wideValue = ToUTF16(value);
    element->setAttribute(wideName.data(), wideValue.data());
    return true;
  } catch (...) {
    return false;
  }
}

bool SetAttribute(X::DOMElement* element, const char* name, double value) {
  if (std::isinf(value)) return false;
  if (std::isnan(value) || MCMV::IsMissing(value)) return SetAttribute(element, name, "NaN");
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text.precision(15);
  text << value;
  return SetAttribute(element, name, text.str().c_str());
}

X::DOMElement* CreateExtension(X::DOMDocument* document, const char* name) {
  X::DOMElement* element = CreateElement(document, "Extension");
  if (element == nullptr) return nullptr;
  bool ok = SetAttribute(element, "extender", kVendorExtender);
  if (ok && name != nullptr && name[0] != '\0') ok = SetAttribute(element, "name", name);
  if (!ok) {
    element->release();
    return nullptr;
  }
  return element;
}

bool ReplaceElement(X::DOMElement* element, X::DOMElement* oldChild, X::DOMElement* newChild) {
  if (element == nullptr || oldChild == nullptr || newChild == nullptr) return false;
  try {
    return element->replaceChild(newChild, oldChild) == oldChild;
  } catch (...) {
    return false;
  }
}

bool InsertElement(X::DOMElement* element, X::DOMElement* child, X::DOMElement* before) {
  if (element == nullptr || child == nullptr) return false;
  try {
    return element->insertBefore(child, before) == child;
  } catch (...) {
    return false;
  }
}

bool AssembleDoublesList(const X::DOMElement* element, std::vector<double>& values) {
  values.clear();
  if (element == nullptr) return false;
  // The text of the element and its descendants in document order, gathered without the
  // recursion of the DOM's own text-content call.
  std::string text;
  for (const X::DOMNode* node = element->getFirstChild(); node != nullptr;) {
    const X::DOMNode::NodeType type = node->getNodeType();
    if (type == X::DOMNode::TEXT_NODE || type == X::DOMNode::CDATA_SECTION_NODE) {
      text += ToUTF8(node->getNodeValue());
    }
    if (type == X::DOMNode::ELEMENT_NODE && node->getFirstChild() != nullptr) {
      node = node->getFirstChild();
      continue;
    }
    while (node != element && node->getNextSibling() == nullptr) node = node->getParentNode();
    node = node != element ? node->getNextSibling() : nullptr;
  }
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsXMLSpace(text[i])) ++i;
    std::size_t end = i;
    while (end < text.size() && !IsXMLSpace(text[end])) ++end;
    if (end == i) break;
    const MCXMLDouble number(text.substr(i, end - i).c_str());
    if (!number.IsNumber()) return false;
    values.push_back(number.GetValue());
    i = end;
  }
  return true;
}

}  // namespace MCComXPrsUtil
