#include "Progress.h"

#include <unistd.h>

#include <cstdio>

namespace MCFrontEnd {

namespace {
constexpr std::size_t kEvery = 1u << 14;
}  // namespace

ProgressLine::ProgressLine(MCCommon::MCQueryCancel* inner, std::ostream& err,
                           std::size_t recordsPerPass)
    : fpInner(inner), fErr(err), fRecordsPerPass(recordsPerPass) {}

ProgressLine::~ProgressLine() { Clear(); }

bool ProgressLine::Wanted(bool quiet) { return !quiet && isatty(STDERR_FILENO) == 1; }

bool ProgressLine::IsCancel() {
  Count();
  return fpInner != nullptr && fpInner->IsCancel();
}

bool ProgressLine::WillCancel() {
  Count();
  return fpInner != nullptr && fpInner->WillCancel();
}

bool ProgressLine::WillCancelAfter(std::size_t n) {
  const std::size_t before = fAsked / kEvery;
  fAsked += n;
  if (fAsked / kEvery != before) Show();
  return fpInner != nullptr && fpInner->WillCancel();
}

bool ProgressLine::Report(ProgressReport* report) {
  if (report == nullptr) return true;
  fIteration = report->DiscreteMeasure("iterNum");
  fLogLik = report->ScaleMeasure("loglik");
  Show();
  return true;
}

void ProgressLine::Count() {
  if (++fAsked % kEvery == 0) Show();
}

void ProgressLine::Show() {
  char text[160];
  int n = 0;
  if (fRecordsPerPass > 0) {
    n = std::snprintf(text, sizeof text, "mcfit: pass %zu, record %zu of %zu",
                      fAsked / fRecordsPerPass + 1, fAsked % fRecordsPerPass, fRecordsPerPass);
  } else {
    n = std::snprintf(text, sizeof text, "mcfit: %zu records", fAsked);
  }
  if (fIteration >= 0 && n > 0 && static_cast<std::size_t>(n) < sizeof text) {
    n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n),
                       "; iteration %d, -2 log-likelihood %.6g", fIteration, -2.0 * fLogLik);
  }
  std::string line(text);
  const std::size_t width = line.size();
  if (width < fWidth) line.append(fWidth - width, ' ');
  fWidth = width;
  fErr << '\r' << line << std::flush;
}

void ProgressLine::Clear() {
  if (fWidth == 0) return;
  fErr << '\r' << std::string(fWidth, ' ') << '\r' << std::flush;
  fWidth = 0;
}

}  // namespace MCFrontEnd
