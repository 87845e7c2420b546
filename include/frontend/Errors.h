#ifndef MCSTAT_FRONTEND_ERRORS_H_
#define MCSTAT_FRONTEND_ERRORS_H_

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "frontend/mcfrontend_export.h"

// The front end: reading and coding data, fitting the library's models from a request, and
// writing reports, JSON and PMML. Unlike the core library it reports problems by throwing the
// three exceptions below; the core library's statuses are turned into their words here.
namespace MCFrontEnd {

// The text with control characters (line ends, tabs, NUL...) written as escapes such as \n or
// \x00, so that names and values taken from a file keep a message on one line.
MCFRONTEND_EXPORT std::string Printable(const std::string& text);

// Bad input from the user (a file, a column, an option). The message is made printable: it is
// always one line, whatever the file held.
class MCFRONTEND_EXPORT InputError : public std::runtime_error {
 public:
  explicit InputError(const std::string& what);
  ~InputError() override;
};

// Bad input in a text the user wrote, such as a model formula: the message (one line), and
// the line of the text that holds the character at fault with a caret under it.
class MCFRONTEND_EXPORT TextInputError : public InputError {
 public:
  TextInputError(const std::string& what, const std::string& text, std::size_t position);
  ~TextInputError() override;
  // Two lines (without a final line end): the text's line, control characters but tabs
  // shown as '?', and a caret under the character (UTF-8 sequences count once).
  const std::string& Pointer() const { return fPointer; }

 private:
  std::string fPointer;
};

// " (did you mean 'NAME'?)" naming the candidates closest to word by edit distance (letters
// swapped, added, dropped or changed; case ignored), when one is close enough to be a slip;
// else empty.
MCFRONTEND_EXPORT std::string DidYouMean(const std::string& word,
                                         const std::vector<std::string>& candidates);

// The library could not fit the model: an error status in words, or data it cannot fit.
class MCFRONTEND_EXPORT FitError : public std::runtime_error {
 public:
  explicit FitError(const std::string& what);
  ~FitError() override;
};

// The caller's cancel query said yes.
class MCFRONTEND_EXPORT Cancelled : public std::runtime_error {
 public:
  Cancelled();
  ~Cancelled() override;
};

// Asked between records while reading; true stops the read with Cancelled.
using CancelCheck = std::function<bool()>;

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_ERRORS_H_
