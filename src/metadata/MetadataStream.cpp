#include "MetadataStream.h"

#include <iostream>

#include "IOException.h"

namespace MCCommonMetadata {
namespace internal {

using MCCommonXML::XMLObj;

void ObjReader::Fail() const {
  std::cerr << fMessage;
  throw new IOException();
}

void ObjReader::Start(const std::string& name) {
  if (!XMLObj::ParseStartObj(fIs, name)) Fail();
  ++fLines;
}

int ObjReader::GetInt() {
  int v = 0;
  if (!XMLObj::ParseValue(fIs, v)) Fail();
  ++fLines;
  return v;
}

bool ObjReader::GetBool() {
  bool v = false;
  if (!XMLObj::ParseValue(fIs, v)) Fail();
  ++fLines;
  return v;
}

double ObjReader::GetDouble() {
  double v = 0.0;
  if (!XMLObj::ParseValue(fIs, v)) Fail();
  ++fLines;
  return v;
}

std::string ObjReader::GetString() {
  std::string v;
  if (!XMLObj::ParseValue(fIs, v)) Fail();
  ++fLines;
  return v;
}

int ObjReader::GetCount() {
  const int n = GetInt();
  if (n < 0) Fail();
  return n;
}

int ObjReader::End() {
  if (!XMLObj::ParseEndObj(fIs)) Fail();
  return ++fLines;
}

void WriteUserMissing(ObjWriter& w, const MCUserMissing& um) {
  double low = 0.0;
  double high = 0.0;
  const bool hasInterval = um.GetInterval(low, high);
  w.Put(hasInterval);
  if (hasInterval) {
    w.PutExact(low);
    w.PutExact(high);
  }
  w.Put(static_cast<int>(um.GetValues().size()));
  for (double v : um.GetValues()) w.PutExact(v);
  for (const std::string& s : um.GetLabels()) w.Put(s);
}

void ReadUserMissing(ObjReader& r, MCUserMissing& um) {
  um.Clear();
  if (r.GetBool()) {
    const double low = r.GetDouble();
    const double high = r.GetDouble();
    // An interval that could not have been set is not one this library wrote.
    if (!um.SetInterval(low, high)) r.Fail();
  }
  const int m = r.GetCount();
  std::vector<double> values;
  for (int i = 0; i < m; ++i) values.push_back(r.GetDouble());
  for (int i = 0; i < m; ++i) {
    um.AddDiscrete(values[static_cast<std::size_t>(i)], r.GetString());
  }
}

}  // namespace internal
}  // namespace MCCommonMetadata
