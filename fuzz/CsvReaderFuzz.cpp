// Arbitrary bytes as a CSV file of the front end. The reader either throws InputError or returns a
// table whose columns all hold one entry per row, numeric columns only finite or missing
// values.

#include <cmath>

#include "DataTable.h"
#include "FuzzUtil.h"
#include "MCMV.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mcfuzz::QuietStreams();
  MCFrontEnd::DataTable table;
  try {
    table = MCFrontEnd::ParseCsv(mcfuzz::AsString(data, size), "fuzz.csv");
  } catch (const MCFrontEnd::InputError&) {
    return 0;
  }
  mcfuzz::Check(table.lines.size() == table.nRows, "one line number per row");
  for (const MCFrontEnd::Column& column : table.columns) {
    mcfuzz::Check(table.Find(column.name) >= 0, "a column that cannot be found");
    if (column.numeric) {
      mcfuzz::Check(column.values.size() == table.nRows, "numeric column length");
      for (double v : column.values) {
        mcfuzz::Check(std::isfinite(v), "a numeric value that is not finite");
      }
    } else {
      mcfuzz::Check(column.text.size() == table.nRows, "text column length");
      mcfuzz::Check(column.missing.size() == table.nRows, "missing flags length");
    }
  }
  if (table.nRows > 0) table.Where(table.nRows - 1);
  table.NameList();
  return 0;
}
