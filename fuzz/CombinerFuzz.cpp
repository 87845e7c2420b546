// Arbitrary bytes as the PMML document of one split's model: the combiner adds it for two split
// values, then writes the combined document, which must parse again. The file names are this
// process's own, so parallel fuzzing jobs do not share them.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzUtil.h"
#include "MCVarList.h"
#include "MCXMLReadWrite.h"
#include "MCXSplitPMMLCombiner.h"

namespace {

std::string TempFile(const char* leaf) {
  return (std::filesystem::temp_directory_path() /
          ("mcstat_fuzz_combiner_" + std::to_string(getpid()) + "_" + leaf))
      .string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mcfuzz::QuietStreams();
  static const std::string model = TempFile("model.xml");
  static const std::string combined = TempFile("combined.xml");
  {
    std::ofstream out(model, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  MCCommonMetadata::MCVarList split;
  split.AddCatVar("region", "Region", std::vector<std::string>{"A", "B"},
                  MCCommonMetadata::IMCVariable::kInput);
  MCComXPrsUtil::MCXSplitPMMLCombiner combiner(split);

  int added = 0;
  for (const char* value : {"A", "B"}) {
    const MCCommon::MCStatus status = combiner.AddModel(model, {value});
    mcfuzz::Check(status == combiner.GetStatus(), "AddModel keeps its status");
    if (status.IsOK()) ++added;
    mcfuzz::Check(combiner.GetNModels() == added, "a segment for each model added, no other");
  }
  mcfuzz::Check(combiner.AddModel(model, {"A", "B"}).GetErrorCode() == 126, "value count");
  mcfuzz::Check(combiner.GetNModels() == added, "a refused model added a segment");

  const MCCommon::MCStatus exported = combiner.ExportMiningModel(combined);
  mcfuzz::Check(combiner.GetNModels() == 0, "the document is released after export");
  if (added == 0) {
    mcfuzz::Check(exported.GetErrorCode() == 107, "export without a model");
  } else if (exported.IsOK()) {
    // What the combiner writes reads again, unless the copied model sits too deep for it.
    MCComXPrsUtil::MCXMLReadWrite reader;
    const MCCommon::MCStatus read = reader.ParseToDOM(combined);
    mcfuzz::Check(read.IsOK() || reader.GetXercesMessage() == "elements are nested too deeply",
                  "the combined document does not parse");
  }
  std::remove(combined.c_str());
  std::remove(model.c_str());
  return 0;
}
