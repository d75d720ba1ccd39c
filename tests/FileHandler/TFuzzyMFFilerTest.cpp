#include "FileHandler/TFuzzyMFFiler.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FileHandler/ParseTools.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

// The input MF list of a network with one input InputA whose terms A, B, C centre on 0, 0.5, 1.
const char* const kInputsBlock =
    "[MFList]\n"
    "\n"
    "[MFListInfo]\n"
    "[VariablesRepresented = 1]\n"
    "[ListName = Inputs]\n"
    "[~MFListInfo]\n"
    "\n"
    "[MFSet]\n"
    "\n"
    "[MFSetInfo]\n"
    "[Name=InputA Index=0 Type=Triangular ]\n"
    "[LowerBound=0.0000000 UpperBound=1.0000000 ]\n"
    "[NumberOfMF = 3]\n"
    "[~MFSetInfo]\n"
    "\n"
    "[MF]\n"
    "[Name=A Index=0 Type=LeftShoulderedTriangular ]\n"
    "[Centre=0.0000000 RightBound=0.5000000 ]\n"
    "[~MF]\n"
    "\n"
    "[MF]\n"
    "[Name=B Index=1 Type=Triangular ]\n"
    "[LeftBound=0.0000000 Centre=0.5000000 RightBound=1.0000000 ]\n"
    "[~MF]\n"
    "\n"
    "[MF]\n"
    "[Name=C Index=2 Type=RightShoulderedTriangular ]\n"
    "[LeftBound=0.5000000 Centre=1.0000000 ]\n"
    "[~MF]\n"
    "\n"
    "[~MFSet]\n"
    "\n"
    "[~MFList]\n"
    "\n";

std::unique_ptr<TMFSetList> InputsList() {
    auto set = std::make_unique<TBasicMFSet>("Triangular", "InputA", 3, 0, 1);
    auto a = std::make_unique<TLShoulderTriangularMF>("A");
    a->Centre = 0;
    a->RightBound = 0.5;
    auto b = std::make_unique<TTriangularMF>("B");
    b->LeftBound = 0;
    b->Centre = 0.5;
    b->RightBound = 1;
    auto c = std::make_unique<TRShoulderTriangularMF>("C");
    c->LeftBound = 0.5;
    c->Centre = 1;
    set->SetMF(0, std::move(a));
    set->SetMF(1, std::move(b));
    set->SetMF(2, std::move(c));
    auto list = std::make_unique<TMFSetList>(1, "Inputs");
    list->SetMFSet(0, std::move(set));
    return list;
}

std::string Saved(const TMFSetList& list) {
    std::ostringstream out;
    TFuzzyMFFiler::SaveMFList(out, list);
    return out.str();
}

std::unique_ptr<TMFSetList> Loaded(const std::string& text) {
    std::istringstream in(text);
    return TFuzzyMFFiler::LoadMFList(in);
}

// A one-set list block around the given MF blocks.
std::string ListWithSet(const std::string& setInfo, const std::string& mfs) {
    return "[MFList][MFListInfo][VariablesRepresented = 1][ListName = L][~MFListInfo]"
           "[MFSet][MFSetInfo]" +
           setInfo + "[~MFSetInfo]" + mfs + "[~MFSet][~MFList]";
}

std::string TwoMFs(const std::string& mfs) {
    return ListWithSet("[Name=X Index=0 Type=Triangular][LowerBound=0 UpperBound=1][NumberOfMF=2]",
                       mfs);
}

const char* const kSingleton0 = "[MF][Name=P Index=0 Type=Singleton][Centre = 0.25][~MF]";
const char* const kSingleton1 = "[MF][Name=Q Index=1 Type=Singleton][Centre = 0.75][~MF]";

TEST(SaveMFList, WritesTheDocumentedBlockByteForByte) {
    EXPECT_EQ(Saved(*InputsList()), kInputsBlock);
}

TEST(SaveMFList, SingletonAndRectangularParameterLines) {
    TMFSetList list(1, "");
    auto set = std::make_unique<TBasicMFSet>("Mixed", "Y", 2, -1, 1);
    auto single = std::make_unique<TSingletonMF>("S");
    single->Centre = 0.3;
    auto rect = std::make_unique<TRectangularMF>();  // unnamed
    rect->LeftBound = -0.25;
    rect->RightBound = 0.125;
    set->SetMF(0, std::move(single));
    set->SetMF(1, std::move(rect));
    list.SetMFSet(0, std::move(set));
    const std::string text = Saved(list);
    EXPECT_EQ(text.find("ListName"), std::string::npos);  // absent list name: no statement
    EXPECT_NE(text.find("[Name=S Index=0 Type=Singleton ]\n[Centre = 0.3000000]\n"),
              std::string::npos);
    EXPECT_NE(text.find("[MF]\n[Index=1 Type=Rectangular ]\n"
                        "[LeftBound=-0.2500000 RightBound=0.1250000 ]\n[~MF]\n"),
              std::string::npos);
}

TEST(SaveMFList, RefusesWhatCouldNotBeReadBack) {
    TMFSetList holes(1, "L");
    EXPECT_CHECK_FAILS(Saved(holes), "set!=NULL");
    holes.SetMFSet(0, std::make_unique<TBasicMFSet>("Singleton", "X", 1, 0, 1));
    EXPECT_CHECK_FAILS(Saved(holes), "mf!=NULL");

    TMFSetList unknown(1, "L");
    unknown.SetMFSet(0, std::make_unique<TBasicMFSet>("Singleton", "X", 1, 0, 1));
    auto mf = std::make_unique<TSingletonMF>("S");
    mf->Type = "Gaussian";
    unknown.GetMFSet(0)->SetMF(0, std::move(mf));
    EXPECT_CHECK_FIRES(Saved(unknown));  // a shape the filer does not know

    TMFSetList unnamed(1, "L");
    unnamed.SetMFSet(0, std::make_unique<TBasicMFSet>("Singleton", "", 1, 0, 1));
    EXPECT_CHECK_FAILS(Saved(unnamed), "set->Name!=NULL");
}

TEST(LoadMFList, ReadsTheDocumentedBlockBackToTheSameBytes) {
    const auto list = Loaded(kInputsBlock);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->ListName, "Inputs");
    ASSERT_EQ(list->VariablesRepresented, 1);
    const TBasicMFSet& set = *list->GetMFSet(0);
    EXPECT_EQ(set.Name, "InputA");
    EXPECT_EQ(set.Type, "Triangular");
    EXPECT_EQ(set.NumberOfMF, 3);
    const auto& b = dynamic_cast<const TTriangularMF&>(*set.GetMF(1));
    EXPECT_EQ(b.Name, "B");
    EXPECT_EQ(b.LeftBound, 0);
    EXPECT_EQ(b.Centre, 0.5);
    EXPECT_EQ(b.RightBound, 1);
    EXPECT_EQ(dynamic_cast<const TRShoulderTriangularMF&>(*set.GetMF(2)).LeftBound, 0.5);
    EXPECT_EQ(Saved(*list), kInputsBlock);
}

TEST(LoadMFList, EveryTypeRoundTripsAndKeywordsIgnoreCase) {
    const std::string text =
        "[mflist][MFLISTINFO][variablesrepresented = 1][listname = L][~mflistinfo]"
        "[mfset][mfsetinfo][name=X index=0 type=Mixed][lowerbound=0 upperbound=1][numberofmf=5]"
        "[~MFSETINFO]"
        "[mf][name=A index=0 type=singleton][centre = 0.1][~mf]"
        "[mf][name=B index=1 type=TRIANGULAR][leftbound=0 centre=0.2 rightbound=0.3][~mf]"
        "[mf][name=C index=2 type=rectangular][leftbound=0.4 rightbound=0.5][~mf]"
        "[mf][name=D index=3 type=leftshoulderedtriangular][centre=0.6 rightbound=0.7][~mf]"
        "[mf][name=E index=4 type=rightshoulderedtriangular][leftbound=0.8 centre=0.9][~mf]"
        "[~MFSet][~MFList]";
    const auto list = Loaded(text);
    const TBasicMFSet& set = *list->GetMFSet(0);
    EXPECT_EQ(dynamic_cast<const TSingletonMF&>(*set.GetMF(0)).Centre, 0.1);
    EXPECT_EQ(dynamic_cast<const TTriangularMF&>(*set.GetMF(1)).Centre, 0.2);
    EXPECT_EQ(dynamic_cast<const TRectangularMF&>(*set.GetMF(2)).RightBound, 0.5);
    EXPECT_EQ(dynamic_cast<const TLShoulderTriangularMF&>(*set.GetMF(3)).RightBound, 0.7);
    EXPECT_EQ(dynamic_cast<const TRShoulderTriangularMF&>(*set.GetMF(4)).LeftBound, 0.8);
    // What the reader built writes the same list again (types as the file spelt them).
    const auto again = Loaded(Saved(*list));
    EXPECT_EQ(Saved(*again), Saved(*list));
}

TEST(MFParameters, EveryTypeUnderTheKeysOfItsParameterLine) {
    using Parameters = std::vector<std::pair<std::string_view, double>>;
    const auto list = Loaded(ListWithSet(
        "[Name=X Index=0 Type=Mixed][LowerBound=0 UpperBound=1][NumberOfMF=5]",
        "[MF][Name=A Index=0 Type=Singleton][Centre = 0.1][~MF]"
        "[MF][Name=B Index=1 Type=triangular][LeftBound=0 Centre=0.2 RightBound=0.3][~MF]"
        "[MF][Name=C Index=2 Type=Rectangular][LeftBound=0.4 RightBound=0.5][~MF]"
        "[MF][Name=D Index=3 Type=LeftShoulderedTriangular][Centre=0.6 RightBound=0.7][~MF]"
        "[MF][Name=E Index=4 Type=RightShoulderedTriangular][LeftBound=0.8 Centre=0.9][~MF]"));
    const Parameters expected[] = {
        {{"Centre", 0.1}},
        {{"LeftBound", 0}, {"Centre", 0.2}, {"RightBound", 0.3}},
        {{"LeftBound", 0.4}, {"RightBound", 0.5}},
        {{"Centre", 0.6}, {"RightBound", 0.7}},
        {{"LeftBound", 0.8}, {"Centre", 0.9}},
    };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(TFuzzyMFFiler::Parameters(*list->GetMFSet(0)->GetMF(i)), expected[i]) << i;
    }
    TSingletonMF unknown("U");
    unknown.Type = "Gaussian";
    EXPECT_EQ(TFuzzyMFFiler::Parameters(unknown), Parameters{});
}

TEST(LoadMFList, MFsLandAtTheirIndexSetsAtTheirBlockPosition) {
    const auto list = Loaded(TwoMFs(std::string(kSingleton1) + kSingleton0));
    EXPECT_EQ(list->GetMFSet(0)->GetMF(0)->Name, "P");
    EXPECT_EQ(list->GetMFSet(0)->GetMF(1)->Name, "Q");

    const std::string set =
        "[MFSet][MFSetInfo][Name=S Index=0 Type=T][LowerBound=0 UpperBound=1][NumberOfMF=1]"
        "[~MFSetInfo][MF][Name=P Index=0 Type=Singleton][Centre = 0][~MF][~MFSet]";
    const auto two = Loaded(
        "[MFList][MFListInfo][VariablesRepresented = 2][ListName = L]"
        "[~MFListInfo]" +
        set + set + "[~MFList]");
    EXPECT_NE(two->GetMFSet(0), nullptr);
    EXPECT_NE(two->GetMFSet(1), nullptr);
}

TEST(LoadMFList, BadFileData) {
    EXPECT_TEXCEPTION(
        Loaded(ListWithSet("[Name=X Index=0 Type=T][LowerBound=0 UpperBound=1][NumberOfMF=0]", "")),
        "NumberOfMF must be > 0", "Bad File Data", "TFuzzyMFFiler::LoadMFList");
    EXPECT_TEXCEPTION(
        Loaded(ListWithSet("[Name=X Index=0 Type=T][LowerBound=1 UpperBound=1][NumberOfMF=1]", "")),
        "UpperBound must be > LowerBound", "Bad File Data", "TFuzzyMFFIler::LoadMFlist");
    EXPECT_TEXCEPTION(Loaded(TwoMFs("[MF][Name=G Index=0 Type=Gaussian][Sigma = 1][~MF]")),
                      "Unknown MF type Gaussian", "Bad File Data", "TFuzzyMFFiler::LoadMFList");
    EXPECT_TEXCEPTION(Loaded(TwoMFs(std::string(kSingleton0) + kSingleton0)),
                      "No MF with Index 1 in MF set X", "Bad File Data",
                      "TFuzzyMFFiler::LoadMFList");
    EXPECT_TEXCEPTION(Loaded(TwoMFs(std::string(kSingleton0) +
                                    "[MF][Name=Q Index=2 Type=Singleton][Centre = 0.75][~MF]")),
                      "Bad MF Number", "Invalid Parameter", "TBasicMFSet::SetMF");
    EXPECT_TEXCEPTION(Loaded(TwoMFs("[MF][Name=Q Index=-1 Type=Singleton][Centre = 0.75][~MF]")),
                      "Bad MF Number", "Invalid Parameter", "TBasicMFSet::SetMF");
    EXPECT_TEXCEPTION(Loaded("[MFList][MFListInfo][VariablesRepresented = -1][ListName = L]"
                             "[~MFListInfo][~MFList]"),
                      "VariablesRepresented must be >= 0", "Bad File Data",
                      "TFuzzyMFFiler::LoadMFList");
}

TEST(LoadMFList, SyntaxErrorsComeFromTheBlockReader) {
    // A list without a name, as the writer writes it, is not readable.
    TMFSetList unnamed(0, "");
    EXPECT_THROW_TEXT(Loaded(Saved(unnamed)), FileTools::Error, "[ListName = <string>] expected");
    // Nor is an MF without a name.
    EXPECT_THROW_TEXT(Loaded(TwoMFs("[MF][Index=0 Type=Singleton][Centre = 0.25][~MF]")),
                      FileTools::Error, "[Name = <string>] expectedIndex");
    EXPECT_THROW_TEXT(Loaded(TwoMFs(std::string(kSingleton0) +
                                    "[MF][Name=Q Index=1 Type=Triangular][LeftBound=0 Centre=1]"
                                    "[~MF]")),
                      FileTools::Error, "Unexpected special character");
    EXPECT_THROW_TEXT(Loaded(TwoMFs(kSingleton0)), FileTools::Error, "[MF] expected");
    const std::string text = kInputsBlock;
    const std::string truncated = text.substr(0, text.find("[~MFSet]"));
    EXPECT_THROW_TEXT(Loaded(truncated), FileTools::Error, "Unexpected end of file");

    // The end of the enclosing block in place of the list.
    const std::string rules = "FuzzyRules";
    std::istringstream in("[~FuzzyRules]");
    EXPECT_THROW_TEXT(TFuzzyMFFiler::LoadMFList(in, &rules), FileTools::Error, "[MFList] expected");
}

}  // namespace
}  // namespace glean
