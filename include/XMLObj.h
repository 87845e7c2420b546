#ifndef MCSTAT_XMLOBJ_H_
#define MCSTAT_XMLOBJ_H_

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>

#include "mcstat_export.h"

namespace MCCommonXML {

// The line-oriented object stream in which variables, encoders and variable lists save
// and restore themselves. A stream is: the XML declaration line, the document type line
// (root "MCXMLRoot", system identifier "savexml.dtd"), both written by the caller through
// an XMLDocType; the root start line (WriteHeader); the objects; the root end line
// (EndHeader). Every element after the root start line begins with a line feed, so the
// stream has no trailing newline.
//
//   <Obj name="MCVarList">        StartObj, at the object's tabs
//       <Int value="3"/>          WriteSubElement, one tab deeper
//   </Obj>                        EndObj
//
// Lines end in LF or CRLF and hold at most kMaxLineLength characters. Writers return 0 and
// do not report stream errors; a line longer than the readers accept is not written, and
// the stream is set to fail instead, so a stream that is still good after writing holds
// everything. Readers consume one line each (a longer line fails at the limit, so no more
// than that is held, and leaves the stream failed) and return false on a stream error or
// when the line does not match, leaving the target unchanged.
class MCSTAT_EXPORT XMLObj {
 public:
  // The longest line, line end excluded, that is written and read.
  static constexpr std::size_t kMaxLineLength = 65536;

  // An object written under the element name given by name, its lines indented by tabs
  // tabs (negative counts as 0).
  XMLObj(const std::string& name, int tabs);

  const std::string& GetName() const { return fName; }
  int GetNTabs() const { return fNTabs; }

  // Line feed, tabs, <Obj name="the object's name">.
  int StartObj(std::ostream& os) const;
  // Line feed, tabs + 1, <Int value="v"/>. bool is written as 0 or 1.
  int WriteSubElement(std::ostream& os, int v) const;
  int WriteSubElement(std::ostream& os, unsigned int v) const;
  int WriteSubElement(std::ostream& os, bool v) const;
  // <Long value="v"/>, the exact integer.
  int WriteSubElement(std::ostream& os, long v) const;
  // <Double value="v"/>: 15 significant digits with a decimal point, "Missing" for the
  // system-missing value, "inf", "-inf" and "nan" for the values that are not finite.
  int WriteSubElement(std::ostream& os, double v) const;
  // The same with the shortest text that reads back as exactly v: for numbers that identify
  // something (category values, missing values), which 15 digits could merge or change.
  int WriteExactSubElement(std::ostream& os, double v) const;
  // <String value="v"/>, escaped as an attribute value; the bytes are written as they are.
  int WriteSubElement(std::ostream& os, const std::string& v) const;
  // Keeps a string literal from being written as a bool.
  int WriteSubElement(std::ostream& os, const char* v) const;
  // Line feed, tabs, </Obj>.
  int EndObj(std::ostream& os) const;

  // <MCXMLRoot copyright="copyright">, with no line feed before it. WriteHeader is the same.
  static int StartRoot(std::ostream& os, const std::string& copyright);
  static int WriteHeader(std::ostream& os, const std::string& copyright);
  // Line feed, </MCXMLRoot>. EndHeader is the same.
  static int EndRoot(std::ostream& os);
  static int EndHeader(std::ostream& os);

  // Reads the three opening lines: XML declaration, document type, root start tag.
  static bool ParseStartXML(std::istream& is);
  // Reads an object start line (skipping one empty line first) whose name is name.
  static bool ParseStartObj(std::istream& is, const std::string& name);
  // Reads one value line of the matching kind: Int for int, unsigned int and bool (which
  // must be 0 or 1), Long for long, Double for double, String for string. A double
  // beyond the double range reads as the largest (or lowest) double; "Missing" reads as
  // the system-missing value; "inf", "-inf" and "nan" (any letter case) read as those
  // values; other text that is not wholly a number fails. A string comes back as it was
  // written: the predefined and numeric character references are converted back, and a
  // stray ampersand fails.
  static bool ParseValue(std::istream& is, int& v);
  static bool ParseValue(std::istream& is, unsigned int& v);
  static bool ParseValue(std::istream& is, long& v);
  static bool ParseValue(std::istream& is, double& v);
  static bool ParseValue(std::istream& is, std::string& v);
  static bool ParseValue(std::istream& is, bool& v);
  // Reads an object end line.
  static bool ParseEndObj(std::istream& is);

 private:
  int WriteValueLine(std::ostream& os, const char* kind, const std::string& value) const;

  std::string fName;
  int fNTabs = 0;
};

}  // namespace MCCommonXML

#endif  // MCSTAT_XMLOBJ_H_
