#ifndef MCSTAT_MCXMLUTIL_H_
#define MCSTAT_MCXMLUTIL_H_

// Small helpers over the Xerces-C DOM: string conversion, typed attribute readers, child and
// sibling navigation, the library's "Extension" elements, and element creation.
// Names are zero-terminated UTF-8 strings. Every helper accepts null pointers (and then
// answers null, false or -1) and never lets a parser exception escape.

#include <cstddef>
#include <string>
#include <vector>

#include "MCXMLReadWrite.h"
#include "mcstat_export.h"

namespace MCComXPrsUtil {

// The "extender" of the "Extension" elements this library writes and looks for; the PMML
// writer writes the same text (kPMMLExtender).
inline constexpr const char kVendorExtender[] = "mcstat";

// One entry of a name table: a number and a name. A table ends with a null name.
struct MCXNamedNumber {
  int fNumber;
  const char* fName;
};

// The UTF-8 form of a parser string; empty for null. Unpaired surrogates become U+FFFD.
MCSTAT_EXPORT std::string ToUTF8(const XMLCh* text);
// The zero-terminated UTF-16 code units of a UTF-8 string (just the terminator for null).
// Malformed bytes become U+FFFD.
MCSTAT_EXPORT std::vector<XMLCh> ToUTF16(const char* text);
// True when both are null, or both are present and equal once the second is converted.
MCSTAT_EXPORT bool XStrEqualsUTF8Str(const XMLCh* xstr, const char* str);

// True when the element's tag name equals name (false for a null element or name).
MCSTAT_EXPORT bool TagNameEquals(const xercesc::DOMElement* element, const char* name);

// The attribute's text, or null when the attribute is absent or the node is not an element.
MCSTAT_EXPORT const XMLCh* GetAttribute(const xercesc::DOMElement* element, const char* name);
MCSTAT_EXPORT const XMLCh* GetAttribute(const xercesc::DOMNode* node, const char* name);

// Reads a whole-number attribute into out (left unchanged unless the result is 0).
// 0 when read; -1 when absent; 1 when the text is not a 32-bit integer, or sign == 0 and the
// value is negative, or sign > 0 and the value is not positive. sign < 0 accepts any value.
MCSTAT_EXPORT int GetIntAttribute(const xercesc::DOMElement* element, const char* name, int sign,
                                  int& out);
// Reads a double attribute as MCXMLDouble does into out (left unchanged unless the result
// is 0). 0 when read ("NaN" gives the system-missing value); -1 when absent; 1 when the text
// is not a number or is an infinity.
MCSTAT_EXPORT int GetDoubleAttribute(const xercesc::DOMElement* element, const char* name,
                                     double& out);

// Position of the first table entry whose name equals the string; -1 when none.
MCSTAT_EXPORT int FindXStrInList(const XMLCh* xstr, const MCXNamedNumber* table);
MCSTAT_EXPORT int FindXStrInList(const XMLCh* xstr, const std::vector<std::string>& names);

// The node as an element when it is one and (name is null or) its tag equals name; else null.
MCSTAT_EXPORT xercesc::DOMElement* AsElement(const xercesc::DOMNode* node, const char* name);
// The first child element with that tag (any tag when name is null); else null.
MCSTAT_EXPORT xercesc::DOMElement* GetFirstChildElmt(const xercesc::DOMNode* node,
                                                     const char* name);
// Tries the table's names in order and returns the first child element with the first name
// that has any matching child; which receives that name's position. Null (which unchanged)
// when no name matches.
MCSTAT_EXPORT xercesc::DOMElement* GetFirstChildElmt(const xercesc::DOMNode* node,
                                                     const MCXNamedNumber* table,
                                                     std::size_t& which);
// The next sibling element with that tag (any tag when name is null); else null.
MCSTAT_EXPORT xercesc::DOMElement* GetNextSiblingElmt(const xercesc::DOMNode* node,
                                                      const char* name);
// The first child / next sibling "Extension" whose "extender" is kVendorExtender and whose
// "name" equals name (any name when null); else null.
MCSTAT_EXPORT xercesc::DOMElement* GetFirstChildExtension(const xercesc::DOMNode* node,
                                                          const char* name);
MCSTAT_EXPORT xercesc::DOMElement* GetNextSiblingExtension(const xercesc::DOMNode* node,
                                                           const char* name);

// A new element of the document, not yet inserted; null when name is not a valid XML name.
MCSTAT_EXPORT xercesc::DOMElement* CreateElement(xercesc::DOMDocument* document, const char* name);
// Sets the attribute; true when set.
MCSTAT_EXPORT bool SetAttribute(xercesc::DOMElement* element, const char* name, const char* value);
// Sets the attribute to the number in the classic locale with 15 significant digits. The
// system-missing value and NaN are written "NaN"; infinities are refused (false, not set).
MCSTAT_EXPORT bool SetAttribute(xercesc::DOMElement* element, const char* name, double value);
// A new "Extension" element with "extender" kVendorExtender and "name" name (omitted when
// name is null or empty); null, with nothing left behind, when an attribute cannot be set.
MCSTAT_EXPORT xercesc::DOMElement* CreateExtension(xercesc::DOMDocument* document,
                                                   const char* name);
// Replaces the child oldChild of element by newChild; true when the DOM accepted it.
MCSTAT_EXPORT bool ReplaceElement(xercesc::DOMElement* element, xercesc::DOMElement* oldChild,
                                  xercesc::DOMElement* newChild);
// Inserts child before the child before of element (at the end when before is null); true
// when the DOM accepted it.
MCSTAT_EXPORT bool InsertElement(xercesc::DOMElement* element, xercesc::DOMElement* child,
                                 xercesc::DOMElement* before);

// Clears values and fills it with the numbers of the element's text, split at white space,
// each read as by GetDoubleAttribute. False (values then holds the numbers before the bad
// token) when a token is not a number or the element is null.
MCSTAT_EXPORT bool AssembleDoublesList(const xercesc::DOMElement* element,
                                       std::vector<double>& values);

}  // namespace MCComXPrsUtil

#endif  // MCSTAT_MCXMLUTIL_H_
