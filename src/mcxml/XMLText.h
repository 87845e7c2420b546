#ifndef MCSTAT_SRC_MCXML_XMLTEXT_H_
#define MCSTAT_SRC_MCXML_XMLTEXT_H_

// Text helpers shared by the tree writer and the object stream; not exported.

#include <string>

namespace MCCommonXML {
namespace internal {

// Escapes an attribute value: & < > " tab LF CR become references, every pair of spaces
// becomes " &#32;", then a leading and a trailing space become "&#32;" so that attribute
// value normalisation by a reader cannot change the value.
std::string EscapeAttribute(const std::string& value);

// name="escaped value"
std::string AttributeText(const std::string& name, const std::string& value);

// Text in the system's code page as UTF-8: valid UTF-8 is returned unchanged, anything else
// is decoded byte by byte as Windows-1252.
std::string ToUtf8(const std::string& text);

}  // namespace internal
}  // namespace MCCommonXML

#endif  // MCSTAT_SRC_MCXML_XMLTEXT_H_
