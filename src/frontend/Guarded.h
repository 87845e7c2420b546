#ifndef MCSTAT_FRONTEND_GUARDED_H_
#define MCSTAT_FRONTEND_GUARDED_H_

#include <new>
#include <ostream>
#include <string>

#include "ByteReader.h"
#include "frontend/Commands.h"
#include "frontend/Errors.h"

namespace MCFrontEnd {

// Runs a command's body and turns what it throws into the exit code and one line on err:
// 130 cancelled, 2 bad input, 1 a model that cannot be fitted (or no memory for it), named
// by the data file.
template <typename Body>
int Guarded(std::ostream& err, const std::string& data, Body body) {
  try {
    return body();
  } catch (const Cancelled&) {
    err << "mcfit: cancelled\n";
    return kExitCancelled;
  } catch (const TextInputError& e) {
    // The line of the formula and a caret under the character at fault, indented.
    std::string pointer = "  " + e.Pointer();
    for (std::size_t at = pointer.find('\n'); at != std::string::npos;
         at = pointer.find('\n', at + 3)) {
      pointer.insert(at + 1, "  ");
    }
    err << "mcfit: " << e.what() << "\n" << pointer << "\n";
    return kExitBadInput;
  } catch (const InputError& e) {
    err << "mcfit: " << e.what() << "\n";
    return kExitBadInput;
  } catch (const FitError& e) {
    err << "mcfit: " << Printable(DisplayName(data)) << ": " << Printable(e.what()) << "\n";
    return kExitNotFitted;
  } catch (const std::bad_alloc&) {
    err << "mcfit: " << Printable(DisplayName(data)) << ": not enough memory\n";
    return kExitNotFitted;
  }
}

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_GUARDED_H_
