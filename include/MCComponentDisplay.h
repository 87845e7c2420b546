#ifndef MCSTAT_MCCOMPONENTDISPLAY_H_
#define MCSTAT_MCCOMPONENTDISPLAY_H_

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "mcstat_export.h"

namespace MCCommon {

// Diagnostic display functions. Every class's Display writes through these to one
// process-wide stream (standard output until the host sets another). Each operation
// except DisplayText writes its lines with one line end before each line.
class MCSTAT_EXPORT MCComponentDisplay {
 public:
  // Replaces the process-wide stream; the stream is not owned and must outlive its use.
  static void SetOutStream(std::ostream& out);
  static std::ostream& GetOutStream();

  // Writes nLineEnds line ends (when positive), then the text, then flushes.
  // A null text writes nothing.
  static void DisplayText(const long& nLineEnds, const char* text);
  static void DisplayText(const long& nLineEnds, const std::string& text);

  // Scalars: one line "label = value".
  static void DisplayB(const std::string& label, bool value);
  static void DisplayI(const std::string& label, int value);
  static void DisplayD(const std::string& label, double value);   // %g or "miss"
  static void DisplayDF(const std::string& label, double value);  // %.17g or "miss"
  static void DisplayS(const std::string& label, const std::string& value);
  // "label: year-mm-dd-hh-mm-ss" in local time.
  static void DisplayTimeStamp(const std::string& label);

  // Collections: a header "label (size = n)" then the elements.
  static void DisplayDV(const std::string& label, const std::vector<double>& values,
                        bool onePerLine = false);
  static void DisplayDA(const std::string& label, const double* values, int n,
                        bool onePerLine = false);
  static void DisplayIV(const std::string& label, const std::vector<int>& values);
  static void DisplayUV(const std::string& label, const std::vector<unsigned>& values);
  static void DisplayBV(const std::string& label, const std::vector<bool>& values);
  static void DisplaySV(const std::string& label, const std::vector<std::string>& values);
  static void DisplayVPII(const std::string& label,
                          const std::vector<std::pair<int, int>>& values);
  static void DisplayVPD(const std::string& label,
                         const std::vector<std::pair<double, double>>& values);
  static void DisplayVPDI(const std::string& label,
                          const std::vector<std::pair<double, int>>& values);
  static void DisplayDVV(const std::string& label,
                         const std::vector<std::vector<double>>& values);
  static void DisplaySVV(const std::string& label,
                         const std::vector<std::vector<std::string>>& values);
  static void DisplayBVV(const std::string& label, const std::vector<std::vector<bool>>& values);
  // A lower-triangular list of rows.
  static void DisplayDVTR(const std::string& label,
                          const std::vector<std::vector<double>>& values);
  static void DisplayIIM(const std::string& label, const std::map<int, int>& values);
  static void DisplayVIM(const std::string& label, const std::vector<std::map<int, int>>& values);
  static void DisplayIntVecDVecMap(const std::string& label,
                                   const std::map<std::vector<int>, std::vector<double>>& values);
  static void DisplayIntVecIntMap(const std::string& label,
                                  const std::map<std::vector<int>, int>& values);
  static void DisplaySLDM(const std::string& label,
                          const std::map<std::vector<std::string>, double>& values);
};

}  // namespace MCCommon

#endif  // MCSTAT_MCCOMPONENTDISPLAY_H_
