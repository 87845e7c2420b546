// Runs the built mcfit as a user would, in a scratch folder per test.
#ifndef MCFIT_TESTS_PROGRAMSUPPORT_H_
#define MCFIT_TESTS_PROGRAMSUPPORT_H_

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../regression/RefFields.h"

namespace mcfit_test {

inline const std::string kExe = MCFIT_EXE;
inline const std::string kFixturesRoot = std::string(MCSTAT_FIXTURES_DIR) + "/";

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    fDir = ::testing::TempDir() + "mcfit_program_" + std::to_string(::getpid());
    Shell("rm -rf '" + fDir + "' && mkdir -p '" + fDir + "'");
  }
  void TearDown() override { Shell("rm -rf '" + fDir + "' '" + fDir + ".listing'"); }
  static int Shell(const std::string& cmd) {
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
  // Runs mcfit with the arguments; standard output lands in fOut, standard error in fErr.
  // `before` is shell text put before the program: "umask 077;", "cat FILE |".
  int Run(const std::string& args, const std::string& before = "") {
    const int rc = Shell(before + " '" + kExe + "' " + args + " > '" + fDir + "/stdout' 2> '" +
                         fDir + "/stderr'");
    fOut = ReadFile(fDir + "/stdout");
    fErr = ReadFile(fDir + "/stderr");
    Shell("rm -f '" + fDir + "/stdout' '" + fDir + "/stderr'");
    return rc;
  }
  void WriteFile(const std::string& name, const std::string& text) {
    std::ofstream(fDir + "/" + name, std::ios::binary) << text;
  }
  std::string Listing() {
    // Beside the scratch folder, not in it, and per process: ctest runs cases in parallel.
    Shell("ls -A '" + fDir + "' > '" + fDir + ".listing'");
    return ReadFile(fDir + ".listing");
  }
  std::string fDir;
  std::string fOut;
  std::string fErr;
};

inline std::string Join(const std::vector<std::string>& items) {
  std::string s;
  for (const std::string& i : items) s += (s.empty() ? "" : ",") + i;
  return s;
}

// The mcfit options of the model a fixture's .ref file describes.
inline std::string ModelArgs(const regtest::FixtureFields& ref) {
  std::vector<std::string> factors;
  for (const std::string& f : ref.List("factors")) factors.push_back(f.substr(0, f.find(':')));
  std::string args;
  if (!factors.empty()) args += " --factors " + Join(factors);
  if (!ref.List("covariates").empty()) args += " --covariates " + Join(ref.List("covariates"));
  args += " --effects '" + Join(ref.List("effects")) + "'";
  if (ref.One("intercept") == "0") args += " --no-intercept";
  if (!ref.One("freq").empty()) args += " --freq-weight " + ref.One("freq");
  if (!ref.One("regr").empty()) args += " --regr-weight " + ref.One("regr");
  return args;
}

// Enough for the files mcfit writes and the fixtures: no field holds a comma, a quote or a line
// end. mcfit's own reader is under test.
struct CsvTable {
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> rows;
  std::size_t Column(const std::string& name) const {
    for (std::size_t j = 0; j < names.size(); ++j) {
      if (names[j] == name) return j;
    }
    ADD_FAILURE() << "no column " << name;
    return 0;
  }
  double Number(std::size_t row, std::size_t column) const {
    const std::string& f = rows[row][column];
    return f.empty() ? std::nan("") : std::stod(f);
  }
};

inline CsvTable ReadCsv(const std::string& path) {
  CsvTable table;
  std::istringstream in(ReadFile(path));
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields(1);
    for (const char c : line) {
      if (c == ',') {
        fields.emplace_back();
      } else if (c != '"' && c != '\r') {
        fields.back() += c;
      }
    }
    if (table.names.empty()) {
      table.names = fields;
    } else {
      table.rows.push_back(fields);
    }
  }
  return table;
}

inline bool Near(double actual, double expected, double rel = 1e-9) {
  return std::fabs(actual - expected) <= rel * std::fabs(expected) + 1e-12;
}

}  // namespace mcfit_test

#endif  // MCFIT_TESTS_PROGRAMSUPPORT_H_
