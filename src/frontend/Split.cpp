#include "Split.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <xercesc/dom/DOM.hpp>

#include "FitModel.h"
#include "LinearFit.h"
#include "MCVarList.h"
#include "MCXMLReadWrite.h"
#include "MCXMLUtil.h"
#include "MCXSplitPMMLCombiner.h"
#include "MCMV.h"
#include "Text.h"
#include "frontend/OutputFile.h"
#include "frontend/Fit.h"
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

// A named temporary file in the system's temporary folder, for the combiner, which reads
// and writes files by name; removed with the object.
class ScratchFile {
 public:
  ScratchFile() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    fPath = (error ? std::string("/tmp") : folder.string()) + "/mcstat-split-XXXXXX";
    const int fd = ::mkostemp(fPath.data(), O_CLOEXEC);
    if (fd < 0) throw InputError(fPath + ": cannot create a temporary file");
    ::close(fd);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile() { std::remove(fPath.c_str()); }
  const std::string& Path() const { return fPath; }

 private:
  std::string fPath;
};

// The combiner declares the split variables in the combined document's data dictionary
// without their values; the values each segment is chosen by are listed there too.
void ListSplitValues(const std::string& file, const std::vector<std::string>& names,
                     const std::vector<std::vector<std::string>>& values) {
  namespace U = MCComXPrsUtil;
  U::MCXMLReadWrite xml;
  if (xml.ParseToDOM(file).IsError() || xml.GetDocument() == nullptr) {
    throw InputError(file + ": cannot read the combined PMML document back");
  }
  xercesc::DOMDocument* doc = xml.GetDocument();
  xercesc::DOMElement* dictionary = U::GetFirstChildElmt(doc->getDocumentElement(), "DataDictionary");
  for (xercesc::DOMElement* field = U::GetFirstChildElmt(dictionary, "DataField"); field != nullptr;
       field = U::GetNextSiblingElmt(field, "DataField")) {
    const auto at = std::find(names.begin(), names.end(), U::ToUTF8(U::GetAttribute(field, "name")));
    if (at == names.end() || U::GetFirstChildElmt(field, "Value") != nullptr) continue;
    for (const std::string& v : values[static_cast<std::size_t>(at - names.begin())]) {
      const std::vector<XMLCh> tag = U::MCXTranscoder("UTF-8").TranscodeFrom("Value");
      xercesc::DOMElement* value = doc->createElementNS(field->getNamespaceURI(), tag.data());
      U::SetAttribute(value, "value", v.c_str());
      U::SetAttribute(value, "property", "valid");
      field->appendChild(value);
    }
  }
  if (xml.WriteFromDOM(file, doc).IsError()) throw InputError(file + ": cannot be written");
}

}  // namespace

std::vector<SplitGroup> GroupBySplit(const PrecodedData& data, const ModelLayout& layout,
                                     const CancelCheck& cancelled) {
  const std::vector<int>& slots = layout.SplitSlots();
  std::vector<KeySet> keys(slots.size());
  std::set<std::vector<double>> tuples;
  std::vector<double> tuple(slots.size());
  std::unique_ptr<PrecodedData::Pass> pass = data.Open();
  std::int64_t records = 0;
  while (const double* values = pass->Next()) {
    if (++records % 4096 == 0 && cancelled && cancelled()) throw Cancelled();
    bool present = true;
    for (std::size_t k = 0; k < slots.size() && present; ++k) {
      tuple[k] = values[slots[k]];
      present = !MCMV::IsMissing(tuple[k]);
    }
    if (!present) continue;
    for (std::size_t k = 0; k < slots.size(); ++k) keys[k].Insert(tuple[k]);
    tuples.insert(tuple);
  }
  // Keys that stand for one value ("1" and "1.0") make one group; codes ascend as values do.
  std::vector<std::shared_ptr<const CategoryCoding>> codings;
  for (std::size_t k = 0; k < slots.size(); ++k) {
    codings.push_back(std::make_shared<CategoryCoding>(data, slots[k], keys[k], std::string(),
                                                       "split variable"));
  }
  std::set<std::vector<int>> combinations;
  for (const std::vector<double>& t : tuples) {
    std::vector<int> codes;
    for (std::size_t k = 0; k < slots.size(); ++k) codes.push_back(codings[k]->Code(t[k]));
    combinations.insert(codes);
  }
  std::vector<SplitGroup> groups;
  for (const std::vector<int>& codes : combinations) {
    SplitGroup group;
    for (std::size_t k = 0; k < slots.size(); ++k) {
      group.values.push_back(codings[k]->Text(codes[k]));
      group.when.push_back({slots[k], codings[k], codes[k]});
    }
    groups.push_back(std::move(group));
  }
  return groups;
}

void RunSplitFits(const std::shared_ptr<const PrecodedData>& data, const ModelLayout& layout,
                  const FitOptions& options, std::ostream& out, std::ostream& err,
                  MCCommon::MCQueryCancel* cancel) {
  auto cancelled = [cancel]() { return cancel != nullptr && cancel->WillCancel(); };
  const std::vector<SplitGroup> groups = GroupBySplit(*data, layout, cancelled);
  if (groups.empty()) {
    throw InputError(data->Source().Name() +
                     ": no record has a value for every split variable");
  }

  // The combiner learns the split variables with the values that occur.
  MCCommonMetadata::MCVarList splitVars;
  for (std::size_t k = 0; k < options.split.size(); ++k) {
    const CategoryCoding& coding = *groups.front().when[k].coding;
    std::set<int> codes;
    for (const SplitGroup& g : groups) codes.insert(g.when[k].code);
    std::vector<double> numbers;
    std::vector<std::string> texts;
    for (const int code : codes) {
      numbers.push_back(coding.Number(code));
      texts.push_back(coding.Text(code));
    }
    if (coding.Numeric()) {
      splitVars.AddCatVar(options.split[k], "", numbers, MCCommonMetadata::IMCVariable::kInput);
    } else {
      splitVars.AddCatVar(options.split[k], "", texts, MCCommonMetadata::IMCVariable::kInput);
    }
  }
  std::unique_ptr<MCComXPrsUtil::MCXSplitPMMLCombiner> combiner;
  if (!options.pmmlFile.empty()) {
    combiner = std::make_unique<MCComXPrsUtil::MCXSplitPMMLCombiner>(splitVars);
  }

  std::vector<FitResult> results;
  for (const SplitGroup& group : groups) {
    if (cancelled()) throw Cancelled();
    const std::string where = "split " + Describe(options.split, group.values);
    try {
      CodedModel model(data, layout, group.when, cancelled, options.threads);
      FitResult result = FitModel(model, options, cancel, nullptr, nullptr);
      if (combiner) {
        // Each split's own document goes through a scratch file into the combiner.
        ScratchFile scratch;
        {
          std::ofstream os(scratch.Path(), std::ios::binary);
          WritePmml(result, model, os, options.pmmlVersion);
          if (!os.flush()) throw InputError(scratch.Path() + ": cannot write the file");
        }
        const MCCommon::MCStatus added = combiner->AddModel(scratch.Path(), group.values);
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

  std::unique_ptr<OutputFile> json;
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
    json = std::make_unique<OutputFile>(options.jsonFile, out, true);
    json->Stream() << doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                   << "\n";
  }
  std::unique_ptr<OutputFile> pmml;
  if (combiner) {
    pmml = std::make_unique<OutputFile>(options.pmmlFile, out, true);
    ScratchFile scratch;
    const MCCommon::MCStatus exported = combiner->ExportMiningModel(scratch.Path());
    if (exported.IsError()) {
      throw InputError(options.pmmlFile + ": the combined model cannot be written (" +
                       StatusWords(exported) + ")");
    }
    std::vector<std::vector<std::string>> values(options.split.size());
    for (std::size_t k = 0; k < options.split.size(); ++k) {
      for (const SplitGroup& g : groups) {
        if (std::find(values[k].begin(), values[k].end(), g.values[k]) == values[k].end()) {
          values[k].push_back(g.values[k]);
        }
      }
    }
    ListSplitValues(scratch.Path(), options.split, values);
    std::ifstream in(scratch.Path(), std::ios::binary);
    pmml->Stream() << in.rdbuf();
  }
  if (cancelled()) throw Cancelled();
  if (json) json->Commit();
  if (pmml) pmml->Commit();
  for (std::size_t g = 0; g < groups.size(); ++g) {
    for (const std::string& w : results[g].warnings) {
      err << "mcfit: warning: split " << Describe(options.split, groups[g].values) << ": " << w
          << "\n";
    }
  }
  if (options.quiet) return;
  // The report goes where the documents do not.
  const bool toOut = !(json && json->IsStandardOutput()) && !(pmml && pmml->IsStandardOutput());
  std::ostream& report = toOut ? out : err;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    report << (g ? "\n" : "") << "Split: " << Describe(options.split, groups[g].values) << "\n";
    WriteReport(results[g], report);
  }
}

}  // namespace MCFrontEnd
