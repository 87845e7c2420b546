// mcfit: fits statistical models from the command line with the mcstat library.
#include <iostream>
#include <string>

#include "CLI/CLI.hpp"
#include "frontend/Commands.h"
#include "frontend/Errors.h"

namespace {

// An argument CLI11 did not expect, in words, with the option or command the user likely
// meant.
std::string Unexpected(CLI::App& app, const CLI::ParseError& error) {
  const std::vector<std::string> extras = app.remaining(true);
  const std::vector<CLI::App*> parsed = app.get_subcommands();
  std::vector<std::string> candidates{"--help"};
  if (!parsed.empty()) {
    for (const CLI::Option* option : parsed.front()->get_options()) {
      for (const std::string& name : option->get_lnames()) candidates.push_back("--" + name);
    }
  }
  for (const std::string& extra : extras) {
    if (parsed.empty() && !extra.empty() && extra[0] != '-') {
      std::vector<std::string> commands;
      for (const CLI::App* sub : app.get_subcommands({})) commands.push_back(sub->get_name());
      return "unknown command '" + MCFrontEnd::Printable(extra) + "'" +
             MCFrontEnd::DidYouMean(extra, commands);
    }
    if (extra.size() < 2 || extra[0] != '-') continue;
    const std::string word = extra.substr(0, extra.find('='));
    return "unknown option '" + MCFrontEnd::Printable(word) + "'" +
           MCFrontEnd::DidYouMean(word, candidates);
  }
  return error.what();
}

}  // namespace

int main(int argc, char** argv) {
  // Installed before any file is opened, so that Ctrl-C always takes the orderly way out.
  MCFrontEnd::InstallInterruptHandler();
  MCFrontEnd::InterruptQuery query;

  CLI::App app{"mcfit: linear and logistic regression with the mcstat library"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("mcfit ") + MCFrontEnd::Version());

  MCFrontEnd::FitOptions fit;
  double tolerance = fit.request.tolerance;
  std::string patterns;
  CLI::App* fitCmd = app.add_subcommand("fit", "fit one model and print its report");
  fitCmd->add_option("--data", fit.data,
                     "CSV file with a header row (gzip too), a binary record file, or - for "
                     "standard input")
      ->required();
  std::string separator;
  fitCmd->add_option("--sep", separator, "CSV separator: one character, or tab (default: ',', "
                                         "';' or tab as the header line shows)");
  fitCmd->add_option("--format", fit.format, "csv or bin (default: bin for *.bin, else csv)");
  fitCmd->add_option("--columns", fit.columns, "names of the values of a binary record")
      ->delimiter(',');
  fitCmd->add_option("--model", fit.request.model, "linear or logistic")->capture_default_str();
  fitCmd->add_option("--formula", fit.request.formula,
                     "model formula as in R, e.g. 'y ~ A*B + x + I(x^2) + log(z) + C(d, ref=2)'");
  fitCmd->add_option("--dependent", fit.request.dependent, "the response variable");
  fitCmd->add_option("--factors", fit.request.factors, "categorical predictors")->delimiter(',');
  fitCmd->add_option("--covariates", fit.request.covariates, "continuous predictors")
      ->delimiter(',');
  fitCmd->add_option("--effects", fit.request.effects, "terms such as A,x1,A*B,A:x1,x1*x1")
      ->delimiter(',');
  fitCmd->add_option("--freq-weight", fit.request.freqWeight, "frequency weight variable");
  fitCmd->add_option("--regr-weight", fit.request.regrWeight, "regression weight variable");
  fitCmd->add_flag("--no-intercept", "fit without an intercept");
  fitCmd->add_option("--tolerance", tolerance, "singularity tolerance of the sweep")
      ->capture_default_str();
  MCFrontEnd::LogisticOptions& logistic = fit.logistic;
  fitCmd->add_option("--reference", logistic.reference, "logistic: last, first or a category")
      ->capture_default_str();
  fitCmd->add_option("--max-iterations", logistic.maxIterations, "logistic: iteration limit")
      ->capture_default_str();
  fitCmd->add_option("--max-step-halving", logistic.maxStepHalving, "logistic: halvings a step")
      ->capture_default_str();
  fitCmd->add_option("--ll-criterion", logistic.llCriterion, "logistic: log-likelihood change")
      ->capture_default_str();
  fitCmd->add_option("--param-criterion", logistic.paramCriterion, "logistic: parameter change")
      ->capture_default_str();
  fitCmd->add_option("--patterns", patterns, "logistic: group records into covariate patterns")
      ->check(CLI::IsMember({"on", "off"}));
  fitCmd->add_option("--settings", fit.settingsFile, "settings document");
  fitCmd->add_option("--split", fit.split, "split variables")->delimiter(',');
  fitCmd->add_option("--json", fit.jsonFile, "write the results as JSON to this file (- for "
                                             "standard output)");
  fitCmd->add_option("--pmml", fit.pmmlFile, "write the model as PMML to this file (- for "
                                             "standard output)");
  fitCmd->add_option("--pmml-version", fit.pmmlVersion, "PMML version: 4.4 or 3.2")
      ->capture_default_str();
  fitCmd->add_option("--conf-level", fit.confLevel, "level of the confidence intervals")
      ->capture_default_str();
  fitCmd->add_option("--predictions", fit.predictionsFile,
                     "write each record's fitted value and residual (linear) or predicted "
                     "category and probabilities (logistic) as CSV to this file (- for standard "
                     "output)");
  fitCmd->add_option("--id", fit.idColumn, "a column to carry into the predictions");
  fitCmd->add_flag("--collinearity", fit.collinearity, "eigenvalues and condition indices");
  fitCmd->add_flag("--quiet", fit.quiet, "no report on standard output");
  fit.threads = 0;  // one per core
  fitCmd
      ->add_option("--threads", fit.threads,
                   "threads that read a binary or cached file and run the fit's passes, each "
                   "over a range of the records; the numbers are those of one thread "
                   "(default: one per core; 1: one stream)")
      ->check(CLI::PositiveNumber);

  MCFrontEnd::ScoreOptions score;
  CLI::App* scoreCmd = app.add_subcommand("score", "score records with a model fit wrote");
  scoreCmd->add_option("--pmml", score.pmml, "the model")->required();
  scoreCmd->add_option("--data", score.data, "CSV file of the records")->required();
  scoreCmd->add_option("--out", score.out, "CSV file of scores")->required();
  scoreCmd->add_option("--id", score.id, "a column to carry into the scores");

  MCFrontEnd::GenOptions gen;
  CLI::App* genCmd = app.add_subcommand("gen", "write a benchmark data set");
  genCmd->add_option("--kind", gen.kind, "linear or logistic")->capture_default_str();
  genCmd->add_option("--rows", gen.rows, "number of records")->required();
  genCmd->add_option("--out", gen.out, "output file (.csv for CSV, else binary)")->required();
  genCmd->add_option("--seed", gen.seed, "random seed")->capture_default_str();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help
    // One line, like every other complaint of the program; a word CLI11 did not expect (an
    // option or a command) with what was likely meant.
    const bool unexpected = dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr ||
                            (app.get_subcommands().empty() && !app.remaining(true).empty());
    std::cerr << "mcfit: " << (unexpected ? Unexpected(app, e) : std::string(e.what()))
              << " (see mcfit --help)\n";
    return MCFrontEnd::kExitBadInput;
  }

  if (*fitCmd) {
    if (separator == "tab" || separator == "\\t") separator = "\t";
    if (!separator.empty()) {
      if (separator.size() != 1 || separator == "\"" || separator == "\n" || separator == "\r") {
        std::cerr << "mcfit: --sep: one character other than a quote or a line end, or tab\n";
        return MCFrontEnd::kExitBadInput;
      }
      fit.separator = separator[0];
    }
    fit.interceptGiven = fitCmd->count("--no-intercept") > 0;
    fit.request.intercept = !fit.interceptGiven;
    fit.toleranceGiven = fitCmd->count("--tolerance") > 0;
    fit.request.tolerance = tolerance;
    fit.modelGiven = fitCmd->count("--model") > 0;
    fit.confLevelGiven = fitCmd->count("--conf-level") > 0;
    for (const char* name : {"--reference", "--max-iterations", "--max-step-halving",
                             "--ll-criterion", "--param-criterion", "--patterns"}) {
      if (fitCmd->count(name) > 0) {
        fit.logisticOptions = true;
        fit.logisticGiven.insert(name);
      }
    }
    fit.logistic.patterns = patterns == "on";
    return MCFrontEnd::RunFit(fit, std::cout, std::cerr, &query);
  }
  if (*scoreCmd) return MCFrontEnd::RunScore(score, std::cout, std::cerr, &query);
  return MCFrontEnd::RunGen(gen, std::cout, std::cerr, &query);
}
