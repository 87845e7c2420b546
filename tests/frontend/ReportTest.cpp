// Long labels are shortened in the text report, never in the JSON.
#include "frontend/Fit.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Text.h"
#include "nlohmann/json.hpp"

namespace MCFrontEnd {
namespace {

TEST(ReportTest, TablesAlignByCharactersAndShortenLongLabels) {
  const std::string longName(45, 'x');
  FitResult r;
  r.terms = {"höhe", "温度", longName};
  for (const std::string& name : {std::string("(Intercept)"), std::string("höhe=groß"),
                                  std::string("温度"), longName}) {
    ParameterResult p;
    p.name = name;
    p.term = static_cast<int>(r.parameters.size()) - 1;
    p.estimate = 1.5;
    p.stdError = 0.25;
    p.statistic = 6.0;
    p.df = 10.0;
    p.pValue = 1e-4;
    p.confLow = 0.9;
    p.confHigh = 2.1;
    r.parameters.push_back(p);
  }
  for (const std::string& t : r.terms) r.effectTests.push_back({t, 36.0, 1.0, 10.0, 1e-4});
  std::ostringstream out;
  WriteReport(r, out);
  const std::string report = out.str();
  const std::string shortened = std::string(39, 'x') + "\xE2\x80\xA6";
  EXPECT_NE(report.find(shortened + " "), std::string::npos) << report;
  EXPECT_EQ(report.find(longName), std::string::npos) << report;

  // Every row of the coefficient and effect tables ends in the same column as its heading.
  for (const char* heading : {"Coefficients:", "Tests of effects"}) {
    std::istringstream in(report.substr(report.find(heading)));
    std::string line;
    std::getline(in, line);
    std::vector<std::size_t> widths;
    while (std::getline(in, line) && !line.empty()) widths.push_back(DisplayWidth(line));
    ASSERT_EQ(widths.size(), 1 + (std::string(heading) == "Coefficients:" ? 4u : 3u)) << report;
    for (const std::size_t w : widths) EXPECT_EQ(w, widths.front()) << heading << "\n" << report;
  }
  const nlohmann::json doc = nlohmann::json::parse(JsonText(r));
  EXPECT_EQ(doc["parameters"][3]["name"], longName);
  EXPECT_EQ(doc["effect_tests"][2]["effect"], longName);
}

}  // namespace
}  // namespace MCFrontEnd
