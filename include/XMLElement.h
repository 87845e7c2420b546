#ifndef MCSTAT_XMLELEMENT_H_
#define MCSTAT_XMLELEMENT_H_

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "mcstat_export.h"

namespace MCCommonXML {

// Fixed texts of the library's XML output.
inline constexpr const char kXMLDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";
inline constexpr const char kObjStreamSystemId[] = "savexml.dtd";
inline constexpr const char kRootElementName[] = "MCXMLRoot";
inline constexpr const char kRootAttributeName[] = "copyright";
inline constexpr const char kObjElementName[] = "Obj";
inline constexpr const char kObjAttributeName[] = "name";
inline constexpr const char kIntElementName[] = "Int";
inline constexpr const char kLongElementName[] = "Long";
inline constexpr const char kDoubleElementName[] = "Double";
inline constexpr const char kStringElementName[] = "String";
inline constexpr const char kValueAttributeName[] = "value";
inline constexpr const char kMissingText[] = "Missing";
inline constexpr const char kDefaultNumberFormat[] = "%.15g";

// The list separator of the library's texts: ";".
MCSTAT_EXPORT const char* GetListSeparator();
// The decimal point of the current C locale.
MCSTAT_EXPORT char GetDecimalCharacter();

// How a tree is laid out: line feeds before elements and attributes (new paragraph), tabs
// by nesting level (indentation), both only while format is on.
class MCSTAT_EXPORT ExportFormat {
 public:
  ExportFormat() = default;

  // True when format is on and new paragraph is set.
  bool IsNewParagraph() const { return fbFormat && fbNewParagraph; }
  // True when format is on and indentation is set.
  bool HasIndentation() const { return fbFormat && fbIndentation; }
  bool IsFormat() const { return fbFormat; }
  void SetIsNewParagraph(bool on) { fbNewParagraph = on; }
  void SetIndentation(bool on) { fbIndentation = on; }
  void SetFormat(bool on) { fbFormat = on; }

  // The nesting level: one tab of indentation per level.
  int GetLevel() const { return fLevel; }
  void IncLevel() { ++fLevel; }
  void DecLevel() { --fLevel; }

 private:
  bool fbNewParagraph = true;
  bool fbIndentation = true;
  bool fbFormat = true;
  int fLevel = 0;
};

// A node of the in-memory tree.
class MCSTAT_EXPORT XMLInterface {
 public:
  virtual ~XMLInterface();
  // Appends the node's text to out, laid out by format (which the node may change);
  // returns 0.
  virtual int ToString(std::string& out, ExportFormat& format) const = 0;
  // Writes the same text to os, converted to UTF-8 when utf8 is set; returns 0.
  virtual int ToStream(std::ostream& os, ExportFormat& format, bool utf8) const = 0;

 protected:
  XMLInterface() = default;
  XMLInterface(const XMLInterface&) = delete;
  XMLInterface& operator=(const XMLInterface&) = delete;
};

// A name="value" pair; the value is escaped when written.
class MCSTAT_EXPORT XMLAttribute : public XMLInterface {
 public:
  // A new attribute owned by the caller.
  static XMLAttribute* Create(const std::string& name, const std::string& value);
  // The number is written in the classic locale with 15 significant digits.
  static XMLAttribute* Create(const std::string& name, double value);

  int ToString(std::string& out, ExportFormat& format) const override;
  int ToStream(std::ostream& os, ExportFormat& format, bool utf8) const override;

  const std::string& GetName() const { return fName; }
  const std::string& GetValue() const { return fValue; }

 private:
  XMLAttribute(const std::string& name, const std::string& value) : fName(name), fValue(value) {}

  std::string fName;
  std::string fValue;
};

// Character data, written with "&", "<", CR and the ">" of "]]>" as references. Writing it
// switches new paragraph and indentation off for the rest of the document, so that no
// layout white space is added to mixed content.
class MCSTAT_EXPORT XMLString : public XMLInterface {
 public:
  // A new text node owned by the caller.
  static XMLString* Create(const std::string& text);

  int ToString(std::string& out, ExportFormat& format) const override;
  int ToStream(std::ostream& os, ExportFormat& format, bool utf8) const override;

  const std::string& GetText() const { return fText; }

 private:
  explicit XMLString(const std::string& text) : fText(text) {}

  std::string fText;
};

// An element that owns its attributes and children. Writing and destroying a tree take no
// call depth per level, so trees of any depth are safe.
class MCSTAT_EXPORT XMLElement : public XMLInterface {
 public:
  // A new, empty element owned by the caller.
  static XMLElement* Create(const std::string& name);
  ~XMLElement() override;

  int ToString(std::string& out, ExportFormat& format) const override;
  int ToStream(std::ostream& os, ExportFormat& format, bool utf8) const override;

  // Takes ownership of the child and appends it; returns the number of children.
  // A null child is a programming error; it is not added.
  virtual int AddElement(XMLString* element);
  virtual int AddElement(XMLElement* element);

  // Takes ownership of the attribute and appends it; returns the number of attributes.
  // A null attribute is ignored.
  int AddAttribute(XMLAttribute* attribute);
  // Creates and appends an attribute; returns the number of attributes.
  int AddAttribute(const std::string& name, const std::string& value);
  int AddAttribute(const std::string& name, double value);
  // Keeps a string literal from choosing the double overload's conversions.
  int AddAttribute(const std::string& name, const char* value);

  const std::string& GetName() const { return fName; }
  std::size_t GetNumAttributes() const { return fvAttributes.size(); }
  // The attribute at index i, null outside the range.
  const XMLAttribute* GetAttribute(std::size_t i) const;
  std::size_t GetNumChildren() const { return fvChildren.size(); }
  // The child at index i, null outside the range.
  const XMLInterface* GetChild(std::size_t i) const;

 private:
  explicit XMLElement(const std::string& name) : fName(name) {}

  std::vector<XMLAttribute*> fvAttributes;  // owned
  std::string fName;
  std::vector<XMLInterface*> fvChildren;  // owned
};

// The XML declaration and the document type declaration of a document.
class MCSTAT_EXPORT XMLDocType : public XMLInterface {
 public:
  // A new document type owned by the caller; value is stored but not written.
  static XMLDocType* Create(const std::string& root, const std::string& systemId, long value);

  int ToString(std::string& out, ExportFormat& format) const override;
  int ToStream(std::ostream& os, ExportFormat& format, bool utf8) const override;

  // Appends a line feed and the text to the internal subset; returns its new length.
  std::size_t AddExtension(const std::string& text);

  const std::string& GetRoot() const { return fRoot; }
  const std::string& GetSystemId() const { return fSystemId; }
  const std::string& GetExtension() const { return fExtension; }
  long GetValue() const { return fValue; }

 private:
  XMLDocType(const std::string& root, const std::string& systemId, long value)
      : fRoot(root), fSystemId(systemId), fValue(value) {}

  std::string fRoot;
  std::string fSystemId;
  std::string fExtension;
  long fValue = 0;
};

// Writes the bytes unchanged; returns 0.
MCSTAT_EXPORT int Write(std::ostream& os, const std::string& text);
// Writes the text as UTF-8; returns 0. Text that already is valid UTF-8 passes
// unchanged; other text is taken byte by byte as Windows-1252 (the ANSI code page).
MCSTAT_EXPORT int WriteUTF(std::ostream& os, const std::string& text);

// Writes a document: the doctype node, or the XML declaration and a line feed when
// docType is null, then the root element (nothing when root is null). format switches the
// layout on or off. WriteTree writes bytes unchanged, WriteTreeUTF8 converts to UTF-8.
// Both return 0.
MCSTAT_EXPORT int WriteTree(std::ostream& os, const XMLDocType* docType, const XMLElement* root,
                            bool format);
MCSTAT_EXPORT int WriteTreeUTF8(std::ostream& os, const XMLDocType* docType, const XMLElement* root,
                                bool format);

// With useFormat, printf-style formatting of v with fmt ("%.15g" when fmt is null; fmt
// must take exactly one double); otherwise ReplaceSep(v).
MCSTAT_EXPORT std::string Format(double v, bool useFormat, const char* fmt = nullptr);
// The long as a double with "%.15g".
MCSTAT_EXPORT std::string Format(long v);
// v with 15 significant digits in the classic locale: always a decimal point.
MCSTAT_EXPORT std::string ReplaceSep(double v);

}  // namespace MCCommonXML

#endif  // MCSTAT_XMLELEMENT_H_
