#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "MCHashtable.h"
#include "MCLogRegSettings.h"
#include "MCModelEffect.h"
#include "MCPassData.h"
#include "MCRegrParameter.h"

using MCCommon::MCStatus;
namespace dd = MCCommonMath::ddkernels;

namespace {

constexpr char kMagic[4] = {'M', 'C', 'P', 'S'};
constexpr std::uint16_t kVersion = 1;
constexpr std::uint8_t kStatsObject = 1;
constexpr std::uint8_t kPlanObject = 2;
// Magic, version, object, model, pass, three reserved bytes, fingerprint, payload length.
constexpr std::size_t kHeaderBytes = 24;
constexpr std::size_t kChecksumBytes = 4;

std::uint32_t Crc32(const unsigned char* data, std::size_t size) {
  return static_cast<std::uint32_t>(crc32_z(crc32_z(0L, Z_NULL, 0), data, size));
}

// Little-endian primitives into a string.
class Writer {
 public:
  explicit Writer(std::string& out) : fOut(out) {}
  void U8(std::uint8_t v) { fOut.push_back(static_cast<char>(v)); }
  void U16(std::uint16_t v) { Unsigned(v, 2); }
  void U32(std::uint32_t v) { Unsigned(v, 4); }
  void U64(std::uint64_t v) { Unsigned(v, 8); }
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void I64(std::int64_t v) { U64(static_cast<std::uint64_t>(v)); }
  void F64(double v) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    U64(bits);
  }
  void Pair(double hi, double lo) {
    F64(hi);
    F64(lo);
  }
  void Exact(const MCCommonMath::MCExactSum& sum) {
    double hi = 0.0, lo = 0.0;
    sum.GetParts(hi, lo);
    Pair(hi, lo);
  }
  void Count(std::size_t n) { U64(static_cast<std::uint64_t>(n)); }
  void Doubles(const std::vector<double>& v) {
    Count(v.size());
    for (double x : v) F64(x);
  }
  void Sums(const dd::DDSums& sums) {
    Count(sums.Size());
    for (std::size_t t = 0; t < sums.Size(); ++t) Pair(sums.Data()[t].hi, sums.Data()[t].lo);
  }
  void Status(const MCStatus& s) {
    I32(static_cast<std::int32_t>(s.GetErrorCode()));
    U8(s.IsError() ? 2 : (s.IsWarning() ? 1 : 0));
    for (unsigned k = 0; k < 3; ++k) I32(static_cast<std::int32_t>(s.GetDiscreteDatum(k)));
    for (unsigned k = 0; k < 3; ++k) F64(s.GetScaleDatum(k));
  }

 private:
  void Unsigned(std::uint64_t v, int bytes) {
    for (int b = 0; b < bytes; ++b) fOut.push_back(static_cast<char>((v >> (8 * b)) & 0xFF));
  }
  std::string& fOut;
};

// Reads what Writer writes; every read fails (and the reader stays failed) at the end of the
// data, and a count is refused when its elements cannot all be in what is left.
class Reader {
 public:
  Reader(const unsigned char* data, std::size_t size) : fp(data), fLeft(size) {}
  bool Ok() const { return fbOk; }
  bool AtEnd() const { return fbOk && fLeft == 0; }
  void Fail() { fbOk = false; }

  std::uint8_t U8() { return static_cast<std::uint8_t>(Unsigned(1)); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Unsigned(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Unsigned(4)); }
  std::uint64_t U64() { return Unsigned(8); }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  std::int64_t I64() { return static_cast<std::int64_t>(U64()); }
  double F64() {
    const std::uint64_t bits = U64();
    double v = 0.0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  bool Flag() {
    const std::uint8_t v = U8();
    if (v > 1) Fail();
    return v == 1;
  }
  // A count of elements of at least elementBytes bytes each; 0 (and failed) when they cannot
  // all follow.
  std::size_t Count(std::size_t elementBytes) {
    const std::uint64_t n = U64();
    if (!fbOk || (elementBytes > 0 && n > fLeft / elementBytes)) {
      Fail();
      return 0;
    }
    return static_cast<std::size_t>(n);
  }
  // An int that must lie in [low, high].
  int Int(int low, int high) {
    const std::int32_t v = I32();
    if (v < low || v > high) Fail();
    return fbOk ? v : low;
  }
  std::vector<double> Doubles() {
    std::vector<double> v(Count(8));
    for (double& x : v) x = F64();
    return v;
  }
  void Sums(dd::DDSums& sums) {
    const std::size_t n = Count(16);
    sums.Resize(n);
    for (std::size_t t = 0; t < n; ++t) sums[t] = dd::DD{F64(), F64()};
  }
  MCStatus Status() {
    const std::int32_t code = I32();
    const std::uint8_t severity = U8();
    if (severity > 2 || (severity == 0 && code != 0)) Fail();
    MCStatus s = severity == 0 ? MCStatus() : MCStatus(code, severity == 1);
    for (unsigned k = 0; k < 3; ++k) {
      const std::int32_t d = I32();
      if (severity != 0) s.SetDiscreteDatum(k, d);
    }
    for (unsigned k = 0; k < 3; ++k) {
      const double d = F64();
      if (severity != 0) s.SetScaleDatum(k, d);
    }
    return s;
  }
  std::size_t Left() const { return fLeft; }

 private:
  std::uint64_t Unsigned(int bytes) {
    if (!fbOk || fLeft < static_cast<std::size_t>(bytes)) {
      fbOk = false;
      return 0;
    }
    std::uint64_t v = 0;
    for (int b = 0; b < bytes; ++b) v |= static_cast<std::uint64_t>(fp[b]) << (8 * b);
    fp += bytes;
    fLeft -= static_cast<std::size_t>(bytes);
    return v;
  }
  const unsigned char* fp;
  std::size_t fLeft;
  bool fbOk = true;
};

// Header and checksum around a payload.
std::string Seal(std::uint8_t object, MCConst::MCRegModelType model, MCPassKind kind,
                 std::uint32_t fingerprint, const std::string& payload) {
  std::string out;
  out.reserve(kHeaderBytes + payload.size() + kChecksumBytes);
  out.append(kMagic, 4);
  Writer w(out);
  w.U16(kVersion);
  w.U8(object);
  w.U8(static_cast<std::uint8_t>(model));
  w.U8(static_cast<std::uint8_t>(kind));
  w.U8(0);
  w.U8(0);
  w.U8(0);
  w.U32(fingerprint);
  w.U64(payload.size());
  out += payload;
  w.U32(Crc32(reinterpret_cast<const unsigned char*>(out.data()), out.size()));
  return out;
}

struct Envelope {
  MCConst::MCRegModelType fModel = MCConst::kLinearModel;
  MCPassKind fKind = MCPassKind::kNone;
  std::uint32_t fFingerprint = 0;
  const unsigned char* fpPayload = nullptr;
  std::size_t fPayloadSize = 0;
};

MCStatus Open(const void* data, std::size_t size, std::uint8_t object, Envelope& envelope) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (bytes == nullptr || size < kHeaderBytes + kChecksumBytes) {
    return MCPartCodec::Refused(MCPartCodec::kLength);
  }
  Reader header(bytes, kHeaderBytes);
  const bool magic = std::memcmp(bytes, kMagic, 4) == 0;
  header.U32();
  const std::uint16_t version = header.U16();
  const std::uint8_t kind = header.U8();
  const std::uint8_t model = header.U8();
  const std::uint8_t pass = header.U8();
  const std::uint8_t r0 = header.U8(), r1 = header.U8(), r2 = header.U8();
  const std::uint32_t fingerprint = header.U32();
  const std::uint64_t payload = header.U64();
  // The length first: a buffer cut short is told apart from one whose bytes were changed.
  if (payload != size - kHeaderBytes - kChecksumBytes) {
    return MCPartCodec::Refused(MCPartCodec::kLength);
  }
  Reader tail(bytes + size - kChecksumBytes, kChecksumBytes);
  if (tail.U32() != Crc32(bytes, size - kChecksumBytes)) {
    return MCPartCodec::Refused(MCPartCodec::kChecksum);
  }
  if (!magic || version != kVersion || kind != object || model > 1 || pass > 5 || r0 != 0 ||
      r1 != 0 || r2 != 0) {
    return MCPartCodec::Refused(MCPartCodec::kHeader);
  }
  envelope.fModel = static_cast<MCConst::MCRegModelType>(model);
  envelope.fKind = static_cast<MCPassKind>(pass);
  envelope.fFingerprint = fingerprint;
  envelope.fpPayload = bytes + kHeaderBytes;
  envelope.fPayloadSize = static_cast<std::size_t>(payload);
  return MCStatus();
}

void WriteOutcome(Writer& w, const MCPassOutcome& outcome) {
  w.Status(outcome.fStatus);
  w.Count(outcome.fvWarnings.size());
  for (const MCStatus& s : outcome.fvWarnings) w.Status(s);
  w.U8(outcome.fbCancelled ? 1 : 0);
}

MCPassOutcome ReadOutcome(Reader& r) {
  MCPassOutcome outcome;
  outcome.fStatus = r.Status();
  const std::size_t n = r.Count(41);
  for (std::size_t k = 0; k < n && r.Ok(); ++k) outcome.fvWarnings.push_back(r.Status());
  outcome.fbCancelled = r.Flag();
  return outcome;
}

// The pass whose statistics each alternative of the data holds.
MCPassKind KindOf(const MCPartialStats::Impl::Data& data) {
  switch (data.index()) {
    case 1:
      return MCPassKind::kFirstPass;
    case 2:
      return MCPassKind::kCrossProducts;
    case 3:
      return MCPassKind::kResiduals;
    case 4:
      return MCPassKind::kLogitCrossProducts;
    case 5:
      return MCPassKind::kLogitIteration;
    default:
      return MCPassKind::kNone;
  }
}

bool IsLinearPass(MCPassKind kind) {
  return kind == MCPassKind::kCrossProducts || kind == MCPassKind::kResiduals;
}
bool IsLogisticPass(MCPassKind kind) {
  return kind == MCPassKind::kLogitCrossProducts || kind == MCPassKind::kLogitIteration;
}
// A pass the model has.
bool Fits(MCConst::MCRegModelType model, MCPassKind kind) {
  if (kind == MCPassKind::kNone || kind == MCPassKind::kFirstPass) return true;
  return model == MCConst::kLinearModel ? IsLinearPass(kind) : IsLogisticPass(kind);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

MCStatus MCPartCodec::Refused(Reason reason) {
  MCStatus status(320, false);
  status.SetDiscreteDatum(0, reason);
  return status;
}

std::uint32_t MCPartCodec::Fingerprint(const MCRegSettings& settings) {
  std::string bytes;
  Writer w(bytes);
  const MCConst::MCRegModelType model = settings.GetModelType();
  w.I32(model);
  w.I32(settings.GetDependent());
  w.Count(settings.GetVariableTypes().size());
  for (MCConst::MCVariableType type : settings.GetVariableTypes()) w.I32(type);
  const auto ints = [&w](const std::vector<int>& v) {
    w.Count(v.size());
    for (int x : v) w.I32(x);
  };
  ints(settings.GetFactors());
  ints(settings.GetFactorSizes());
  ints(settings.GetCovariates());
  w.I32(settings.GetFrequencyWeightVar());
  w.I32(settings.GetRegrWeightVar());
  w.U8(settings.GetInterceptUse() ? 1 : 0);
  const std::vector<MCModelEffect>& effects = settings.GetModelEffects();
  w.Count(effects.size());
  for (int j = 0; j < static_cast<int>(effects.size()); ++j) {
    MCRegrParameter parameter;
    parameter.SetupFromEffect(effects[j], j, 0);
    ints(parameter.GetFactors());
    ints(parameter.GetCovariates());
    ints(parameter.GetCovariateMultiplicities());
  }
  if (const auto* logistic = dynamic_cast<const MCLogRegSettings*>(&settings)) {
    w.I32(logistic->GetDependentNCategs());
    w.I32(logistic->GetDependentRefCateg());
  }
  return Crc32(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// ---------------------------------------------------------------------------------------------
// Factor tables: their layout (so that the reader can make them) and their state.

namespace {

// A position or count in a record: what an int of the layout may be.
constexpr int kIntMax = std::numeric_limits<int>::max();

}  // namespace

class MCPartCodecTables {
 public:
  static void Write(Writer& w, const MCFactorTables& t) {
    const int nFactors = t.GetNFactors();
    w.I32(nFactors);
    for (int j = 0; j < nFactors; ++j) {
      w.I32(t.GetFactorIndices()[j]);
      w.I32(t.GetFactorSizes()[j]);
    }
    w.I32(t.GetWeightVar());
    w.I32(t.GetDependVar());
    w.I32(t.GetNDependCategories());
    w.I32(t.GetCategoryBase());
    w.I32(t.GetOffsetVar());
    w.F64(t.GetOffsetValue());
    w.I32(t.GetOffsetType());
    w.I32(t.GetRegrWeightVar());
    const std::vector<std::vector<int>> effects = t.GetModelEffectFactors();
    w.Count(effects.size());
    for (const std::vector<int>& list : effects) {
      w.Count(list.size());
      for (int position : list) w.I32(position);
    }
    w.Count(t.GetCovariates().size());
    for (int position : t.GetCovariates()) w.I32(position);

    const MCFactorCounts& c = t;
    for (int j = 0; j < nFactors; ++j) {
      for (std::size_t k = 0; k < c.fvFactorCounts[j].size(); ++k) {
        w.Exact(c.fvFactorSums[j][k]);
        w.F64(c.fvFactorCounts[j][k].second);
      }
    }
    for (std::size_t k = 0; k < c.fvDependCounts.size(); ++k) {
      w.Exact(c.fvDependSums[k]);
      w.F64(c.fvDependCounts[k].second);
      w.Exact(c.fvDepOffsetSums[k].first);
      w.Exact(c.fvDepOffsetSums[k].second);
    }
    for (int e = 0; e < t.fNEffects; ++e) {
      const std::vector<MCHashPair<int>*>& pairs = t.fTables.fvTables[e]->GetPairs();
      w.Count(pairs.size());
      for (const MCHashPair<int>* pair : pairs) {
        for (int i = 0; i < pair->fKey.GetLength(); ++i) w.I32(pair->fKey[i]);
      }
    }
    w.Exact(t.fTotalWeightSum);
    w.Exact(t.fTotalRegrWeightSum);
    w.F64(t.fSampleSize);
    for (const MCFactorCounts::ExactSum& s : t.fvCovariateSums) w.Exact(s);
    w.U8(t.fbAllocationFailed ? 1 : 0);
  }

  // False when the bytes do not make tables.
  static bool Read(Reader& r, MCFactorTables& out) {
    const int nFactors = r.Int(0, kIntMax);
    if (!r.Ok() || static_cast<std::size_t>(nFactors) > r.Left() / 8) return false;
    std::vector<int> factors(static_cast<std::size_t>(nFactors)), sizes(factors.size());
    double cells = 0.0;
    for (int j = 0; j < nFactors; ++j) {
      factors[j] = r.Int(0, kIntMax);
      sizes[j] = r.Int(0, kIntMax);
      cells += sizes[j];
    }
    const int weight = r.Int(-1, kIntMax);
    const int dependent = r.Int(-1, kIntMax);
    const int nDependent = r.Int(0, kIntMax);
    const int base = r.I32();
    const int offsetVar = r.Int(-1, kIntMax);
    const double offsetValue = r.F64();
    const int offsetType = r.Int(0, 2);
    const int regrWeight = r.Int(-1, kIntMax);
    // Every category's counts follow (24 bytes each, 56 for the dependent's): tables no
    // larger than the bytes can fill are made.
    if (!r.Ok() || 24.0 * cells + 56.0 * nDependent > static_cast<double>(r.Left())) return false;
    const std::size_t nEffects = r.Count(8);
    std::vector<std::vector<int>> effects(nEffects);
    for (std::vector<int>& list : effects) {
      list.resize(r.Count(4));
      for (int& position : list) position = r.Int(0, kIntMax);
    }
    std::vector<int> covariates(r.Count(4));
    for (int& position : covariates) position = r.Int(0, kIntMax);
    if (!r.Ok()) return false;

    MCFactorTables tables(factors, sizes, weight, dependent, nDependent, base, offsetVar,
                          offsetValue, static_cast<MCConst::MCOffsetType>(offsetType));
    tables.SetRegrWeightVar(regrWeight);
    if (!tables.SetModelEffectFactors(effects, factors)) return false;
    tables.SetCovariates(covariates);
    // What the constructor settles must be what was written.
    if (tables.GetFactorIndices() != factors || tables.GetWeightVar() != weight ||
        tables.GetDependVar() != dependent || tables.GetNDependCategories() != nDependent ||
        tables.GetOffsetVar() != offsetVar || tables.GetOffsetType() != offsetType ||
        tables.GetCovariates() != covariates) {
      return false;
    }

    MCFactorCounts& c = tables;
    const auto count = [&r](double& unweighted) {
      unweighted = r.F64();
      // Unweighted counts are whole numbers of records.
      if (!(unweighted >= 0.0) || unweighted != std::floor(unweighted)) r.Fail();
    };
    const auto exact = [&r](MCFactorCounts::ExactSum& s) {
      const double hi = r.F64();
      s = MCFactorCounts::ExactSum::FromParts(hi, r.F64());
      return s.Value();
    };
    for (int j = 0; j < nFactors && r.Ok(); ++j) {
      for (std::size_t k = 0; k < c.fvFactorCounts[j].size(); ++k) {
        c.fvFactorCounts[j][k].first = exact(c.fvFactorSums[j][k]);
        count(c.fvFactorCounts[j][k].second);
      }
    }
    for (std::size_t k = 0; k < c.fvDependCounts.size() && r.Ok(); ++k) {
      c.fvDependCounts[k].first = exact(c.fvDependSums[k]);
      count(c.fvDependCounts[k].second);
      c.fvDepCountsWithOffset[k].first = exact(c.fvDepOffsetSums[k].first);
      c.fvDepCountsWithOffset[k].second = exact(c.fvDepOffsetSums[k].second);
    }
    for (int e = 0; e < tables.fNEffects && r.Ok(); ++e) {
      const int length = tables.fvNEffectFactors[e];
      const int* local = tables.fvEffectFactors.data() + tables.fvCumNEffectFactors[e];
      const std::size_t nKeys = r.Count(4 * static_cast<std::size_t>(std::max(length, 1)));
      MCCommonMath::MCHashKey key(length);
      for (std::size_t k = 0; k < nKeys && r.Ok(); ++k) {
        for (int i = 0; i < length; ++i) key[i] = r.Int(0, sizes[local[i]] - 1);
        key.UpdateHashCode();
        bool inserted = false;
        tables.fTables.fvTables[e]->Insert(key, -1, &inserted);
        if (!inserted) r.Fail();  // a combination twice
      }
    }
    tables.fTotalWeight = exact(tables.fTotalWeightSum);
    tables.fTotalRegrWeight = exact(tables.fTotalRegrWeightSum);
    count(tables.fSampleSize);
    for (MCFactorCounts::ExactSum& s : tables.fvCovariateSums) exact(s);
    tables.fbAllocationFailed = r.Flag();
    if (!r.Ok()) return false;
    out = std::move(tables);
    return true;
  }
};

// ---------------------------------------------------------------------------------------------

namespace {

void WriteFirstPass(Writer& w, const MCFirstPassData& d) {
  w.I64(d.fNRecords);
  w.I64(d.fNValid);
  w.I64(d.fNTabulated);
  MCPartCodecTables::Write(w, d.fTables);
}

bool ReadFirstPass(Reader& r, MCFirstPassData& d) {
  d.fNRecords = r.I64();
  d.fNValid = r.I64();
  d.fNTabulated = r.I64();
  if (!(0 <= d.fNTabulated && d.fNTabulated <= d.fNValid && d.fNValid <= d.fNRecords)) {
    return false;
  }
  return r.Ok() && MCPartCodecTables::Read(r, d.fTables);
}

bool ReadCount(Reader& r, std::int64_t& n) {
  n = r.I64();
  return r.Ok() && n >= 0;
}

void WriteLogitSums(Writer& w, const MCLogitSums& s) {
  w.I32(s.fNParameters);
  w.I32(s.fNCategories);
  w.Sums(s.fTotals);
  w.Sums(s.fScores);
  w.Doubles(s.fvHessian);
  w.I64(s.fNValidRows);
  w.I64(s.fNInvalidCalls);
  w.F64(s.fMinObservedProb);
  w.F64(s.fMaxObservedProb);
  w.F64(s.fMinComputedProb);
  w.F64(s.fLLScale);
  w.U8(s.fbChangePass ? 1 : 0);
  w.U8(s.fbHasChanges ? 1 : 0);
}

bool ReadLogitSums(Reader& r, MCLogitSums& s) {
  const int p = r.Int(0, kIntMax);
  const int K = r.Int(2, kIntMax);
  if (!r.Ok()) return false;
  s.fNParameters = p;
  s.fNCategories = K;
  r.Sums(s.fTotals);
  r.Sums(s.fScores);
  s.fvHessian = r.Doubles();
  const double nLogits = K - 1.0;
  const double blocks = nLogits * K / 2.0;
  if (!r.Ok() || s.fTotals.Size() != 3 || static_cast<double>(s.fScores.Size()) != nLogits * p ||
      static_cast<double>(s.fvHessian.size()) != 2.0 * blocks * (p * (p + 1.0) / 2.0)) {
    return false;
  }
  if (!ReadCount(r, s.fNValidRows) || !ReadCount(r, s.fNInvalidCalls)) return false;
  s.fMinObservedProb = r.F64();
  s.fMaxObservedProb = r.F64();
  s.fMinComputedProb = r.F64();
  s.fLLScale = r.F64();
  s.fbChangePass = r.Flag();
  s.fbHasChanges = r.Flag();
  return r.Ok();
}

}  // namespace

std::string MCPartCodec::Write(const MCPartialStats::Impl& stats) {
  std::string payload;
  Writer w(payload);
  WriteOutcome(w, stats.fOutcome);
  w.U8(static_cast<std::uint8_t>(stats.fData.index()));
  if (const auto* first = std::get_if<MCFirstPassData>(&stats.fData)) {
    WriteFirstPass(w, *first);
  } else if (const auto* cross = std::get_if<MCCrossProductData>(&stats.fData)) {
    w.Sums(cross->fSums);
    w.I64(cross->fNAdded);
  } else if (const auto* residual = std::get_if<MCResidualData>(&stats.fData)) {
    w.Sums(residual->fSums);
    w.I64(residual->fNWeighted);
  } else if (const auto* logit = std::get_if<MCLogitCrossProductData>(&stats.fData)) {
    w.Sums(logit->fSums);
    w.Sums(logit->fCategorySums);
    w.I64(logit->fNAdded);
  } else if (const auto* sums = std::get_if<MCLogitSums>(&stats.fData)) {
    WriteLogitSums(w, *sums);
  }
  return Seal(kStatsObject, stats.fModel, stats.fKind, stats.fFingerprint, payload);
}

MCStatus MCPartCodec::Read(const void* data, std::size_t size, MCPartialStats::Impl& out) {
  Envelope envelope;
  const MCStatus opened = Open(data, size, kStatsObject, envelope);
  if (opened.IsError()) return opened;
  Reader r(envelope.fpPayload, envelope.fPayloadSize);
  MCPartialStats::Impl stats;
  stats.fModel = envelope.fModel;
  stats.fKind = envelope.fKind;
  stats.fFingerprint = envelope.fFingerprint;
  stats.fOutcome = ReadOutcome(r);
  const std::uint8_t tag = r.U8();
  bool ok = r.Ok();
  switch (tag) {
    case 0:
      break;
    case 1: {
      MCFirstPassData first;
      ok = ReadFirstPass(r, first);
      stats.fData = std::move(first);
      break;
    }
    case 2: {
      MCCrossProductData cross;
      r.Sums(cross.fSums);
      ok = ReadCount(r, cross.fNAdded);
      stats.fData = std::move(cross);
      break;
    }
    case 3: {
      MCResidualData residual;
      r.Sums(residual.fSums);
      ok = ReadCount(r, residual.fNWeighted) && residual.fSums.Size() == 3;
      stats.fData = std::move(residual);
      break;
    }
    case 4: {
      MCLogitCrossProductData logit;
      r.Sums(logit.fSums);
      r.Sums(logit.fCategorySums);
      ok = ReadCount(r, logit.fNAdded);
      stats.fData = std::move(logit);
      break;
    }
    case 5: {
      MCLogitSums sums;
      ok = ReadLogitSums(r, sums);
      stats.fData = std::move(sums);
      break;
    }
    default:
      ok = false;
  }
  // A pass that ran out of memory has no sums.
  const bool kindFits =
      KindOf(stats.fData) == stats.fKind || (tag == 0 && stats.fOutcome.fStatus.IsError());
  if (!ok || !r.AtEnd() || !kindFits || !Fits(stats.fModel, stats.fKind)) {
    return Refused(kContent);
  }
  out = std::move(stats);
  return MCStatus();
}

std::string MCPartCodec::Write(const MCPassPlan::Impl& plan) {
  std::string payload;
  Writer w(payload);
  w.U8(plan.fpFirstPass ? 1 : 0);
  if (plan.fpFirstPass) WriteFirstPass(w, *plan.fpFirstPass);
  w.Doubles(plan.fvValues);
  w.Count(plan.fvNonRedundant.size());
  for (std::uint8_t flag : plan.fvNonRedundant) w.U8(flag);
  w.I32(plan.fMethod);
  w.U8(plan.fbSeparation ? 1 : 0);
  w.U8(plan.fbLLOnly ? 1 : 0);
  w.U8(plan.fbHasBase ? 1 : 0);
  w.Doubles(plan.fvBase);
  w.Pair(plan.fBaseLL.hi, plan.fBaseLL.lo);
  return Seal(kPlanObject, plan.fModel, plan.fKind, plan.fFingerprint, payload);
}

MCStatus MCPartCodec::Read(const void* data, std::size_t size, MCPassPlan::Impl& out) {
  Envelope envelope;
  const MCStatus opened = Open(data, size, kPlanObject, envelope);
  if (opened.IsError()) return opened;
  Reader r(envelope.fpPayload, envelope.fPayloadSize);
  MCPassPlan::Impl plan;
  plan.fModel = envelope.fModel;
  plan.fKind = envelope.fKind;
  plan.fFingerprint = envelope.fFingerprint;
  bool ok = true;
  if (r.Flag()) {
    auto first = std::make_shared<MCFirstPassData>();
    ok = ReadFirstPass(r, *first);
    plan.fpFirstPass = std::move(first);
  }
  plan.fvValues = r.Doubles();
  plan.fvNonRedundant.resize(r.Count(1));
  for (std::uint8_t& flag : plan.fvNonRedundant) flag = r.Flag() ? 1 : 0;
  plan.fMethod = static_cast<MCConst::MCEstimationMethod>(r.Int(0, 2));
  plan.fbSeparation = r.Flag();
  plan.fbLLOnly = r.Flag();
  plan.fbHasBase = r.Flag();
  plan.fvBase = r.Doubles();
  plan.fBaseLL.hi = r.F64();
  plan.fBaseLL.lo = r.F64();
  // Every pass but the first needs the design of the first; a base goes with the parameters.
  const bool needsFirst = plan.fKind != MCPassKind::kFirstPass && plan.fKind != MCPassKind::kNone;
  if (!ok || !r.AtEnd() || needsFirst != static_cast<bool>(plan.fpFirstPass) ||
      !Fits(plan.fModel, plan.fKind) ||
      (plan.fbHasBase && plan.fvBase.size() != plan.fvValues.size())) {
    return Refused(kContent);
  }
  out = std::move(plan);
  return MCStatus();
}
