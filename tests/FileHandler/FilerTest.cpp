#include "FileHandler/Filer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "support/TestSupport.h"

namespace glean {
namespace {

using Row = std::vector<double>;

// A file of this test's own, removed at the end of the test.
class FilerTest : public testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(path_); }

    const std::string& Path() const { return path_; }

    const std::string& Write(const std::string& text) {
        std::ofstream(path_, std::ios::binary) << text;
        return path_;
    }

    std::string Contents() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    FileTools tools;

private:
    std::string path_ = testing::TempDir() + "filer-" +
                        testing::UnitTest::GetInstance()->current_test_info()->name() + ".dat";
};

std::string DataSetFile(const std::string& header, const std::string& rows) {
    return "[FormatVersion = 1.0]\n[DataSet]\n" + header + "\n[Data]\n" + rows +
           "\n[~Data]\n[~DataSet]\n";
}

void ExpectSameData(const Data& expected, const Data& actual) {
    ASSERT_EQ(expected.Rows(), actual.Rows());
    ASSERT_EQ(expected.DataRows(), actual.DataRows());
    ASSERT_EQ(expected.Inputs(), actual.Inputs());
    ASSERT_EQ(expected.Outputs(), actual.Outputs());
    ASSERT_EQ(expected.HasLabels(), actual.HasLabels());
    for (int row = 0; row < expected.DataRows(); ++row) {
        for (int i = 0; i < expected.Inputs(); ++i) {
            EXPECT_EQ(expected.GetInputDatum(row, i), actual.GetInputDatum(row, i)) << row;
        }
        for (int i = 0; i < expected.Outputs(); ++i) {
            EXPECT_EQ(expected.GetOutputDatum(row, i), actual.GetOutputDatum(row, i)) << row;
        }
        if (expected.HasLabels()) {
            EXPECT_EQ(*expected.GetLabels(row), *actual.GetLabels(row));
        }
    }
}

TLabelList Labels(std::initializer_list<TLabel> labels) {
    TLabelList list;
    for (const TLabel& label : labels)
        list.AddLabel(label.name, label.value);
    return list;
}

TEST_F(FilerTest, LabelledExpectedOutputs) {
    Write(DataSetFile("[Inputs = 2][ExpectedOutputs = LABELS][Rows = 3]",
                      "1 2 [a a=0.5]\n"
                      "3 4 /* a comment */ [ ]\n"
                      "5,6 [b=-2 c, A=0.25]"));
    std::unique_ptr<Data> first;
    std::unique_ptr<Data> second = std::make_unique<Data>(1, 1, 1, false);
    ASSERT_EQ(LoadDataSet(tools, Path(), first, second), SUCCESS);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(first->Rows(), 3);
    EXPECT_EQ(first->DataRows(), 3);
    EXPECT_EQ(first->Inputs(), 2);
    EXPECT_EQ(first->Outputs(), 0);
    ASSERT_TRUE(first->HasLabels());
    EXPECT_EQ(*first->GetLabels(0), Labels({{1.5, "a"}}));
    EXPECT_EQ(first->GetLabels(1)->length(), 0);
    EXPECT_EQ(*first->GetLabels(2), Labels({{-2.0, "b"}, {1.0, "c"}, {0.25, "A"}}));
    EXPECT_EQ(first->GetInputDatum(2, 1), 6.0);
}

TEST_F(FilerTest, BothDataSetsWithNumbers) {
    Write(DataSetFile("[rows=2] [INPUTS=1] [ExpectedOutputs=1] [GeneratedOutputs=1] [Error=2]",
                      "1 2 3 4 5\n6 7 8 9 10"));
    std::unique_ptr<Data> first, second;
    ASSERT_EQ(LoadDataSet(tools, Path(), first, second), SUCCESS);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->GetOutputDatum(1, 0), 7.0);
    EXPECT_EQ(second->Inputs(), 1);
    EXPECT_EQ(second->Outputs(), 2);
    EXPECT_EQ(second->GetInputDatum(0, 0), 3.0);
    EXPECT_EQ(second->GetOutputDatum(1, 1), 10.0);

    std::unique_ptr<Data> only = std::make_unique<Data>(1, 1, 1, false);
    EXPECT_EQ(LoadInputDataSet(tools, Path(), only), BAD_HEADER);
    EXPECT_EQ(only, nullptr);
}

TEST_F(FilerTest, HeaderOrderAndValues) {
    struct Case {
        const char* header;
        int result;
    };
    const Case cases[] = {
        {"[Inputs = 1][ExpectedOutputs = 2][GeneratedOutputs = Labels][Error = 3]", SUCCESS},
        {"[Rows = 4][Error = 1][Rows = 5]", SUCCESS},
        {"[ExpectedOutputs = 1][Inputs = 1]", BAD_HEADER},
        {"[Inputs = 1][Inputs = 1]", BAD_HEADER},
        {"[Outputs = 1]", BAD_HEADER},
        {"[Inputs = 1 2]", BAD_HEADER},
        {"[Inputs = -2]", BAD_HEADER},
        {"[ExpectedOutputs = -2]", BAD_HEADER},
    };
    for (const Case& c : cases) {
        std::istringstream in(std::string(c.header) + " [Data]");
        DataSetCounts counts;
        BlockItem next;
        EXPECT_EQ(ReadDataSetHeader(tools, in, counts, next), c.result) << c.header;
        if (c.result == SUCCESS) {
            EXPECT_EQ(next.kind, BlockItem::StartTag) << c.header;
            EXPECT_EQ(next.name, "Data");
        }
    }
    std::istringstream in("[Rows = 4][Error = 1][Rows = 5] 7");
    DataSetCounts counts;
    BlockItem next;
    ASSERT_EQ(ReadDataSetHeader(tools, in, counts, next), SUCCESS);
    EXPECT_EQ(counts.rows, 5);
    EXPECT_EQ(counts.errors, 1);
    EXPECT_EQ(counts.inputs, 0);
    EXPECT_EQ(next.kind, BlockItem::Token);
}

TEST_F(FilerTest, LabelsAreRefusedForInputsErrorsAndRows) {
    for (const char* header : {"[Inputs = Labels]", "[Error = labels]", "[Rows = LABELS]"}) {
        std::istringstream in(header);
        DataSetCounts counts;
        BlockItem next;
        EXPECT_THROW_TEXT(ReadDataSetHeader(tools, in, counts, next), FileTools::Error,
                          "No labels in inputs");
    }
    Write(DataSetFile("[Rows = 1][Inputs = Labels]", "1"));
    std::unique_ptr<Data> first, second;
    EXPECT_THROW_TEXT(LoadDataSet(tools, Path(), first, second), FileTools::Error,
                      "No labels in inputs");
    EXPECT_THROW_TEXT(IdentifyFile(tools, Path()), FileTools::Error, "No labels in inputs");
}

TEST_F(FilerTest, LoadFailures) {
    std::unique_ptr<Data> first, second;
    EXPECT_EQ(LoadDataSet(tools, Path() + ".missing", first, second), FILE_READ_ERROR);

    Write(DataSetFile("[Rows = 1][ExpectedOutputs = 1][Inputs = 1]", "1 2"));
    EXPECT_THROW_TEXT(LoadDataSet(tools, Path(), first, second), FileTools::Error,
                      "[DATA] expected");

    Write(DataSetFile("[Inputs = 1]", "1"));
    EXPECT_CHECK_FAILS(LoadDataSet(tools, Path(), first, second), "LngRows>=0");

    Write(DataSetFile("[Rows = 3][Inputs = 2]", "1 2 3 4"));
    EXPECT_THROW_TEXT(LoadDataSet(tools, Path(), first, second), FileTools::Error,
                      "Token (number) expected");
    Write(DataSetFile("[Rows = 1][Inputs = 1]", "1 2"));
    EXPECT_THROW_TEXT(LoadDataSet(tools, Path(), first, second), FileTools::Error,
                      "End Tag expected");
    Write(DataSetFile("[Rows = 1][Inputs = 1]", "x"));
    EXPECT_THROW_TEXT(LoadDataSet(tools, Path(), first, second), FileTools::Error,
                      "number-expected");
    EXPECT_EQ(first, nullptr);  // a failed load hands back nothing

    // A row count no memory could hold is refused before anything is allocated.
    Write(DataSetFile("[Rows = 2000000000][Inputs = 1000]", "1"));
    EXPECT_EQ(LoadDataSet(tools, Path(), first, second), DATA_TOO_LARGE);
    Write(DataSetFile("[Rows = 0][Inputs = 2000000000]", ""));
    EXPECT_EQ(LoadDataSet(tools, Path(), first, second), DATA_TOO_LARGE);
    // Columns count too: a few million error columns over four rows.
    Write(DataSetFile("[Rows = 4][Inputs = 2][Error = 6666666]", "1"));
    EXPECT_EQ(LoadDataSet(tools, Path(), first, second), DATA_TOO_LARGE);
    std::int64_t offset = 0;
    EXPECT_EQ(LoadDataSetBlock(tools, Path(), offset, 2000000000, first, second), DATA_TOO_LARGE);
}

TEST_F(FilerTest, LabelListChecks) {
    struct Case {
        const char* text;
        const char* check;
    };
    for (const Case& c : {Case{"  /* only a comment */ ", "streamOK"}, Case{"a=1]", "ch == '['"},
                          Case{"[a ", "false"}}) {
        std::istringstream in(c.text);
        EXPECT_CHECK_FAILS(ReadLabelList(tools, in), c.check);
    }
    std::istringstream in("[x=1e-3 y] [] 7");
    EXPECT_EQ(ReadLabelList(tools, in), Labels({{0.001, "x"}, {1.0, "y"}}));
    EXPECT_EQ(ReadLabelList(tools, in).length(), 0);
    EXPECT_EQ(tools.NextToken(in), "7");
}

TEST_F(FilerTest, IdentifyFileAnswers) {
    EXPECT_EQ(IdentifyFile(tools, Path() + ".missing")->ParameterAt(0).Value->Name,
              "file-read-error");

    Write(DataSetFile("[Rows = 3][Inputs = 2][ExpectedOutputs = Labels][Error = 1]", ""));
    auto data = IdentifyFile(tools, Path());
    EXPECT_EQ(data->Name, "data");
    const char* keys[] = {"rows", "inputs", "actual-outputs", "calc-outputs", "errors"};
    const char* values[] = {"3", "2", "-1", "0", "1"};
    ASSERT_EQ(data->Count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(data->ParameterAt(i).Key, keys[i]);
        EXPECT_EQ(data->ParameterAt(i).Value->Name, values[i]);
    }

    Write(DataSetFile("[ExpectedOutputs = 1][Inputs = 1]", ""));
    auto bad = IdentifyFile(tools, Path());
    EXPECT_EQ(bad->Name, "error");
    EXPECT_EQ(bad->GetParameter("type").Name, "bad-header");

    Write("[FormatVersion = 1.0]\n[network]\n[NetworkType = OMBRA]\n");
    EXPECT_EQ(IdentifyFile(tools, Path())->Name, "network");
    Write("[FormatVersion = 1.0]\n[NeuralNetwork]\n[NetworkType = OMBRA]\n");
    auto unknown = IdentifyFile(tools, Path());
    EXPECT_EQ(unknown->GetParameter("type").Name, "unknown-header");
    EXPECT_EQ(unknown->GetParameter("header").Name, "NeuralNetwork");

    Write("DataSet");
    EXPECT_THROW_TEXT(IdentifyFile(tools, Path()), FileTools::Error, "start of block expected");
}

TEST_F(FilerTest, WriterLayout) {
    Data first(2, 2, 0, true);
    Data second(2, 0, 1, false);
    const TLabelList labels = Labels({{1.0, "a"}, {0.25, "b"}});
    first.AppendRow(Row{1, 2.5}, {}, &labels);
    first.AppendRow(Row{-3, 0.1}, {}, nullptr);
    second.AppendRow({}, Row{0.5}, nullptr);
    second.AppendRow({}, Row{1e-20}, nullptr);
    ASSERT_EQ(SaveDataSet(tools, Path(), &first, &second), SUCCESS);
    const std::string gap = "  ";
    EXPECT_EQ(Contents(),
              "[FormatVersion = 1.0]\n\n[DataSet]\n[Rows = 2]\n[Inputs = 2]\n"
              "[ExpectedOutputs = Labels]\n[GeneratedOutputs = 0]\n[Error = 1]\n\n[Data]\n"
              "1 2.5 " +
                  gap + gap + gap +
                  "0.5 [a b=0.250000000 ] \n"
                  "-3 0.1 " +
                  gap + gap + gap +
                  "1e-20 [] \n"
                  "[~Data]\n\n[~DataSet]\n");
}

TEST_F(FilerTest, RoundTripGivesTheSameDataAndBytes) {
    Data first(3, 2, 0, true);
    Data second(3, 0, 2, true);
    const TLabelList rowLabels[] = {Labels({{1.0, "x"}, {2.5, "y"}}), TLabelList(),
                                    Labels({{-0.125, "Y"}, {1.0, "y"}})};
    for (int i = 0; i < 3; ++i) {
        first.AppendRow(Row{0.1 * i, -1e6 + i}, {}, &rowLabels[i]);
        second.AppendRow({}, Row{1.0 / 8 * i, 123456.789012345}, &rowLabels[2 - i]);
    }
    ASSERT_EQ(SaveDataSet(tools, Path(), &first, &second), SUCCESS);
    const std::string written = Contents();

    std::unique_ptr<Data> firstBack, secondBack;
    ASSERT_EQ(LoadDataSet(tools, Path(), firstBack, secondBack), SUCCESS);
    ASSERT_TRUE(firstBack && secondBack);
    ExpectSameData(first, *firstBack);
    ExpectSameData(second, *secondBack);
    ASSERT_EQ(SaveDataSet(tools, Path(), firstBack.get(), secondBack.get()), SUCCESS);
    EXPECT_EQ(Contents(), written);

    // Numbers only, in the second object alone.
    Data numbers(2, 1, 1, false);
    numbers.AppendRow(Row{42}, Row{-0.5}, nullptr);
    numbers.AppendRow(Row{3.25}, Row{1e-7}, nullptr);
    ASSERT_EQ(SaveDataSet(tools, Path(), nullptr, &numbers), SUCCESS);
    ASSERT_EQ(LoadDataSet(tools, Path(), firstBack, secondBack), SUCCESS);
    EXPECT_EQ(firstBack, nullptr);
    ASSERT_NE(secondBack, nullptr);
    ExpectSameData(numbers, *secondBack);
}

TEST_F(FilerTest, WriterRefusals) {
    Data three(3, 1, 1, false);
    Data two(2, 1, 1, false);
    for (int i = 0; i < 2; ++i) {
        three.AppendRow(Row{1}, Row{2}, nullptr);
        two.AppendRow(Row{1}, Row{2}, nullptr);
    }
    EXPECT_EQ(SaveDataSet(tools, Path(), &three, &two), DATA_MISMATCH);
    EXPECT_EQ(SaveDataSet(tools, Path(), nullptr, nullptr), DATA_MISMATCH);
    Data labelled(1, 1, 0, true);
    const TLabelList spaced("two words", 1.0);
    labelled.AppendRow(Row{1}, {}, &spaced);
    EXPECT_EQ(SaveDataSet(tools, Path(), &labelled, nullptr), DATA_MISMATCH);
    Data labelsAndOutputs(1, 1, 1, true);
    EXPECT_CHECK_FAILS(SaveDataSet(tools, Path(), &labelsAndOutputs, nullptr),
                       "LngExpectedOutputs == 0");
    Data generated(1, 1, 0, true);
    EXPECT_CHECK_FAILS(SaveDataSet(tools, Path(), nullptr, &generated),
                       "LngCalculatedOutputs == 0");
    EXPECT_FALSE(std::filesystem::exists(Path()));  // refusals write nothing

    DataSetCounts negative;
    EXPECT_EQ(WriteDataSetHeader(tools, Path(), negative), DATA_MISMATCH);  // rows -1
    EXPECT_FALSE(std::filesystem::exists(Path()));
    EXPECT_EQ(WriteDataSetRows(tools, Path(), &three, nullptr, 3), DATA_MISMATCH);
    EXPECT_FALSE(std::filesystem::exists(Path()));

    const std::string noDirectory = Path() + ".missing/data.dat";
    EXPECT_EQ(SaveDataSet(tools, noDirectory, &two, nullptr), FILE_WRITE_ERROR);
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(SaveDataSet(tools, "/dev/full", &two, nullptr), FILE_WRITE_ERROR);
        EXPECT_EQ(WriteDataSetTrailer(tools, "/dev/full"), FILE_WRITE_ERROR);
    }
}

TEST_F(FilerTest, BlocksFollowEachOther) {
    Write(DataSetFile("[Rows = 5][Inputs = 1][ExpectedOutputs = Labels][Error = 1]",
                      "1 10 [a]\n2 20 [b]\n3 30 []\n4 40 [d=4]\n5 50 [e]"));
    std::int64_t offset = 0;
    std::unique_ptr<Data> first, second;
    std::vector<double> seen;
    for (int block = 0; block < 2; ++block) {
        ASSERT_EQ(LoadDataSetBlock(tools, Path(), offset, 2, first, second), SUCCESS);
        ASSERT_TRUE(first && second);
        EXPECT_EQ(first->Rows(), 2);
        for (int row = 0; row < 2; ++row) {
            seen.push_back(first->GetInputDatum(row, 0));
            EXPECT_EQ(second->GetOutputDatum(row, 0), 10 * first->GetInputDatum(row, 0));
        }
    }
    EXPECT_EQ(seen, (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(*first->GetLabels(1), TLabelList("d", 4.0));
    EXPECT_THROW_TEXT(LoadDataSetBlock(tools, Path(), offset, 2, first, second), FileTools::Error,
                      "Token (number) expected");
    EXPECT_EQ(LoadInputDataSetBlock(tools, Path(), offset, 1, first), BAD_HEADER);
    EXPECT_CHECK_FAILS(LoadDataSetBlock(tools, Path(), offset, -1, first, second), "LngRows>=0");
}

// The stream loaders read what the file loaders read, blocks included.
TEST_F(FilerTest, StreamLoadersMatchFileLoaders) {
    const std::string text =
        DataSetFile("[Rows = 3][Inputs = 1][ExpectedOutputs = Labels][Error = 1]",
                    "1 10 [a]\n2 20 [b=2]\n3 30 []");
    std::unique_ptr<Data> fromFile, fromFileSecond, fromStream, fromStreamSecond;
    ASSERT_EQ(LoadDataSet(tools, Write(text), fromFile, fromFileSecond), SUCCESS);
    std::istringstream in(text);
    ASSERT_EQ(LoadDataSet(tools, in, fromStream, fromStreamSecond), SUCCESS);
    ExpectSameData(*fromFile, *fromStream);
    ExpectSameData(*fromFileSecond, *fromStreamSecond);

    std::int64_t offset = 0;
    for (int row = 0; row < 3; ++row) {
        std::istringstream blocks(text);
        ASSERT_EQ(LoadDataSetBlock(tools, blocks, offset, 1, fromStream, fromStreamSecond),
                  SUCCESS);
        EXPECT_EQ(fromStream->GetInputDatum(0, 0), fromFile->GetInputDatum(row, 0));
        EXPECT_EQ(*fromStream->GetLabels(0), *fromFile->GetLabels(row));
    }
    std::istringstream inputs(text);
    EXPECT_EQ(LoadInputDataSet(tools, inputs, fromStream), BAD_HEADER);
    EXPECT_EQ(fromStream, nullptr);
    std::istringstream inputBlock(text);
    offset = 0;
    EXPECT_EQ(LoadInputDataSetBlock(tools, inputBlock, offset, 1, fromStream), BAD_HEADER);
}

// Damaged files end in a result code, a reported syntax error or a failed check, never in a
// crash or a read outside memory (the sanitizer build watches).
TEST_F(FilerTest, DamagedFilesFailCleanly) {
    const std::string valid = DataSetFile(
        "[Rows = 2][Inputs = 1][ExpectedOutputs = Labels][Error = 1]", "1 2 [a b=0.5]\n3 4 []");
    const std::string alphabet = "[]=~/*, \n-0129aLx";
    std::mt19937 random(20261208);
    int loaded = 0;
    for (int trial = 0; trial < 400; ++trial) {
        std::string text = valid;
        for (int edit = 0; edit < 3; ++edit) {
            const std::size_t at = random() % text.size();
            const char ch = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
                case 0:
                    text.erase(at, 1);
                    break;
                case 1:
                    text.insert(at, 1, ch);
                    break;
                default:
                    text[at] = ch;
                    break;
            }
        }
        Write(text);
        std::unique_ptr<Data> first, second;
        try {
            if (LoadDataSet(tools, Path(), first, second) == SUCCESS) ++loaded;
            IdentifyFile(tools, Path());
        } catch (const FileTools::Error&) {
        } catch (const CheckFailure&) {
        }
    }
    EXPECT_GT(loaded, 0);  // some damage (a changed digit, a blank) leaves a valid file
}

}  // namespace
}  // namespace glean
