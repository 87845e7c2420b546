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

  // Collections: a header "label (size = n)" then the elements. Flat lists are written
  // in lines that start with a blank and hold up to 10 elements each.
  // DisplayDV/DisplayDA: elements " %g" or " miss"; with onePerLine, one line per element,
  // "  = %.17g" or " miss". A null array shows as size 0.
  static void DisplayDV(const std::string& label, const std::vector<double>& values,
                        bool onePerLine = false);
  static void DisplayDA(const std::string& label, const double* values, int n,
                        bool onePerLine = false);
  static void DisplayIV(const std::string& label, const std::vector<int>& values);  // " %d"
  static void DisplayUV(const std::string& label,
                        const std::vector<unsigned>& values);                        // " %u"
  static void DisplayBV(const std::string& label, const std::vector<bool>& values);  // " t"/" f"
  // Elements " \"text\"".
  static void DisplaySV(const std::string& label, const std::vector<std::string>& values);
  // Pairs "(%d,%d) "; doubles as %g or miss in the same form.
  static void DisplayVPII(const std::string& label, const std::vector<std::pair<int, int>>& values);
  static void DisplayVPD(const std::string& label,
                         const std::vector<std::pair<double, double>>& values);
  static void DisplayVPDI(const std::string& label,
                          const std::vector<std::pair<double, int>>& values);
  // One line per row, a blank then the row's elements as in the flat lists; an empty list
  // or row shows as " <none>". DisplayBVV's header gives the rows and the first row's size.
  static void DisplayDVV(const std::string& label, const std::vector<std::vector<double>>& values);
  static void DisplaySVV(const std::string& label,
                         const std::vector<std::vector<std::string>>& values);
  static void DisplayBVV(const std::string& label, const std::vector<std::vector<bool>>& values);
  // A lower-triangular list of rows: the label, "number of rows = n", then per row
  // "row i: " (from 0) and its values separated by ", ".
  static void DisplayDVTR(const std::string& label, const std::vector<std::vector<double>>& values);
  // "label (map size = n)" then entries " (key,value)", 10 per line. DisplayVIM writes
  // the list header, then per map " (map size = n)" and its entries.
  static void DisplayIIM(const std::string& label, const std::map<int, int>& values);
  static void DisplayVIM(const std::string& label, const std::vector<std::map<int, int>>& values);
  // Per entry the lines " Map key: k1 k2 ..." and " Map value: v1 ...".
  static void DisplayIntVecDVecMap(const std::string& label,
                                   const std::map<std::vector<int>, std::vector<double>>& values);
  static void DisplayIntVecIntMap(const std::string& label,
                                  const std::map<std::vector<int>, int>& values);
  // Per entry the lines " Map's StringList: \"a\" ..." and " Map's double = %g".
  static void DisplaySLDM(const std::string& label,
                          const std::map<std::vector<std::string>, double>& values);
};

}  // namespace MCCommon

#endif  // MCSTAT_MCCOMPONENTDISPLAY_H_
