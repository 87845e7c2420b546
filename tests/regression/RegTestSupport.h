// Shared hosts, problems and dense references of the regression tests.
#ifndef MCSTAT_TESTS_REGRESSION_REGTESTSUPPORT_H_
#define MCSTAT_TESTS_REGRESSION_REGTESTSUPPORT_H_

#include <cmath>
#include <cstddef>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "MCCancelInfo.h"
#include "MCGLMComponent.h"
#include "MCLogComponent.h"
#include "MCLogOutputStats.h"
#include "MCLogRegSettings.h"
#include "MCMV.h"
#include "MCModelEffect.h"
#include "MCRecord.h"
#include "RefFields.h"

namespace regtest {

using Rows = std::vector<std::vector<double>>;

inline MCCommon::Record MakeRecord(const std::vector<double>& values) {
  MCCommon::Record record(static_cast<int>(values.size()));
  for (int i = 0; i < record.Size(); ++i) record[i] = values[static_cast<std::size_t>(i)];
  return record;
}

// Records in memory; optionally no pass after maxPasses, a null record at one position (in
// every pass, or in one: 1 is the first), and from a given pass on another record.
class MemoryRecords : public MCCommon::MultiPassRecordIter {
 public:
  explicit MemoryRecords(const Rows& rows) {
    for (const std::vector<double>& row : rows) fRecords.push_back(MakeRecord(row));
  }
  void SetMaxPasses(int passes) { fMaxPasses = passes; }
  void SetNullAt(int position, int pass = -1) { fNullAt = position, fNullPass = pass; }
  void ChangeFrom(int pass, int position, const std::vector<double>& row) {
    fChangeFrom = pass, fChangeAt = position, fChanged = MakeRecord(row);
  }

  int NewPass() override {
    ++fPasses;
    fPosition = 0;
    if (fMaxPasses >= 0 && fPasses > fMaxPasses) return fFailReason = MCCommon::kFailNoNewPass;
    return fFailReason = fRecords.empty() ? MCCommon::kFailEndOfData : MCCommon::kFailNone;
  }
  bool HasMore() const override {
    return fFailReason == MCCommon::kFailNone && fPosition < fRecords.size();
  }
  const MCCommon::Record* Next() override {
    if (!HasMore()) return nullptr;
    const std::size_t at = fPosition++;
    if (fPosition == fRecords.size()) fFailReason = MCCommon::kFailEndOfData;
    ++fDelivered;
    if (static_cast<int>(at) == fNullAt && (fNullPass < 0 || fNullPass == fPasses)) return nullptr;
    return static_cast<int>(at) == fChangeAt && fPasses >= fChangeFrom ? &fChanged : &fRecords[at];
  }
  int GetFailReason() const override { return fFailReason; }
  int Passes() const { return fPasses; }
  int Delivered() const { return fDelivered; }

 private:
  std::vector<MCCommon::Record> fRecords;
  MCCommon::Record fChanged;
  std::size_t fPosition = 0;
  int fFailReason = MCCommon::kFailNone;
  int fPasses = 0, fMaxPasses = -1, fNullAt = -1, fNullPass = -1, fDelivered = 0;
  int fChangeFrom = -1, fChangeAt = -1;
};

// Answers yes once `after` records have been delivered by the data (over all passes).
class CancelAfter : public MCCommon::MCQueryCancel {
 public:
  CancelAfter(const MemoryRecords* data, int after) : fpData(data), fAfter(after) {}
  bool IsCancel() override { return fpData->Delivered() >= fAfter; }
  bool WillCancel() override { return fpData->Delivered() >= fAfter; }

 private:
  const MemoryRecords* fpData;
  int fAfter;
};

// The components' small problems: y at 0, factor A (3 levels) at 1, covariates x at 2 and x2 at
// 3, frequency weight at 4. Effects in order: kA the factor, kX or kX2 a covariate.
constexpr int kY = 0, kA = 1, kX = 2, kX2 = 3, kF = 4;

inline void Declare(MCRegSettings& s, const std::vector<int>& effects, bool freq) {
  static const std::vector<int> indices = {kA, kX, kX2};
  s.SetDependent(kY);
  s.AddFactor(kA, 3);
  s.AddCovariate(kX);
  s.AddCovariate(kX2);
  if (freq) s.SetFrequencyWeightVar(kF);
  for (int e : effects) {
    MCModelEffect effect(1, 2, &indices);
    if (e == kA) effect.AddNewFactor(kA, false);
    if (e != kA) effect.AddCovariate(e);
    s.AddModelEffect(effect);
  }
}
inline MCRegSettings Linear(const std::vector<int>& effects, bool freq = false) {
  MCRegSettings s;
  Declare(s, effects, freq);
  return s;
}
inline MCLogRegSettings Logistic(const std::vector<int>& effects, bool freq = false,
                                 int nCategories = 3, int reference = -1) {
  MCLogRegSettings s;
  Declare(s, effects, freq);
  s.SetDependentRefCat(reference, nCategories);
  return s;
}

// y at 0 ~ factor A at 1 with the given number of categories.
template <class Settings>
Settings OneFactor(int levels) {
  static const std::vector<int> indices = {1};
  Settings s;
  s.SetDependent(0);
  s.AddFactor(1, levels);
  MCModelEffect effect(1, 0, &indices);
  effect.AddNewFactor(1, false);
  s.AddModelEffect(effect);
  return s;
}

// 36 records of three overlapping classes: y depends on x and A but is not separated.
inline Rows Overlapping() {
  Rows rows;
  const double xs[] = {-1.2, -0.7, -0.3, 0.1, 0.4, 0.9, 1.3, -0.1, 0.6, -0.9, 1.1, 0.2};
  for (int i = 0; i < 36; ++i) {
    const double x = xs[i % 12];
    const int a = i % 3;
    rows.push_back({double((i * 7 + a + (x > 0 ? 1 : 0)) % 3), double(a), x, std::cos(1.3 * i),
                    1.0 + (i % 2)});
  }
  return rows;
}

inline std::unique_ptr<IMCRegComponent> MakeComponent(const MCRegSettings& s) {
  const auto* logistic = dynamic_cast<const MCLogRegSettings*>(&s);
  if (logistic != nullptr) return std::make_unique<MCLogComponent>(*logistic);
  return std::make_unique<MCGLMComponent>(s);
}

// That component built on the rows (after prepare has set up their source).
struct Built {
  Built(const MCRegSettings& s, const Rows& rows,
        const std::function<void(MemoryRecords&)>& prepare = nullptr)
      : data(rows), component(MakeComponent(s)) {
    if (prepare) prepare(data);
    status = component->BuildModel(data);
    if (!status.IsError()) component->GetOutputStats(stats);
    log = dynamic_cast<MCLogOutputStats*>(stats);
  }
  double Predict(const std::vector<double>& row) {
    double predicted = -12345.0;
    scored = component->Score(MakeRecord(row), predicted, pi);
    return predicted;
  }
  MemoryRecords data;
  std::unique_ptr<IMCRegComponent> component;
  MCCommon::MCStatus status, scored;
  IMCRegOutputStats* stats = nullptr;
  MCLogOutputStats* log = nullptr;
  std::vector<double> pi;
};

// Deterministic pseudo-random values in [0, 1).
inline std::vector<double> Uniforms(int n, unsigned seed) {
  std::vector<double> u;
  for (int i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    u.push_back(static_cast<double>(seed >> 8) / 16777216.0);
  }
  return u;
}

struct Obs {
  std::vector<double> x;
  int y;
  double w;
};

// The statistics from their definitions; the information packed lower-triangular.
struct DenseStats {
  DenseStats(const std::vector<Obs>& obs, const std::vector<double>& beta, int K, int p) {
    const int n = (K - 1) * p;
    score.assign(static_cast<std::size_t>(n), 0.0);
    info.assign(static_cast<std::size_t>(n * (n + 1) / 2), 0.0);
    for (const Obs& o : obs) {
      std::vector<double> pi(static_cast<std::size_t>(K), 1.0);
      double sum = 1.0;
      for (int j = 0; j < K - 1; ++j) {
        double eta = 0.0;
        for (int r = 0; r < p; ++r) eta += o.x[r] * beta[j * p + r];
        sum += (pi[j] = std::exp(eta));
      }
      for (double& v : pi) v /= sum;
      ll += o.w * std::log(pi[o.y]);
      minObs = std::fmin(minObs, pi[o.y]);
      maxObs = std::fmax(maxObs, pi[o.y]);
      for (double v : pi) minAny = std::fmin(minAny, v);
      for (int a = 0; a < n; ++a) {
        const int j = a / p;
        score[a] += o.w * ((o.y == j) - pi[j]) * o.x[a % p];
        for (int b = 0; b <= a; ++b) {
          const int l = b / p;
          info[a * (a + 1) / 2 + b] += o.w * pi[j] * ((j == l) - pi[l]) * o.x[a % p] * o.x[b % p];
        }
      }
    }
  }
  double ll = 0.0, minObs = 2.0, maxObs = -1.0, minAny = 2.0;
  std::vector<double> score, info;
};

// The rows of a CSV file of numbers ("NA" read as missing) and the positions of its columns.
inline Rows ReadCsvRows(const std::string& path, std::map<std::string, int>* position = nullptr) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  std::istringstream header(line);
  int at = 0;
  for (std::string column; position != nullptr && std::getline(header, column, ',');) {
    (*position)[column] = at++;
  }
  Rows rows;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream cells(line);
    rows.emplace_back();
    for (std::string cell; std::getline(cells, cell, ',');) {
      rows.back().push_back(cell == "NA" ? MCMV::Missing() : std::stod(cell));
    }
  }
  return rows;
}

// The rows of <name>.csv and the model its .ref file describes.
struct Fixture {
  Fixture(const std::string& dir, const std::string& name)
      : ref(dir + name + ".ref"),
        sm(dir + name + ".sm"),
        rows(ReadCsvRows(dir + name + ".csv", &position)) {
    freq = ref.One("freq").empty() ? -1 : position.at(ref.One("freq"));
    regr = ref.One("regr").empty() ? -1 : position.at(ref.One("regr"));
  }
  // Roles, intercept use and effects ("A*x" crosses factor A with covariate x).
  void Configure(MCRegSettings& s) {
    s.SetDependent(position.at("y"));
    std::vector<std::string> factors;
    for (const std::string& f : ref.List("factors")) {
      factors.push_back(f.substr(0, f.find(':')));
      s.AddFactor(position.at(factors.back()), std::stoi(f.substr(f.find(':') + 1)));
      indices.push_back(position.at(factors.back()));
    }
    for (const std::string& c : ref.List("covariates")) {
      s.AddCovariate(position.at(c));
      indices.push_back(position.at(c));
    }
    if (freq >= 0) s.SetFrequencyWeightVar(freq);
    if (regr >= 0) s.SetRegrWeightVar(regr);
    s.SetInterceptUse(ref.One("intercept") == "1");
    for (const std::string& e : ref.List("effects")) {
      MCModelEffect effect(static_cast<int>(factors.size()),
                           static_cast<int>(ref.List("covariates").size()), &indices);
      std::istringstream parts(e);
      for (std::string part; std::getline(parts, part, '*');) {
        bool isFactor = false;
        for (const std::string& f : factors) isFactor = isFactor || f == part;
        if (isFactor) {
          effect.AddNewFactor(position.at(part), false);
        } else {
          effect.AddCovariate(position.at(part));
        }
      }
      s.AddModelEffect(effect);
    }
  }
  double Weight(const std::vector<double>& row) const {
    return (freq >= 0 ? row[freq] : 1.0) * (regr >= 0 ? row[regr] : 1.0);
  }

  FixtureFields ref, sm;
  std::map<std::string, int> position;  // before rows, which fill it
  Rows rows;
  std::vector<int> indices;
  int freq = -1, regr = -1;
};

inline double MaxDiff(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return INFINITY;
  double worst = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) worst = std::fmax(worst, std::fabs(a[i] - b[i]));
  return worst;
}

}  // namespace regtest

#endif  // MCSTAT_TESTS_REGRESSION_REGTESTSUPPORT_H_
