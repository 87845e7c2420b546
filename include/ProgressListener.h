#ifndef MCSTAT_PROGRESSLISTENER_H_
#define MCSTAT_PROGRESSLISTENER_H_

#include <string>
#include <vector>

#include "mcstat_export.h"

// A progress report handed to the host's listener. It is valid only during the call.
class MCSTAT_EXPORT ProgressReport {
 public:
  virtual ~ProgressReport() = default;
  // An integer measure by key; 0 for an unknown key.
  virtual int DiscreteMeasure(const std::string& key) = 0;
  // A real measure by key; 0.0 for an unknown key.
  virtual double ScaleMeasure(const std::string& key) = 0;
};

// A report that also carries vectors.
class MCSTAT_EXPORT ProgressReportVect : public ProgressReport {
 public:
  // A vector measure by key; null for an unknown key.
  virtual const std::vector<double>* VectorMeasure(const std::string& key) = 0;
};

// The host's listener. The library calls only Report, synchronously on the building
// thread, and ignores its result.
class MCSTAT_EXPORT ProgressListener {
 public:
  virtual ~ProgressListener() = default;
  virtual bool Report(ProgressReport* report) = 0;
};

#endif  // MCSTAT_PROGRESSLISTENER_H_
