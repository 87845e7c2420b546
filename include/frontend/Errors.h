#ifndef MCSTAT_FRONTEND_ERRORS_H_
#define MCSTAT_FRONTEND_ERRORS_H_

#include <functional>
#include <stdexcept>
#include <string>

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
