#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "MCVarList.h"
#include "MCXMLReadWrite.h"
#include "MCXMLUtil.h"
#include "MCXSplitPMMLCombiner.h"
#include "PMMLTestDocs.h"

namespace {

namespace fs = std::filesystem;
using MCCommon::MCStatus;
using MCCommonMetadata::IMCVariable;
using MCCommonMetadata::MCVarList;
using MCComXPrsUtil::GetAttribute;
using MCComXPrsUtil::GetFirstChildElmt;
using MCComXPrsUtil::GetNextSiblingElmt;
using MCComXPrsUtil::MCXSplitPMMLCombiner;
using MCComXPrsUtil::ToUTF8;
using xercesc::DOMElement;

std::string Attr(const DOMElement* e, const char* name) {
  const XMLCh* text = GetAttribute(e, name);
  return text != nullptr ? ToUTF8(text) : "<absent>";
}

std::vector<const DOMElement*> Children(const DOMElement* parent, const char* tag) {
  std::vector<const DOMElement*> out;
  for (const DOMElement* e = GetFirstChildElmt(parent, tag); e != nullptr;
       e = GetNextSiblingElmt(e, tag)) {
    out.push_back(e);
  }
  return out;
}

std::vector<std::string> Names(const DOMElement* parent, const char* tag, const char* attr) {
  std::vector<std::string> out;
  for (const DOMElement* e : Children(parent, tag)) out.push_back(Attr(e, attr));
  return out;
}

// "predicate: model intercept", and(...) for a compound, then the local derived fields.
std::vector<std::string> Segments(const DOMElement* root) {
  using MCComXPrsUtil::TagNameEquals;
  std::vector<std::string> out;
  const auto simple = [](const DOMElement* p) { return Attr(p, "field") + "=" + Attr(p, "value"); };
  for (const DOMElement* segment : Children(
           GetFirstChildElmt(GetFirstChildElmt(root, "MiningModel"), "Segmentation"), "Segment")) {
    const DOMElement* predicate = GetFirstChildElmt(segment, nullptr);
    std::string text = TagNameEquals(predicate, "SimplePredicate") ? simple(predicate) : "?";
    if (TagNameEquals(predicate, "CompoundPredicate")) {
      text = Attr(predicate, "booleanOperator") + "(";
      for (const DOMElement* p : Children(predicate, "SimplePredicate")) text += simple(p) + ",";
      text += ")";
    }
    const DOMElement* model = GetNextSiblingElmt(predicate, nullptr);
    text += ": " + ToUTF8(model->getTagName()) + " " +
            Attr(GetFirstChildElmt(model, "RegressionTable"), "intercept");
    const DOMElement* local = GetNextSiblingElmt(GetFirstChildElmt(model, "MiningSchema"), nullptr);
    if (MCComXPrsUtil::TagNameEquals(local, "LocalTransformations")) {
      for (const std::string& name : Names(local, "DerivedField", "name")) text += " " + name;
    }
    out.push_back(text);
  }
  return out;
}

// The intercept tells the models apart.
std::string SplitDoc(const std::string& intercept, const std::string& xValues,
                     const std::string& extraField = "", bool withTrans = false,
                     const std::string& function = "regression",
                     const std::string& model = "RegressionModel") {
  using pmml_test::El;
  using pmml_test::Field;
  const auto mining = [](const std::string& name) { return El("MiningField", {{"name", name}}); };
  const std::string trans =
      El("TransformationDictionary", {},
         El("DerivedField", {{"name", "x2"}, {"optype", "continuous"}, {"dataType", "double"}},
            "<Apply function=\"*\"><FieldRef field=\"y\"/><Constant>2</Constant></Apply>"));
  return "<?xml version=\"1.0\"?>\n<PMML version=\"3.2\" xmlns=\"http://www.dmg.org/PMML-3_2\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><Header copyright=\"c\">"
         "<Application name=\"app\" version=\"1\"/></Header>" +
         El("DataDictionary", {{"numberOfFields", "2"}},
            Field("y", "continuous", "double") + Field("x", "categorical", "string", xValues) +
                (extraField.empty() ? "" : Field(extraField, "continuous", "double"))) +
         (withTrans ? trans : "") +
         El(model, {{"functionName", function}},
            "<MiningSchema>" + El("MiningField", {{"name", "y"}, {"usageType", "predicted"}}) +
                mining("x") + (extraField.empty() ? "" : mining(extraField)) + "</MiningSchema>" +
                El("RegressionTable", {{"intercept", intercept}},
                   El("CategoricalPredictor",
                      {{"name", "x"}, {"value", "a"}, {"coefficient", "0.5"}}))) +
         "</PMML>\n";
}

class MCXSplitPMMLCombinerTest : public testing::Test {
 protected:
  void SetUp() override {
    fDir = fs::temp_directory_path() /
           ("mcstat_combiner_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(fDir);
    fSplit1.AddCatVar("region", "Sales region", std::vector<std::string>{"A", "B"},
                      IMCVariable::kInput);
    fSplit2 = fSplit1;
    fSplit2.AddCatVar("year", "", std::vector<double>{2020, 2021}, IMCVariable::kInput);
    fSplit2.GetVarAt(1)->SetVariableStorage(IMCVariable::kIntegerStorage);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(fDir, ignored);
  }

  std::string Write(const std::string& name, const std::string& text) {
    const fs::path path = fDir / name;
    std::ofstream(path) << text;
    return path.string();
  }

  // The combined document must be valid PMML 4.4 (when xmllint is there).
  const DOMElement* ExportAndRead(MCXSplitPMMLCombiner& combiner) {
    const std::string file = (fDir / "combined.xml").string();
    const MCStatus status = combiner.ExportMiningModel(file);
    EXPECT_TRUE(status.IsOK()) << status.GetErrorCode();
    const pmml_test::SchemaCheck check = pmml_test::ValidateAgainst("pmml-4-4.xsd", {file});
    EXPECT_TRUE(check.status == 0 || check.status == -1) << check.report;
    if (!fOut.ParseToDOM(file).IsOK()) return nullptr;
    return fOut.GetDocument()->getDocumentElement();
  }

  fs::path fDir;
  MCVarList fSplit1;
  MCVarList fSplit2;
  MCComXPrsUtil::MCXMLReadWrite fOut;
};

}  // namespace

TEST_F(MCXSplitPMMLCombinerTest, OneSplitVariableGivesSimplePredicates) {
  MCXSplitPMMLCombiner combiner(fSplit1);
  const std::string a = Write("a.xml", SplitDoc("1", "<Value value=\"a\"/>"));
  const std::string b =
      Write("b.xml", SplitDoc("2", "<Value value=\"b\"/><Value value=\"a\"/>", "z", true));
  ASSERT_TRUE(combiner.AddModel(a, {"A"}).IsOK());
  ASSERT_TRUE(combiner.AddModel(b, {"B\xE9"}).IsOK());  // Windows-1252, written as UTF-8
  EXPECT_EQ(combiner.GetNModels(), 2);

  const DOMElement* root = ExportAndRead(combiner);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(combiner.GetNModels(), 0);  // the document is released
  EXPECT_EQ(Attr(GetFirstChildElmt(root, "Header"), "copyright"), "c");

  const DOMElement* dict = GetFirstChildElmt(root, "DataDictionary");
  EXPECT_EQ(Names(dict, "DataField", "name"), (std::vector<std::string>{"y", "x", "region", "z"}));
  EXPECT_EQ(Attr(dict, "numberOfFields"), "4");
  const DOMElement* x = Children(dict, "DataField")[1];
  EXPECT_EQ(Names(x, "Value", "value"), (std::vector<std::string>{"a", "b"}));
  const DOMElement* region = Children(dict, "DataField")[2];
  EXPECT_EQ(Attr(region, "displayName"), "Sales region");

  const DOMElement* mining = GetFirstChildElmt(root, "MiningModel");
  EXPECT_EQ(Names(GetFirstChildElmt(mining, "MiningSchema"), "MiningField", "name"),
            (std::vector<std::string>{"y", "x", "region", "z"}));
  EXPECT_EQ(Segments(root), (std::vector<std::string>{"region=A: RegressionModel 1",
                                                      "region=B\xC3\xA9: RegressionModel 2 x2"}));
}

TEST_F(MCXSplitPMMLCombinerTest, TwoSplitVariablesGiveCompoundPredicates) {
  MCXSplitPMMLCombiner combiner(fSplit2);
  const std::vector<std::vector<std::string>> values = {
      {"A", "2020"}, {"A", "2021"}, {"B", "2020"}};
  for (std::size_t k = 0; k < values.size(); ++k) {
    const std::string file =
        Write("m" + std::to_string(k) + ".xml", SplitDoc(std::to_string(k), "", "", k == 2));
    ASSERT_TRUE(combiner.AddModel(file, values[k]).IsOK()) << k;
  }
  EXPECT_EQ(combiner.GetNModels(), 3);
  const DOMElement* root = ExportAndRead(combiner);
  ASSERT_NE(root, nullptr);
  const DOMElement* year = Children(GetFirstChildElmt(root, "DataDictionary"), "DataField")[3];
  EXPECT_EQ(Attr(year, "dataType"), "integer");

  EXPECT_EQ(Segments(root),
            (std::vector<std::string>{"and(region=A,year=2020,): RegressionModel 0",
                                      "and(region=A,year=2021,): RegressionModel 1",
                                      "and(region=B,year=2020,): RegressionModel 2 x2"}));
}

TEST_F(MCXSplitPMMLCombinerTest, RefusedModelsAddNoSegment) {
  MCXSplitPMMLCombiner combiner(fSplit1);
  const std::string good = Write("good.xml", SplitDoc("1", ""));
  const std::string classification =
      Write("class.xml", SplitDoc("1", "<Value value=\"q\"/>", "zz", false, "classification"));
  const std::string mining =
      Write("mining.xml", SplitDoc("1", "", "", false, "regression", "MiningModel"));
  const std::string noFunction = Write("nofunc.xml", "<PMML><TreeModel/></PMML>");
  const std::string noModel = Write("nomodel.xml", "<PMML><DataDictionary/></PMML>");

  EXPECT_EQ(combiner.AddModel(mining, {"A"}).GetErrorCode(), 125);
  EXPECT_EQ(combiner.GetStatus().GetErrorCode(), 125);
  EXPECT_EQ(combiner.ExportMiningModel((fDir / "none.xml").string()).GetErrorCode(), 107);
  EXPECT_EQ(combiner.AddModel(good, {"A", "B"}).GetErrorCode(), 126);
  EXPECT_EQ(combiner.AddModel(good, {"A\x01"}).GetErrorCode(), 108);  // no XML text
  EXPECT_EQ(combiner.AddModel((fDir / "absent.xml").string(), {"A"}).GetErrorCode(), 104);
  EXPECT_EQ(combiner.AddModel(noFunction, {"A"}).GetErrorCode(), 108);
  EXPECT_EQ(combiner.AddModel(noModel, {"A"}).GetErrorCode(), 107);
  EXPECT_EQ(combiner.GetNModels(), 0);

  ASSERT_TRUE(combiner.AddModel(good, {"A"}).IsOK());
  EXPECT_EQ(combiner.AddModel(classification, {"B"}).GetErrorCode(), 124);
  EXPECT_EQ(combiner.AddModel(good, {}).GetErrorCode(), 0);  // nothing to do
  EXPECT_EQ(combiner.AddModel(good, {"A", "B"}).GetErrorCode(), 126);
  EXPECT_EQ(combiner.GetNModels(), 1);

  const DOMElement* root = ExportAndRead(combiner);
  ASSERT_NE(root, nullptr);
  // The refused document left nothing behind.
  const DOMElement* dict = GetFirstChildElmt(root, "DataDictionary");
  EXPECT_EQ(Names(dict, "DataField", "name"), (std::vector<std::string>{"y", "x", "region"}));
  EXPECT_TRUE(Children(Children(dict, "DataField")[1], "Value").empty());
  EXPECT_EQ(Segments(root), std::vector<std::string>{"region=A: RegressionModel 1"});
}
