#include "Training/CsvConverter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "FileHandler/Filer.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

TConvertedData Convert(const std::string& text, const TCsvOptions& options) {
    std::istringstream in(text);
    return ConvertCsv(in, options);
}

std::vector<double> Inputs(const Data& data, int k) {
    std::vector<double> row(static_cast<std::size_t>(data.Inputs()));
    data.GetInputRow((data.First() + k) % data.Rows(), row);
    return row;
}

std::vector<double> Outputs(const Data& data, int k) {
    std::vector<double> row(static_cast<std::size_t>(data.Outputs()));
    data.GetOutputRow((data.First() + k) % data.Rows(), row);
    return row;
}

TEST(ConvertCsv, ClassColumnBecomesOneHotOutputsAndNumbersAreScaled) {
    TCsvOptions options;
    options.ClassColumn = "kind";
    const auto data = Convert("a, kind ,b\r\n2,\"x\",10\r\n\r\n4,y,20\r\n3,x,30\r\n", options);
    const Data& d = *data.Training;
    ASSERT_EQ(d.DataRows(), 3);
    ASSERT_EQ(d.Inputs(), 2);
    ASSERT_EQ(d.Outputs(), 2);
    EXPECT_EQ(Inputs(d, 0), (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(Inputs(d, 1), (std::vector<double>{1.0, 0.5}));
    EXPECT_EQ(Inputs(d, 2), (std::vector<double>{0.5, 1.0}));
    EXPECT_EQ(Outputs(d, 0), (std::vector<double>{1.0, 0.0}));
    EXPECT_EQ(Outputs(d, 1), (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(Outputs(d, 2), (std::vector<double>{1.0, 0.0}));
    EXPECT_EQ(data.HeldOut, nullptr);

    std::ostringstream scaling;
    WriteScaling(scaling, data.Columns);
    EXPECT_EQ(scaling.str(),
              "column,role,minimum,maximum\na,input,2,4\nb,input,10,30\nkind=x,class,0,1\n"
              "kind=y,class,0,1\n");
}

TEST(ConvertCsv, ClassColumnByNumberAndNumericOutputsWithoutOne) {
    TCsvOptions byNumber;
    byNumber.ClassColumn = "1";
    const auto classes = Convert("c,v\nred,1\nblue,2\n", byNumber);
    EXPECT_EQ(classes.Training->Inputs(), 1);
    EXPECT_EQ(Outputs(*classes.Training, 1), (std::vector<double>{0.0, 1.0}));
    byNumber.ClassColumn = "2";  // the last column
    const auto last = Convert("v,c\n1,red\n2,blue\n", byNumber);
    EXPECT_EQ(last.Training->Inputs(), 1);
    EXPECT_EQ(last.Columns[2].Name, "c=blue");

    TCsvOptions two;
    two.Outputs = 2;
    const auto numeric = Convert("x,y,z\n0,5,-1\n1,7,1\n", two);
    EXPECT_EQ(numeric.Training->Inputs(), 1);
    EXPECT_EQ(Outputs(*numeric.Training, 0), (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(Outputs(*numeric.Training, 1), (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(numeric.Columns[2].Role, "output");
    EXPECT_EQ(numeric.Columns[2].Minimum, -1.0);
}

TEST(ConvertCsv, HoldOutEveryNthRowScaledWithTheTrainingRange) {
    TCsvOptions options;
    options.Outputs = 1;
    options.HoldoutEvery = 3;
    // Rows 3 and 6 are held out; row 6 lies beyond the training range and is cut to it.
    const auto data = Convert("x,t\n0,0\n2,1\n1,0\n4,1\n3,0\n9,1\n", options);
    ASSERT_EQ(data.Training->DataRows(), 4);
    ASSERT_EQ(data.HeldOut->DataRows(), 2);
    EXPECT_EQ(Inputs(*data.HeldOut, 0), (std::vector<double>{0.25}));
    EXPECT_EQ(Inputs(*data.HeldOut, 1), (std::vector<double>{1.0}));
    EXPECT_EQ(Inputs(*data.Training, 3), (std::vector<double>{0.75}));
}

TEST(ConvertCsv, NamesReplaceAHeaderThatIsNoNames) {
    TCsvOptions options;
    options.Names = {"length", "species"};
    options.ClassColumn = "species";
    const auto data = Convert("3,2,a,b\n1.5,0\n2.5,1\n", options);
    EXPECT_EQ(data.Training->DataRows(), 2);
    EXPECT_EQ(data.Columns[0].Name, "length");
    EXPECT_EQ(data.Columns[1].Name, "species=0");
    options.Names = {"one"};
    EXPECT_TEXCEPTION(Convert("a,b\n1,2\n", options), "CSV line 2 has 2 fields, the header has 1",
                      "Bad Data", "ReadCsv");
}

TEST(ConvertCsv, FormatOptionsAndDroppedRows) {
    TCsvOptions options;
    options.NoHeader = true;
    options.Delimiter = ';';
    options.SkipLines = 1;
    const auto data = Convert("comment\n1;0\n2;NA\n3;?\n4;1\n", options);
    EXPECT_EQ(data.Read, 4);
    EXPECT_EQ(data.Dropped, 2);
    EXPECT_EQ(data.Training->DataRows(), 2);
    EXPECT_EQ(data.Columns[1].Name, "Column2");
}

// A span beyond the largest double (max - min overflows) still scales into [0, 1].
TEST(ConvertCsv, ColumnsSpanningEveryDoubleScaleWithoutOverflow) {
    TCsvOptions options;
    options.HoldoutEvery = 4;
    const auto data = Convert("x,t\n-1.7e308,0\n1.7e308,1\n0,0.5\n1e308,0\n", options);
    EXPECT_EQ(Inputs(*data.Training, 0), (std::vector<double>{0.0}));
    EXPECT_EQ(Inputs(*data.Training, 1), (std::vector<double>{1.0}));
    EXPECT_EQ(Inputs(*data.Training, 2), (std::vector<double>{0.5}));
    EXPECT_EQ(Inputs(*data.HeldOut, 0), (std::vector<double>{(1e308 / 2 + 0.85e308) / 1.7e308}));
    EXPECT_EQ(Outputs(*data.Training, 2), (std::vector<double>{0.5}));
}

TEST(ConvertCsv, ConstantColumnBecomesZero) {
    const auto data = Convert("x,k,t\n1,5,0\n2,5,1\n", TCsvOptions{});
    EXPECT_EQ(Inputs(*data.Training, 1), (std::vector<double>{1.0, 0.0}));
}

TEST(ConvertCsv, RefusesBadFiles) {
    TCsvOptions options;
    auto fails = [&](const std::string& text, const std::string& message) {
        EXPECT_TEXCEPTION(Convert(text, options), message, "Bad Data", "ReadCsv");
    };
    fails("", "CSV file has no header line");
    fails("\n \n", "CSV file has no header line");
    fails("a,b\n", "CSV file has no data rows");
    fails("a,b\n1,2\n3\n", "CSV line 3 has 1 fields, the header has 2");
    fails("a,b\n1,2\n1,two\n", "CSV line 3, column b: not a number: two");
    fails("a,b\n1,nan\n", "CSV file has no data rows");  // a missing value drops the row
    fails("a,b\n1,1e999\n", "CSV line 2, column b: not a number: 1e999");
    fails("a,b\n1,\"\"\n", "CSV file has no data rows");  // "" is empty: a missing value
    fails("a\n1\n", "Need at least one input and one output column");
    options.ClassColumn = "missing";
    fails("a,b\n1,2\n", "No such column: missing");
    options.ClassColumn = "3";
    fails("a,b\n1,2\n", "No such column: 3");
    options.ClassColumn = "";
    fails(",b\n1,2\n", "CSV column 1 has no name");
    fails("a,a\n1,2\n", "CSV column a appears twice");
    options.HoldoutEvery = 1;
    fails("a,b\n1,2\n", "No training rows left after the hold-out");
}

TEST(ConvertCsvFile, WritesDataSetsThatLoadBackAndTheScaling) {
    const std::string dir = ::testing::TempDir();
    const std::string csv = dir + "convert.csv";
    std::ofstream(csv) << "x,y,class\n1,2,a\n2,4,b\n3,8,a\n";
    TCsvOptions options;
    options.ClassColumn = "class";
    options.HoldoutEvery = 3;
    ConvertCsvFile(csv, options, dir + "convert.dat", dir + "convert-test.dat");
    FileTools tools;
    std::unique_ptr<Data> training;
    std::unique_ptr<Data> heldOut;
    ASSERT_EQ(LoadInputDataSet(tools, dir + "convert.dat", training), SUCCESS);
    ASSERT_EQ(LoadInputDataSet(tools, dir + "convert-test.dat", heldOut), SUCCESS);
    EXPECT_EQ(training->DataRows(), 2);
    EXPECT_EQ(heldOut->DataRows(), 1);
    EXPECT_EQ(Inputs(*heldOut, 0), (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(Outputs(*heldOut, 0), (std::vector<double>{1.0, 0.0}));
    std::ifstream scale(dir + "convert.dat.scale");
    std::string first;
    std::getline(scale, first);
    EXPECT_EQ(first, "column,role,minimum,maximum");
    for (const char* name : {"convert.csv", "convert.dat", "convert-test.dat", "convert.dat.scale"})
        std::remove((dir + name).c_str());

    EXPECT_TEXCEPTION(ConvertCsvFile(dir + "absent.csv", options, dir + "x.dat", ""),
                      "Cannot open CSV file: " + dir + "absent.csv", "File Error",
                      "ConvertCsvFile");
}

TEST(ReadScaling, ReadsBackWhatWriteScalingWrites) {
    const std::vector<TColumnScale> columns = {{"a,b", "input", -0.1, 1e300},
                                               {"t", "output", 3.14159265358979, 3.2},
                                               {"k=x", "class", 0, 1}};
    std::stringstream text;
    WriteScaling(text, columns);
    const std::vector<TColumnScale> back = ReadScaling(text);
    ASSERT_EQ(back.size(), columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        EXPECT_EQ(back[c].Name, columns[c].Name);
        EXPECT_EQ(back[c].Role, columns[c].Role);
        EXPECT_EQ(back[c].Minimum, columns[c].Minimum);  // exactly: shortest round-trip texts
        EXPECT_EQ(back[c].Maximum, columns[c].Maximum);
    }
    std::istringstream bad("column,role,minimum,maximum\nx,input,2,1\n");
    EXPECT_THROW(ReadScaling(bad), TException);
}

TEST(ReadScaling, RefusesWhatItCannotRead) {
    const struct {
        const char* Text;
        const char* Message;
    } cases[] = {
        {"", "Scaling has no header line"},
        {"column,role,minimum,maximum\r\n\nx,input,0\n",
         "Scaling line 3: expected column,role,minimum,maximum"},
        {"column,role,minimum,maximum\nx,target,0,1\n", "Scaling line 2: unknown role target"},
        {"column,role,minimum,maximum\nx,input,0,1e999\n", "Scaling line 2: not a range"},
        {"column,role,minimum,maximum\nx,input,1,0.5\n", "Scaling line 2: not a range"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.Text);
        EXPECT_TEXCEPTION(ReadScaling(in), c.Message, "Bad Data", "ReadScaling");
    }
}

}  // namespace
}  // namespace glean
