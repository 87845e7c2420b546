#ifndef MCSTAT_FRONTEND_TEXT_H_
#define MCSTAT_FRONTEND_TEXT_H_

#include <string>
#include <string_view>

#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// The text without leading and trailing blanks (spaces and tabs).
std::string_view TrimBlanks(std::string_view text);

// Parses a finite number written in the classic locale ("1.5", "-2e-3", "+7", ".5"), blanks
// around it allowed; false for anything else: text, an empty field, "inf", "nan", or a number
// beyond the range of a double. No allocation.
MCFRONTEND_EXPORT bool ParseNumber(std::string_view text, double& value);

// Whether a data field stands for a missing value: empty, "NA", or the not-a-number and
// infinities as R ("NaN", "Inf", "-Inf") and pandas ("nan", "inf", "-inf") write them.
// Unquoted fields are compared without their surrounding blanks.
MCFRONTEND_EXPORT bool IsMissingText(std::string_view text);

// Text from the data as UTF-8: valid UTF-8 unchanged, other text read byte by byte as
// Windows-1252 (the usual encoding of such files).
std::string ToUtf8(const std::string& text);

// A category value as the fits name it: 15 significant digits in the classic locale.
std::string CategoryNumberText(double value);

// The shortest text that reads back as the same double; "%.17g" precision where a reader
// must get every bit back.
std::string ShortestText(double value);

// The field quoted for CSV when it holds a separator, a quote or a line end.
std::string CsvField(const std::string& text);

// The display width of UTF-8 text: one column per character (continuation bytes count
// nothing).
MCFRONTEND_EXPORT std::size_t DisplayWidth(std::string_view text);

// The text cut to at most `width` columns, ending in an ellipsis when cut.
MCFRONTEND_EXPORT std::string Shorten(const std::string& text, std::size_t width);

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_TEXT_H_
