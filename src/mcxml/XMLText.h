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

// True when every character of the text, read as ToUtf8 reads it, is one that an XML 1.0
// document can hold (tab, LF, CR, U+0020-U+D7FF, U+E000-U+FFFD, U+10000-U+10FFFF), raw or
// as a reference.
bool IsXmlText(const std::string& text);

// The text without the XML white space (space, tab, CR, LF) at either end.
std::string TrimXmlSpace(const std::string& text);

// The shortest decimal text that reads back as the same double, decimal point always;
// "inf", "-inf" and "nan" for the values that are not finite.
std::string ExactNumberText(double v);

// Reads the whole text as a double: a decimal number (a leading '+' allowed), "inf",
// "infinity" or "nan" in any letter case, with an optional sign. A number beyond the double
// range reads as the largest (or lowest) double, one too small for it as the nearest
// double (zero). False for anything else, v unchanged.
bool ParseNumberText(const std::string& text, double& v);

// Converts the references of an attribute value back: &amp; &lt; &gt; &quot; &apos; and
// numeric references (decimal or hexadecimal, any code point but 0 and the surrogates, as
// UTF-8). False, out unchanged, when an ampersand does not start one of them.
bool DecodeReferences(const std::string& text, std::string& out);

}  // namespace internal
}  // namespace MCCommonXML

#endif  // MCSTAT_SRC_MCXML_XMLTEXT_H_
