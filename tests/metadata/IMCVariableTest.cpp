#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "IMCEncoder.h"
#include "MCCatVar.h"
#include "MCContVar.h"
#include "MCMV.h"
#include "MCVarList.h"
#include "MCWeightVar.h"
#include "MetadataTestUtil.h"
#include "VarListGenerator.h"
#include "XMLObj.h"

namespace {

using namespace MCCommonMetadata;
using metadata_test::ExpectReadFailure;
using metadata_test::ExpectSameEncoder;
using metadata_test::ExpectSameVariable;
using metadata_test::Indexes;

constexpr double kHighest = std::numeric_limits<double>::max();

TEST(MCContVarTest, BinningStatusAndCategoriesFollowTheRange) {
  const auto bins = [](const MCContVar& v) {
    const MCBinningEncoder* b =
        dynamic_cast<const MCContEncoder&>(*v.GetEncoder()).GetBinningEncoder();
    return b == nullptr ? std::vector<double>{-1} : b->GetBinningCutpoints();
  };
  const IMCVariable::VariableRole in = IMCVariable::kInput;
  EXPECT_EQ(bins(MCContVar("x", "", 3, 3, in, true, 4)), std::vector<double>{-1});
  EXPECT_EQ(MCContVar("x", "", 3, 3, in, true, 4).GetNBins(), 4);
  EXPECT_EQ(bins(MCContVar("x", "", 0, 10, in, true, 5)), (std::vector<double>{2, 4, 6, 8}));
  MCContVar cuts("x", "", std::vector<double>{1, 5}, true, in);
  EXPECT_EQ(cuts.GetNBins(), 3);
  EXPECT_EQ(bins(cuts), (std::vector<double>{1, 5}));
  EXPECT_EQ(cuts.GetCutPoints(), (std::vector<double>{1, 5}));
  EXPECT_EQ(cuts.GetMin(), std::numeric_limits<double>::lowest());
  EXPECT_EQ(bins(MCContVar("x", "", 5, 1, std::vector<double>{2, 3}, true, in)),
            std::vector<double>{-1});
  EXPECT_EQ(MCContVar("x", "", 1, 5, std::vector<double>{2, 3}, true, in).GetNumberOfCategories(),
            3);
  const std::pair<double, double> ranges[] = {{0, 1}, {2, 2}, {2, 1}, {-kHighest, kHighest}};
  const IMCVariable::VarStatus statuses[] = {IMCVariable::kStatusOK, IMCVariable::kStatusConstant,
                                             IMCVariable::kStatusInvalid, IMCVariable::kStatusOK};
  for (int k = 0; k < 4; ++k)
    EXPECT_EQ(MCContVar("x", "", ranges[k].first, ranges[k].second, in, false, 0).GetVarStatus(),
              statuses[k]);

  MCContVar v("x", "", in);
  EXPECT_EQ(std::make_pair(v.GetNBins(), v.GetNumberOfCategories()), std::make_pair(-1, 0));
  MCContVar binned("x", "", std::vector<double>{1, 2, 3}, true, in);
  binned.SetNBins(9);
  EXPECT_EQ(binned.GetNumberOfCategories(), 4);
  EXPECT_EQ(binned.UpdateNumberOfCategories(), 4);
  EXPECT_EQ(binned.GetNBins(), 4);
}

TEST(MCCatVarTest, CountNeverShrinksAndFollowsTheEncoder) {
  MCCatVar v("c", "", 0, IMCVariable::kNumericCategorical, IMCVariable::kInput, false);
  EXPECT_EQ(v.GetVarStatus(), IMCVariable::kStatusInvalid);
  v.GetEncoder()->Encode(4.0);
  EXPECT_EQ(v.GetNumberOfCategories(), 0);
  EXPECT_EQ(v.GetVarStatus(), IMCVariable::kStatusConstant);
  EXPECT_EQ(v.GetNumberOfCategories(), 1);
  v.GetEncoder()->Encode(5.0);
  v.GetEncoder()->Encode(6.0);
  EXPECT_EQ(v.UpdateNumberOfCategories(), 3);
  EXPECT_EQ(v.GetVarStatus(), IMCVariable::kStatusOK);
  v.SetNumberOfCategories(7);
  EXPECT_EQ(v.UpdateNumberOfCategories(), 7);

  v.ChangeEncoder(new MCStringEncoder(std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(v.GetNumberOfCategories(), 2);
  MCCatVar s("s", "", 5, IMCVariable::kStringCategorical, IMCVariable::kTarget, true);
  EXPECT_EQ(s.GetEncoder()->GetEncoderType(), IMCEncoder::kStringEncoder);
  EXPECT_EQ(s.GetMeasureLevel(), IMCVariable::kStringCategorical);
}

TEST(MCWeightVarTest, RoleAndLevelAreFixed) {
  MCWeightVar w("w", "weight", IMCVariable::kRoundClosest);
  w.SetVariableRole(IMCVariable::kInput);
  w.SetMissingValueReplacement("1");
  EXPECT_EQ(w.GetVariableRole(), IMCVariable::kFrequencyWeightRole);
  EXPECT_EQ(w.GetMeasureLevel(), IMCVariable::kFrequencyWeightMeasure);
  EXPECT_EQ(w.GetMissingValueReplacement(), nullptr);
  EXPECT_EQ(w.GetVarStatus(), IMCVariable::kStatusOK);
  EXPECT_EQ(w.GetEncoder()->Encode(2.5), 3);
}

// Changes everything a copy could wrongly share with its original or a reader could wrongly keep.
void Spoil(IMCEncoder& e) {
  e.Encode(12345.0);
  e.Encode(std::string("spoilt"));
  e.SetValueLabel(0, "spoilt");
  e.AddDiscreteUserMissing(-12345.0, "spoilt");
  e.AddDiscreteUserMissing(std::string("spoilt?"), "spoilt");
  e.SetMissingInterval(-3e300, -2e300);
  auto* cont = dynamic_cast<MCContEncoder*>(&e);
  if (cont != nullptr && cont->GetBinningEncoder() != nullptr) {
    cont->GetBinningEncoder()->SetBinningCutpoints({5});
  }
}

void Spoil(IMCVariable& v) {
  v.SetVariableLabel("spoilt");
  v.SetMissingValueReplacement("spoilt");
  v.SetVariableStorage(IMCVariable::kTimeStorage);
  Spoil(*v.GetEncoder());
}

// A copy made by the class's own assignment, into an object of the class in another state.
template <class T, class Base>
Base* Assigned(const Base& from, T* into) {
  *into = dynamic_cast<const T&>(from);
  return into;
}

IMCVariable* AssignedCopy(const IMCVariable& v) {
  switch (v.GetMeasureLevel()) {
    case IMCVariable::kContinuous:
      return Assigned(v, new MCContVar("?", "?", 0, 1, IMCVariable::kTarget, true, 3));
    case IMCVariable::kFrequencyWeightMeasure:
      return Assigned(v, new MCWeightVar("?", "?", IMCVariable::kTruncate));
    default:
      return Assigned(v, new MCCatVar("?", "?", 2, IMCVariable::kStringCategorical,
                                      IMCVariable::kTarget, true));
  }
}

IMCEncoder* AssignedCopy(const IMCEncoder& e) {
  switch (e.GetEncoderType()) {
    case IMCEncoder::kContEncoder:
      return Assigned(e, new MCContEncoder(0, 1, 3));
    case IMCEncoder::kCatNumEncoder:
      return Assigned(e, new MCCatNumEncoder(std::vector<double>{-1}));
    case IMCEncoder::kStringEncoder:
      return Assigned(e, new MCStringEncoder(std::vector<std::string>{"?"}));
    default:
      return Assigned(e, new MCRoundEncoder(IMCVariable::kTruncate));
  }
}

// Copies must equal a twin of the original after it has been changed and destroyed.
TEST(VariablePropertyTest, CopiesAndStreamedCopiesAreEqualAndOwnEverything) {
  metadata_test::VarListGenerator generator(20240518), twin(20240518);
  MCVarList read;
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto original = std::make_unique<MCVarList>(generator.Next());
    MCVarList list;
    list = *original;
    std::vector<std::unique_ptr<IMCVariable>> variables;
    std::vector<std::unique_ptr<IMCEncoder>> encoders;
    std::vector<std::string> texts;
    for (int i = 0; i < original->Size(); ++i) {
      const IMCVariable& v = *original->GetVarAt(i);
      variables.emplace_back(v.Clone());
      variables.emplace_back(AssignedCopy(v));
      encoders.emplace_back(v.GetEncoder()->Clone());
      encoders.emplace_back(AssignedCopy(*v.GetEncoder()));
      std::ostringstream os, encoderText;
      const int lines = v.WriteObjectXML(os, 1),
                encoderLines = v.GetEncoder()->WriteObjectXML(encoderText, 2);
      EXPECT_EQ(lines, metadata_test::CountLines(os.str()));
      EXPECT_EQ(encoderLines, metadata_test::CountLines(encoderText.str()));
      EXPECT_EQ(encoderText.str().rfind("\n\t\t<Obj name=\"", 0), 0u);
      texts.push_back(os.str());
      texts.push_back(encoderText.str());
    }
    std::ostringstream os;
    const int lines = list.WriteObjectXML(os, 0);
    ASSERT_TRUE(os.good());
    EXPECT_EQ(lines, metadata_test::CountLines(os.str()));
    for (int i = 0; i < original->Size(); ++i) Spoil(*original->GetVarAt(i));
    original.reset();
    const MCVarList expected = twin.Next();  // made after, in the memory the original freed
    std::istringstream is(os.str());
    ASSERT_EQ(read.ReadObjectXML(is), lines);
    EXPECT_EQ(Indexes(read), Indexes(expected));
    EXPECT_EQ(Indexes(list), Indexes(expected));
    for (int i = 0; i < expected.Size(); ++i) {
      SCOPED_TRACE("variable " + std::to_string(i));
      ExpectSameVariable(*expected.GetVarAt(i), *list.GetVarAt(i));
      const IMCVariable& v = *read.GetVarAt(i);
      ExpectSameVariable(*expected.GetVarAt(i), v, true);
      if (v.GetMeasureLevel() == IMCVariable::kContinuous) {
        EXPECT_EQ(v.GetVariableRole(), IMCVariable::kInput);  // a role it does not write
      }
    }
    std::ostringstream again;
    read.WriteObjectXML(again, 0);
    EXPECT_EQ(again.str(), os.str());
    for (std::size_t k = 0; k < variables.size(); ++k) {
      SCOPED_TRACE("copy " + std::to_string(k));
      const IMCVariable& want = *expected.GetVarAt(static_cast<int>(k / 2));
      ExpectSameVariable(want, *variables[k]);
      ExpectSameEncoder(*want.GetEncoder(), *encoders[k]);
      std::istringstream copyText(texts[k]);
      const int copyLines = metadata_test::CountLines(texts[k]);
      if (k % 2 == 0) {
        Spoil(*variables[k]);
        EXPECT_EQ(variables[k]->ReadObjectXML(copyText), copyLines);
        ExpectSameVariable(want, *variables[k], true);
      } else {
        Spoil(*encoders[k]);
        EXPECT_EQ(encoders[k]->ReadObjectXML(copyText), copyLines);
        ExpectSameEncoder(*want.GetEncoder(), *encoders[k], true);
      }
    }
  }
}

TEST(VariableStreamTest, ContVarWithoutEncoder) {
  const std::string text =
      "\n<Obj name=\"MCContVar\">\n<String value=\"a\"/>\n<String value=\"\"/>"
      "\n<Int value=\"2\"/>\n<Double value=\"0\"/>\n<Double value=\"1\"/>\n<Double "
      "value=\"Missing\"/>\n<Double value=\"Missing\"/>\n<Int value=\"0\"/>\n<Int value=\"0\"/>";
  MCContVar v("x", "", IMCVariable::kInput);
  std::istringstream is(text + "\n<Int value=\"0\"/>\n</Obj>");
  EXPECT_EQ(v.ReadObjectXML(is), 12);
  EXPECT_EQ(v.GetEncoder(), nullptr);
  EXPECT_EQ(v.GetNumberOfCategories(), 2);
  EXPECT_EQ(v.UpdateNumberOfCategories(), 2);

  std::ostringstream os;
  EXPECT_EQ(v.WriteObjectXML(os, 0), 12);
  std::unique_ptr<IMCVariable> clone(v.Clone());
  EXPECT_EQ(clone->GetEncoder(), nullptr);

  std::istringstream wrongType(text + "\n<Int value=\"2\"/>\n</Obj>");
  testing::internal::CaptureStdout();
  ExpectReadFailure([&] { v.ReadObjectXML(wrongType); }, "Failure reading MCContVar!\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Wrong encoder type in MCContVar!\n");
}

template <class T, class... Args>
std::function<void(std::istream&)> Fresh(Args... args) {
  return [=](std::istream& is) { T(args...).ReadObjectXML(is); };
}

// An empty from drops the end line.
std::string EditedList(const std::string& from, const std::string& to, bool last = false) {
  std::ostringstream os;
  metadata_test::SampleList().WriteObjectXML(os, 1);
  std::string text = os.str();
  if (from.empty()) return text.erase(text.rfind('\n'));
  const std::size_t at = last ? text.rfind(from) : text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// A broken part reports with its own message only.
TEST(MalformedStreamTest, EachReaderPrintsItsMessageAndThrows) {
  const std::string cat = "\n<Obj name=\"MCCatNumEncoder\">\n<Int value=\"";
  const IMCVariable::VariableRole in = IMCVariable::kInput;
  const auto catVar = Fresh<MCCatVar>("c", "", 0, IMCVariable::kNumericCategorical, in, false);
  MCCatVar written("c", "", 0, IMCVariable::kNumericCategorical, in, false);
  std::ostringstream os;
  written.WriteObjectXML(os, 0);
  std::string text = os.str(), noEncoder = text.substr(0, text.find("\n\t<Obj")) + "\n</Obj>";
  noEncoder.replace(noEncoder.rfind("value=\"2\""), 9, "value=\"0\"");  // none for a category
  const std::string longName(MCCommonXML::XMLObj::kMaxLineLength, 'n');
  const struct {
    std::function<void(std::istream&)> read;
    std::string text, name;
  } streams[] = {
      {Fresh<MCContEncoder>(), cat + "0\"/>", "MCContEncoder"},
      {Fresh<MCContEncoder>(),
       "\n<Obj name=\"MCContEncoder\">\n<Int value=\"3\"/>\n<Int value=\"0\"/>"
       "\n<Int value=\"-1\"/>\n</Obj>",
       "MCContEncoder"},
      {Fresh<MCCatNumEncoder>(),
       cat + "2\"/>\n<Double value=\"1\"/>\n<Double value=\"1\"/>\n<Int value=\"0\"/>"
             "\n<Int value=\"0\"/>\n<Int value=\"0\"/>\n</Obj>",
       "MCCatNumEncoder"},
      {Fresh<MCCatNumEncoder>(),
       cat + "1\"/>\n<Double value=\"nan\"/>\n<Int value=\"0\"/>\n<Int value=\"0\"/>"
             "\n<Int value=\"0\"/>\n</Obj>",
       "MCCatNumEncoder"},
      {Fresh<MCStringEncoder>(),
       "\n<Obj name=\"MCStringEncoder\">\n<Int value=\"1\"/>\n<String value=\"a\"/>"
       "\n<Int value=\"0\"/>\n<Int value=\"0\"/>",
       "MCStringEncoder"},
      {Fresh<MCRoundEncoder>(),
       "\n<Obj name=\"MCRoundEncoder\">\n<Int value=\"1\"/>\n<Int value=\"1\"/>"
       "\n<Double value=\"2\"/>\n<Double value=\"1\"/>\n<Int value=\"0\"/>\n</Obj>",
       "MCRoundEncoder from XML"},
      {catVar, noEncoder, "MCCatVar"},
      {catVar, std::string(text).replace(text.find("MCCatNumEncoder"), 15, "MCCatNumEncodeR"),
       "MCCatNumEncoder"},
      {catVar, "\n<Obj name=\"MCWeightVar\">", "MCCatVar"},
      // A line too long for the stream (the writer refuses it too).
      {Fresh<MCWeightVar>("w", "", IMCVariable::kAsIs),
       "\n<Obj name=\"MCWeightVar\">\n\t<String value=\"" + longName + "\"/>", "MCWeightVar"},
      {Fresh<MCVarList>(), EditedList("MCVarList", "MCVarLisT"), "MCVarList"},
      {Fresh<MCVarList>(), EditedList("\"1\"/>\n\t\t<Obj", "\"7\"/>\n\t\t<Obj"), "MCVarList"},
      {Fresh<MCVarList>(), EditedList("\"6\"", "\"-6\""), "MCVarList"},
      {Fresh<MCVarList>(),  // the target index beyond the list
       EditedList("\"2\"/>\n\t\t<Int value=\"3\"", "\"6\"/>\n\t\t<Int value=\"3\"", true),
       "MCVarList"},
      {Fresh<MCVarList>(), EditedList("\"3\"", "\"x\"", true), "MCVarList"},
      {Fresh<MCVarList>(), EditedList("", ""), "MCVarList"}};
  for (const auto& s : streams) {
    std::istringstream is(s.text);
    ExpectReadFailure([&] { s.read(is); }, "Failure reading " + s.name + "!\n");
  }
  MCWeightVar w(longName, "", IMCVariable::kAsIs);
  std::ostringstream wos;
  w.WriteObjectXML(wos, 0);
  EXPECT_TRUE(wos.fail());
}

}  // namespace
