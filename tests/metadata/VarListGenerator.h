#ifndef MCSTAT_TESTS_METADATA_VARLISTGENERATOR_H_
#define MCSTAT_TESTS_METADATA_VARLISTGENERATOR_H_

// Random variable lists: numbers and texts drawn from the values that formats get wrong.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "MCCatVar.h"
#include "MCContVar.h"
#include "MCMV.h"
#include "MCVarList.h"
#include "XMLElement.h"

namespace metadata_test {

// The text as a UTF-8 document holds it (Windows-1252 converted).
inline std::string AsUtf8(const std::string& text) {
  std::ostringstream os;
  MCCommonXML::WriteUTF(os, text);
  return os.str();
}

class VarListGenerator {
 public:
  explicit VarListGenerator(uint64_t seed) : fRandom(seed) {}

  MCCommonMetadata::MCVarList Next() {
    using MCCommonMetadata::IMCVariable;
    MCCommonMetadata::MCVarList list;
    const int n = Pick(1, 7);
    for (int k = 0; k < n; ++k) {
      // Distinct names that still carry the awkward texts.
      const std::string name = "v" + std::to_string(k) + Text(false);
      const std::string label = Text(true);
      const auto role = static_cast<IMCVariable::VariableRole>(Pick(1, 6));
      int index = -1;
      switch (Pick(0, 5)) {
        case 0:
          index = list.AddContVar(name, label, role);
          break;
        case 1:
          index =
              list.AddContVar(name, label, Number(), Number(), role, Pick(0, 1) == 1, Pick(-1, 6));
          break;
        case 2:
          index = list.AddCatVar(name, label, Categories(), Labels(), role);
          break;
        case 3:
          index = list.AddCatVar(name, label, StringCategories(), Labels(), role);
          break;
        case 4:
          index = list.AddContVar(name, label, Cuts(), Pick(0, 1) == 1, role);
          break;
        default:
          index =
              list.SetWeightVar(name, label, static_cast<IMCVariable::WRoundingOption>(Pick(0, 2)));
          break;
      }
      IMCVariable* var = list.GetVarAt(index);
      var->SetVariableStorage(static_cast<IMCVariable::VariableStorage>(Pick(0, 6)));
      if (Pick(0, 2) == 0) var->SetMissingValueReplacement(Text(false));
      if (auto* cont = dynamic_cast<MCCommonMetadata::MCContVar*>(var)) {
        cont->SetMean(Number());
        cont->SetStdDev(Number());
      }
      if (auto* cat = dynamic_cast<MCCommonMetadata::MCCatVar*>(var)) {
        cat->SetOrdinalFlag(Pick(0, 1) == 1);
      }
      AddMissing(*var->GetEncoder(), var->GetMeasureLevel() == IMCVariable::kStringCategorical);
    }
    return list;
  }

 private:
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(fRandom); }

  double Number() {
    using L = std::numeric_limits<double>;
    const double kNumbers[] = {
        L::infinity(), -L::infinity(),     L::quiet_NaN(),  1.0 / 3,  0.1 + 0.2, 0.3,
        L::max(),      L::lowest(),        L::denorm_min(), L::min(), -0.0,      0.0,
        1e15 + 0.5,    9007199254740993.0, -2.5e-7,         42.0};
    return kNumbers[Pick(0, sizeof kNumbers / sizeof kNumbers[0] - 1)];
  }

  // A few pieces of awkward text; with maybeLong, sometimes repeated to 1,000 characters.
  std::string Text(bool maybeLong) {
    static const char* const kPieces[] = {
        "&",        "<",      ">",     "\"",    "'",     "\t",          "a  b",         "\r\n",
        " lead",    "trail ", "&amp;", "&#65;", "plain", "caf\xC3\xA9", "\xE2\x82\xAC", "\xE9t\xE9",
        "\x80\x9F", "]]>"};
    std::string text;
    for (int k = Pick(0, 3); k > 0; --k)
      text += kPieces[Pick(0, sizeof kPieces / sizeof kPieces[0] - 1)];
    if (maybeLong && Pick(0, 4) == 0) {
      const std::string unit = text.empty() ? std::string("\"x") : text;
      text.clear();
      while (text.size() < 1000) text += unit;
      text.resize(1000);
    }
    return text;
  }

  // Distinct values that can be categories (NaN and the system-missing value cannot).
  std::vector<double> Categories() {
    std::vector<double> values;
    for (int k = Pick(0, 6); k > 0; --k) {
      const double v = Number();
      bool known = std::isnan(v) || MCMV::IsMissing(v);
      for (double w : values) known = known || v == w;
      if (!known) values.push_back(v);
    }
    return values;
  }

  std::vector<double> Cuts() {
    std::vector<double> cuts = Categories();
    std::sort(cuts.begin(), cuts.end());
    return cuts;
  }

  // Distinct strings, also as UTF-8 (a document cannot tell them apart otherwise).
  std::vector<std::string> StringCategories() {
    std::vector<std::string> values;
    for (int k = Pick(0, 6); k > 0; --k) {
      const std::string v = Text(k == 1);
      bool known = false;
      for (const std::string& w : values) known = known || AsUtf8(v) == AsUtf8(w);
      if (!known) values.push_back(v);
    }
    return values;
  }

  std::vector<std::string> Labels() {
    std::vector<std::string> labels;
    for (int k = Pick(0, 7); k > 0; --k) labels.push_back(Text(true));
    return labels;
  }

  void AddMissing(MCCommonMetadata::IMCEncoder& encoder, bool strings) {
    for (int k = Pick(0, 2); k > 0; --k) {
      if (strings) {
        encoder.AddDiscreteUserMissing(Text(false), Text(true));
      } else {
        encoder.AddDiscreteUserMissing(Number(), Text(false));
      }
    }
    if (!strings && Pick(0, 1) == 1) {
      const double a = Number();
      const double b = Number();
      encoder.SetMissingInterval(std::fmin(a, b), std::fmax(a, b));
    }
  }

  std::mt19937_64 fRandom;
};

}  // namespace metadata_test

#endif  // MCSTAT_TESTS_METADATA_VARLISTGENERATOR_H_
