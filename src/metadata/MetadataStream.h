#ifndef MCSTAT_METADATA_METADATASTREAM_H_
#define MCSTAT_METADATA_METADATASTREAM_H_

#include <istream>
#include <ostream>
#include <string>

#include "IMCEncoder.h"
#include "XMLObj.h"

namespace MCCommonMetadata {
namespace internal {

// Writes one object of the object stream and counts its lines.
class ObjWriter {
 public:
  ObjWriter(std::ostream& os, const char* name, int tabs) : fOs(os), fObj(name, tabs) {
    fObj.StartObj(fOs);
    fLines = 1;
  }

  void Put(int v) { Count(fObj.WriteSubElement(fOs, v)); }
  void Put(bool v) { Count(fObj.WriteSubElement(fOs, v)); }
  // 15 significant digits.
  void Put(double v) { Count(fObj.WriteSubElement(fOs, v)); }
  // A number that identifies something: the shortest text that reads back as v.
  void PutExact(double v) { Count(fObj.WriteExactSubElement(fOs, v)); }
  void Put(const std::string& v) { Count(fObj.WriteSubElement(fOs, v)); }
  // Adds the lines of a nested object.
  void AddNested(int lines) { fLines += lines; }
  // Depth of a nested object.
  int NestedTabs() const { return fObj.GetNTabs() + 1; }
  std::ostream& Stream() { return fOs; }
  // Writes the end line and returns the lines written in all.
  int End() {
    fObj.EndObj(fOs);
    return fLines + 1;
  }

 private:
  void Count(int /*writerResult*/) { ++fLines; }

  std::ostream& fOs;
  MCCommonXML::XMLObj fObj;
  int fLines = 0;
};

// Reads one object of the object stream and counts its lines. Every failure prints the
// reader's message on standard error and throws a new IOException.
class ObjReader {
 public:
  ObjReader(std::istream& is, const char* failureMessage) : fIs(is), fMessage(failureMessage) {}

  void Start(const std::string& name);
  int GetInt();
  bool GetBool();
  double GetDouble();
  std::string GetString();
  // A count of following elements: an Int that must not be negative.
  int GetCount();
  void AddNested(int lines) { fLines += lines; }
  std::istream& Stream() { return fIs; }
  // Reads the end line and returns the lines consumed in all.
  int End();
  [[noreturn]] void Fail() const;

 private:
  std::istream& fIs;
  const char* fMessage;
  int fLines = 0;
};

// The user-missing block shared by the numeric encoders: Int has interval, [Double low,
// Double high], Int m, m Double values, m String labels. The numbers are written exactly.
void WriteUserMissing(ObjWriter& w, const MCUserMissing& um);
// Clears um, then reads the block into it.
void ReadUserMissing(ObjReader& r, MCUserMissing& um);

}  // namespace internal
}  // namespace MCCommonMetadata

#endif  // MCSTAT_METADATA_METADATASTREAM_H_
