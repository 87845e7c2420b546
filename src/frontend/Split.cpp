#include "Split.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "FitModel.h"
#include "LinearFit.h"
#include "MCVarList.h"
#include "MCXSplitPMMLCombiner.h"
#include "ModelSetup.h"
#include "PendingFile.h"
#include "Pmml.h"
#include "Report.h"

namespace MCFrontEnd {

namespace {

std::string Describe(const std::vector<std::string>& names,
                     const std::vector<std::string>& values) {
  std::string text;
  for (std::size_t k = 0; k < names.size(); ++k) {
    text += (k ? ", " : "") + names[k] + " = " + values[k];
  }
  return text;
}

}  // namespace

std::vector<SplitGroup> GroupBySplit(const DataTable& data, const std::vector<std::string>& split) {
  std::vector<int> columns;
  std::set<std::string> seen;
  for (const std::string& name : split) {
    if (!seen.insert(name).second) throw InputError("--split: '" + name + "' given twice");
    const int c = data.Find(name);
    if (c < 0) {
      throw InputError(data.source + ": unknown column '" + name +
                       "' (columns: " + data.NameList() + ")");
    }
    columns.push_back(c);
  }
  // Ascending order of the values themselves: numbers compare as numbers.
  auto less = [&](const std::size_t a, const std::size_t b) {
    for (const int c : columns) {
      const Column& col = data.columns[static_cast<std::size_t>(c)];
      if (col.numeric) {
        if (col.values[a] != col.values[b]) return col.values[a] < col.values[b];
      } else if (col.text[a] != col.text[b]) {
        return col.text[a] < col.text[b];
      }
    }
    return false;
  };
  std::map<std::size_t, std::vector<std::size_t>, decltype(less)> groups(less);
  for (std::size_t row = 0; row < data.nRows; ++row) {
    bool present = true;
    for (const int c : columns) {
      present = present && !ValueText(data.columns[static_cast<std::size_t>(c)], row).empty();
    }
    if (present) groups[row].push_back(row);
  }
  std::vector<SplitGroup> result;
  for (auto& [first, rows] : groups) {
    SplitGroup group;
    for (const int c : columns) {
      group.values.push_back(ValueText(data.columns[static_cast<std::size_t>(c)], first));
    }
    group.rows = std::move(rows);
    result.push_back(std::move(group));
  }
  return result;
}

DataTable SubTable(const DataTable& data, const std::vector<std::size_t>& rows) {
  DataTable sub;
  sub.source = data.source;
  sub.binary = data.binary;
  sub.nRows = rows.size();
  for (const std::size_t r : rows) {
    if (r < data.lines.size()) sub.lines.push_back(data.lines[r]);
  }
  for (const Column& col : data.columns) {
    Column c;
    c.name = col.name;
    c.numeric = col.numeric;
    for (const std::size_t r : rows) {
      if (col.numeric) {
        c.values.push_back(col.values[r]);
      } else {
        c.text.push_back(col.text[r]);
        c.missing.push_back(col.missing[r]);
      }
    }
    sub.columns.push_back(std::move(c));
  }
  return sub;
}

void RunSplitFits(const DataTable& data, const FitOptions& options, std::ostream& out,
                  MCCommon::MCQueryCancel* cancel) {
  const std::vector<SplitGroup> groups = GroupBySplit(data, options.split);
  if (groups.empty()) {
    throw InputError(data.source + ": no record has a value for every split variable");
  }
  auto cancelled = [cancel]() { return cancel != nullptr && cancel->WillCancel(); };

  // The combiner learns the split variables with the values that occur.
  MCCommonMetadata::MCVarList splitVars;
  for (std::size_t k = 0; k < options.split.size(); ++k) {
    const Column& col = data.columns[static_cast<std::size_t>(data.Find(options.split[k]))];
    std::set<std::string> texts;
    std::set<double> numbers;
    for (const SplitGroup& g : groups) texts.insert(g.values[k]);
    if (col.numeric) {
      for (const std::string& t : texts) {
        double v = 0.0;
        ParseNumber(t, v);
        numbers.insert(v);
      }
      splitVars.AddCatVar(col.name, "", std::vector<double>(numbers.begin(), numbers.end()),
                          MCCommonMetadata::IMCVariable::kInput);
    } else {
      splitVars.AddCatVar(col.name, "", std::vector<std::string>(texts.begin(), texts.end()),
                          MCCommonMetadata::IMCVariable::kInput);
    }
  }
  std::unique_ptr<MCComXPrsUtil::MCXSplitPMMLCombiner> combiner;
  if (!options.pmmlFile.empty()) {
    combiner = std::make_unique<MCComXPrsUtil::MCXSplitPMMLCombiner>(splitVars);
  }

  std::vector<FitResult> results;
  for (const SplitGroup& group : groups) {
    if (cancelled()) throw Cancelled();
    const DataTable sub = SubTable(data, group.rows);
    const std::string where = "split " + Describe(options.split, group.values);
    try {
      CodedModel model(sub, options.request);
      FitResult result = FitModel(model, options, cancel, nullptr);
      result.source = data.source;
      if (combiner) {
        // Each split's own document goes through a scratch file into the combiner.
        PendingFile scratch(options.pmmlFile);
        WritePmml(result, model, sub, scratch.Stream());
        scratch.Stream().flush();
        const MCCommon::MCStatus added = combiner->AddModel(scratch.TempPath(), group.values);
        if (added.IsError()) {
          throw InputError(options.pmmlFile + ": the split models cannot be combined (" +
                           StatusWords(added) + ")");
        }
      }
      results.push_back(std::move(result));
    } catch (const FitError& e) {
      throw FitError(where + ": " + e.what());
    } catch (const InputError& e) {
      throw InputError(where + ": " + e.what());
    }
  }

  std::unique_ptr<PendingFile> json;
  if (!options.jsonFile.empty()) {
    nlohmann::ordered_json doc;
    doc["model"] = results.front().model;
    doc["split_variables"] = options.split;
    nlohmann::ordered_json splits = nlohmann::ordered_json::array();
    for (std::size_t g = 0; g < groups.size(); ++g) {
      nlohmann::ordered_json item = ToJson(results[g]);
      nlohmann::ordered_json values;
      for (std::size_t k = 0; k < options.split.size(); ++k) {
        values[ToUtf8(options.split[k])] = ToUtf8(groups[g].values[k]);
      }
      item["split_values"] = values;
      splits.push_back(item);
    }
    doc["splits"] = splits;
    json = std::make_unique<PendingFile>(options.jsonFile);
    json->Stream() << doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                   << "\n";
  }
  std::unique_ptr<PendingFile> pmml;
  if (combiner) {
    pmml = std::make_unique<PendingFile>(options.pmmlFile);
    PendingFile scratch(options.pmmlFile);
    const MCCommon::MCStatus exported = combiner->ExportMiningModel(scratch.TempPath());
    if (exported.IsError()) {
      throw InputError(options.pmmlFile + ": the combined model cannot be written (" +
                       StatusWords(exported) + ")");
    }
    std::ifstream in(scratch.TempPath(), std::ios::binary);
    pmml->Stream() << in.rdbuf();
  }
  if (cancelled()) throw Cancelled();
  if (json) json->Commit();
  if (pmml) pmml->Commit();
  if (options.quiet) return;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    out << (g ? "\n" : "") << "Split: " << Describe(options.split, groups[g].values) << "\n";
    WriteReport(results[g], out);
  }
}

}  // namespace MCFrontEnd
