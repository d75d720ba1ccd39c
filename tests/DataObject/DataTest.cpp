#include "DataObject/Data.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "support/TestSupport.h"

namespace glean {
namespace {

using Row = std::vector<double>;

// Appends rows {k, 10k} -> {100k} for k = first .. last.
void AppendNumbered(Data& data, int first, int last) {
    for (int k = first; k <= last; ++k) {
        const Row inputs{double(k), 10.0 * k};
        const Row outputs{100.0 * k};
        data.AppendRow(inputs, outputs, nullptr);
    }
}

// The first input of every row the cursor delivers in `steps` calls of Next (or Previous).
std::vector<double> Walk(Data& data, int steps, bool forward = true) {
    std::vector<double> seen;
    Row inputs(2);
    for (int i = 0; i < steps; ++i) {
        if (forward) {
            data.Next(inputs, {});
        } else {
            data.Previous(inputs, {});
        }
        seen.push_back(inputs[0]);
    }
    return seen;
}

TEST(TLabelList, AddLabelSumsExactNamesAndKeepsCaseVariantsApart) {
    TLabelList list("a", 1.0);
    list.AddLabel("a", 0.5);
    list.AddLabel("A", 2.0);
    list.AddLabel("b", 1.0);
    ASSERT_EQ(list.length(), 3);
    EXPECT_EQ(list.labels[0], (TLabel{1.5, "a"}));
    EXPECT_EQ(list.labels[1], (TLabel{2.0, "A"}));
    EXPECT_EQ(list.labels[2], (TLabel{1.0, "b"}));

    TLabelList copy = list;
    copy.AddLabel("a", 1.0);
    EXPECT_DOUBLE_EQ(list.labels[0].value, 1.5);  // copies are deep
    const TLabelList& alias = copy;
    copy = alias;  // self-assignment keeps the list
    EXPECT_DOUBLE_EQ(copy.labels[0].value, 2.5);
}

TEST(Data, NewObjectHasNoRowsInUseAndZeroSlots) {
    Data data(3, 2, 1, true);
    EXPECT_EQ(data.DataRows(), 0);
    EXPECT_EQ(data.Rows(), 3);
    EXPECT_FALSE(data.IsValidRow(0));
    EXPECT_TEXCEPTION(data.GetInputDatum(0, 0), "Invalid Data Row", "Bad Parameter",
                      "Data::GetInputDatum");
    data.AppendRow({}, {}, nullptr);
    EXPECT_EQ(data.GetInputDatum(0, 1), 0.0);
    EXPECT_EQ(data.GetOutputDatum(0, 0), 0.0);
    ASSERT_NE(data.GetLabels(0), nullptr);
    EXPECT_EQ(data.GetLabels(0)->length(), 0);
}

TEST(Data, NegativeSizesAreRefused) {
    EXPECT_TEXCEPTION(Data(-1, 1, 1, false), "Invalid Data Size", "Bad Parameter", "Data::Data");
    EXPECT_TEXCEPTION(Data(1, -1, 1, false), "Invalid Data Size", "Bad Parameter", "Data::Data");
    EXPECT_TEXCEPTION(Data(1, 1, -2, false), "Invalid Data Size", "Bad Parameter", "Data::Data");
}

TEST(Data, RingOverwritesTheOldestRow) {
    Data data(3, 2, 1, false);
    AppendNumbered(data, 1, 3);
    EXPECT_EQ(data.First(), 0);
    EXPECT_EQ(data.Last(), 2);
    AppendNumbered(data, 4, 4);  // capacity + 1 appends
    EXPECT_EQ(data.DataRows(), 3);
    EXPECT_EQ(data.Last(), 0);
    EXPECT_EQ(data.First(), 1);
    EXPECT_EQ(data.GetInputDatum(0, 0), 4.0);
    EXPECT_EQ(data.GetOutputDatum(0, 0), 400.0);
    EXPECT_EQ(data.GetInputDatum(1, 0), 2.0);
    AppendNumbered(data, 5, 6);  // wraps First back to 0
    EXPECT_EQ(data.First(), 0);
    EXPECT_EQ(data.Last(), 2);
    EXPECT_EQ(data.GetInputDatum(2, 1), 60.0);
}

TEST(Data, ZeroCapacityKeepsNoRows) {
    Data data(0, 1, 1, true);
    EXPECT_TEXCEPTION(data.AppendRow({}, {}, nullptr), "Invalid Data Row", "Bad Parameter",
                      "Data::AppendRow");
    EXPECT_EQ(data.DataRows(), 0);
}

TEST(Data, RowAndColumnFailuresNameTheOperation) {
    Data data(4, 2, 1, false);
    AppendNumbered(data, 1, 2);
    const int changes = data.Changes();
    EXPECT_TEXCEPTION(data.GetInputDatum(0, 2), "Invalid Input Data Column", "Bad Parameter",
                      "Data::GetInputDatum");
    EXPECT_TEXCEPTION(data.GetInputDatum(2, 0), "Invalid Data Row", "Bad Parameter",
                      "Data::GetInputDatum");
    EXPECT_TEXCEPTION(data.GetOutputDatum(0, 1), "Invalid Output Data Column", "Bad Parameter",
                      "Data::GetOutputDatum");
    EXPECT_TEXCEPTION(data.SetInputDatum(-1, 0, 1.0), "Invalid Data Row", "Bad Parameter",
                      "Data::SetInputDatum");
    EXPECT_TEXCEPTION(data.SetOutputDatum(0, -1, 1.0), "Invalid Output Data Column",
                      "Bad Parameter", "Data::SetOutputDatum");
    Row buffer(2);
    EXPECT_TEXCEPTION(data.GetInputRow(3, buffer), "Invalid Data Row", "Bad Parameter",
                      "Data::GetInputRow");
    EXPECT_TEXCEPTION(data.GetOutputRow(2, buffer), "Invalid Data Row", "Bad Parameter",
                      "Data::GetOutputRow");
    EXPECT_TEXCEPTION(data.SetRow(2, {}, {}, nullptr), "Invalid Data Row", "Bad Parameter",
                      "Data::SetRow");
    EXPECT_TEXCEPTION(data.GetLabels(2), "Invalid Data Row", "Bad Parameter", "Data::GetLabels");
    EXPECT_TEXCEPTION(data.SetLabels(2, nullptr), "Invalid Data Row", "Bad Parameter",
                      "Data::SetLabels");
    EXPECT_TEXCEPTION(data.ClearLabels(2), "Invalid Data Row", "Bad Parameter",
                      "Data::ClearLabels");
    EXPECT_TEXCEPTION(data.AppendLabel(2, 1.0, "x"), "Invalid Data Row", "Bad Parameter",
                      "Data::AppendLabel");
    EXPECT_EQ(data.Changes(), changes);  // failed calls change nothing
}

TEST(Data, BuffersAndColumnListsAreChecked) {
    Data data(2, 3, 2, false);
    data.AppendRow(Row{1, 2, 3}, Row{4, 5}, nullptr);
    Row two(2);
    EXPECT_TEXCEPTION(data.GetInputRow(0, two), "Invalid Input Data Column", "Bad Parameter",
                      "Data::GetInputRow");
    const std::vector<int> outOfRange{0, 3};
    EXPECT_TEXCEPTION(data.GetInputRow(0, two, outOfRange), "Invalid Input Data Column",
                      "Bad Parameter", "Data::GetInputRow");
    const std::vector<int> negative{-1};
    EXPECT_TEXCEPTION(data.GetOutputRow(0, two, negative), "Invalid Output Data Column",
                      "Bad Parameter", "Data::GetOutputRow");
    const std::vector<int> three{2, 0, 1};
    EXPECT_TEXCEPTION(data.GetInputRow(0, two, three), "Invalid Input Data Column", "Bad Parameter",
                      "Data::GetInputRow");
    const std::vector<int> reordered{2, 0};
    data.GetInputRow(0, two, reordered);
    EXPECT_EQ(two, (Row{3, 1}));

    EXPECT_TEXCEPTION(data.SetRow(0, Row{1, 2}, {}, nullptr), "Invalid Input Data Column",
                      "Bad Parameter", "Data::SetRow");
    EXPECT_TEXCEPTION(data.AppendRow({}, Row{1, 2, 3}, nullptr), "Invalid Output Data Column",
                      "Bad Parameter", "Data::AppendRow");
    const std::vector<Row> rows{Row{1, 1, 1}, Row{2, 2}};
    EXPECT_TEXCEPTION(data.AppendRows(2, rows, {}, {}), "Invalid Input Data Column",
                      "Bad Parameter", "Data::AppendRows");
    EXPECT_TEXCEPTION(data.AppendRows(3, std::vector<Row>{Row{1, 1, 1}}, {}, {}),
                      "Invalid Data Row", "Bad Parameter", "Data::AppendRows");
    EXPECT_EQ(data.DataRows(), 1);  // nothing of a refused block was appended
}

TEST(Data, SetRowWithNoneKeepsValuesAndEmptiesLabels) {
    Data data(2, 2, 1, true);
    const TLabelList labels("x", 2.0);
    data.AppendRow(Row{1, 2}, Row{3}, &labels);
    EXPECT_EQ(*data.GetLabels(0), labels);
    data.SetRow(0, {}, Row{7}, nullptr);
    EXPECT_EQ(data.GetInputDatum(0, 1), 2.0);
    EXPECT_EQ(data.GetOutputDatum(0, 0), 7.0);
    EXPECT_EQ(data.GetLabels(0)->length(), 0);

    data.AppendLabel(0, 1.0, "y");
    data.AppendLabel(0, 0.5, "y");
    EXPECT_EQ(*data.GetLabels(0), TLabelList("y", 1.5));
    data.SetLabels(0, nullptr);
    EXPECT_EQ(data.GetLabels(0)->length(), 0);
    data.SetLabels(0, &labels);
    data.ClearLabels(0);
    EXPECT_EQ(data.GetLabels(0)->length(), 0);
}

TEST(Data, ObjectWithoutLabelsHasNoLists) {
    Data data(1, 1, 0, false);
    const TLabelList labels("x", 1.0);
    data.AppendRow(Row{1}, {}, &labels);
    EXPECT_EQ(data.GetLabels(0), nullptr);
    EXPECT_TEXCEPTION(data.AppendLabel(0, 1.0, "x"), "No Data Labels", "Bad Parameter",
                      "Data::AppendLabel");
    EXPECT_TEXCEPTION(data.SetLabels(0, &labels), "No Data Labels", "Bad Parameter",
                      "Data::SetLabels");
}

TEST(Data, GetBlockClipsAtTheNewestSlot) {
    Data data(5, 2, 1, false);
    AppendNumbered(data, 1, 3);
    std::vector<Row> inputs(5), outputs(5);
    int count = -1;
    data.GetBlock(1, 10, inputs, outputs, count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(inputs[0], (Row{2, 20}));
    EXPECT_EQ(inputs[1], (Row{3, 30}));
    EXPECT_EQ(outputs[1], (Row{300}));

    count = -1;
    EXPECT_TEXCEPTION(data.GetBlock(3, 4, inputs, outputs, count), "Data Block Fault",
                      "Bad Parameter", "Data::GetBlock");
    EXPECT_EQ(count, 0);
    std::vector<Row> tooFew(1);
    EXPECT_TEXCEPTION(data.GetBlock(0, 2, tooFew, outputs, count), "Data Block Fault",
                      "Bad Parameter", "Data::GetBlock");
}

TEST(Data, CursorWalksTheRingOldestToNewest) {
    Data straight(4, 2, 1, false);
    AppendNumbered(straight, 1, 3);
    straight.SetCurrent(straight.Last());
    EXPECT_EQ(Walk(straight, 4), (std::vector<double>{1, 2, 3, 1}));
    EXPECT_EQ(Walk(straight, 3, false), (std::vector<double>{3, 2, 1}));

    Data wrapped(3, 2, 1, false);
    AppendNumbered(wrapped, 1, 5);  // slots hold 4, 5, 3; oldest in slot 2
    wrapped.SetCurrent(wrapped.Last());
    EXPECT_EQ(Walk(wrapped, 4), (std::vector<double>{3, 4, 5, 3}));
    EXPECT_EQ(Walk(wrapped, 2, false), (std::vector<double>{5, 4}));
    wrapped.Advance(-7);  // 7 = 1 modulo 3 rows in use
    EXPECT_EQ(wrapped.Current(), 2);
    wrapped.Advance(302);
    EXPECT_EQ(wrapped.Current(), 1);

    Data single(3, 2, 1, false);
    AppendNumbered(single, 9, 9);
    single.Advance(5);
    EXPECT_EQ(single.Current(), 0);
}

TEST(Data, CursorArithmeticHoldsForTheLargestCapacity) {
    Data data(std::numeric_limits<int>::max(), 0, 0, false);  // no columns: nothing allocated
    for (int i = 0; i < 3; ++i)
        data.AppendRow({}, {}, nullptr);
    data.SetCurrent(2);
    data.Advance(std::numeric_limits<int>::max());  // 2^31 - 1 = 1 modulo 3
    EXPECT_EQ(data.Current(), 0);
    data.Advance(std::numeric_limits<int>::min());  // -2^31 = 1 modulo 3
    EXPECT_EQ(data.Current(), 1);
}

TEST(Data, CursorFailuresLeaveItInPlace) {
    Data empty(2, 1, 1, false);
    empty.SetCurrent(empty.Last());
    Row one(1);
    EXPECT_TEXCEPTION(empty.Next(one, one), "Invalid Data Row", "Bad Parameter",
                      "Data::GetCurrentRow");
    EXPECT_TEXCEPTION(empty.SetCurrent(1), "Invalid Data Row", "Bad Parameter", "Data::SetCurrent");

    Data data(3, 2, 1, false);
    AppendNumbered(data, 1, 2);
    EXPECT_TEXCEPTION(data.Next(one, {}), "Invalid Input Data Column", "Bad Parameter",
                      "Data::GetCurrentRow");
    EXPECT_EQ(data.Current(), 0);
}

TEST(Data, SelectionsChooseColumns) {
    Data data(2, 3, 2, true);
    const TLabelList labels("lab", 1.0);
    data.AppendRow(Row{1, 2, 3}, Row{4, 5}, &labels);
    Row inputs(3), outputs(2);
    EXPECT_EQ(*data.GetCurrentRow(inputs, outputs), labels);
    EXPECT_EQ(inputs, (Row{1, 2, 3}));

    data.SetInputSelection(std::vector<int>{2, 0});
    EXPECT_EQ(data.GetInputSelection(), (std::vector<int>{2, 0}));
    Row selected(2);
    EXPECT_EQ(data.Next(selected, outputs), nullptr);  // no labels with an input selection
    EXPECT_EQ(selected, (Row{3, 1}));
    EXPECT_EQ(outputs, (Row{4, 5}));

    data.SetSelection(std::vector<int>{1}, std::vector<int>{1});
    Row one(1), oneOut(1);
    data.Previous(one, oneOut);
    EXPECT_EQ(one, (Row{2}));
    EXPECT_EQ(oneOut, (Row{5}));

    data.SetInputSelection(std::vector<int>{3});
    EXPECT_TEXCEPTION(data.GetCurrentRow(one, {}), "Invalid Input Data Column", "Bad Parameter",
                      "Data::GetCurrentRow");
}

TEST(Data, CloneCopiesRowsCountersCursorAndSelections) {
    Data data(3, 2, 1, true);
    AppendNumbered(data, 1, 4);
    data.AppendLabel(2, 0.25, "z");
    data.SetCurrent(1);
    data.SetSelection(std::vector<int>{1}, std::vector<int>{0});
    const std::unique_ptr<Data> clone = data.Clone();

    data.SetInputDatum(1, 0, -1.0);  // the clone is independent
    data.AppendLabel(2, 1.0, "z");
    EXPECT_EQ(clone->DataRows(), 3);
    EXPECT_EQ(clone->First(), data.First());
    EXPECT_EQ(clone->Last(), data.Last());
    EXPECT_EQ(clone->Changes() + 2, data.Changes());
    EXPECT_EQ(clone->Current(), 1);
    EXPECT_EQ(clone->GetInputDatum(1, 0), 2.0);
    EXPECT_EQ(*clone->GetLabels(2), TLabelList("z", 0.25));
    Row one(1), out(1);
    clone->GetCurrentRow(one, out);
    EXPECT_EQ(one, (Row{20}));
    EXPECT_EQ(clone->GetInputSelection(), (std::vector<int>{1}));
}

TEST(Data, AppendRowsTakesRowByRow) {
    Data data(2, 1, 1, true);
    const std::vector<Row> inputs{Row{1}, Row{2}, Row{3}};
    const std::vector<TLabelList> labels{TLabelList("a", 1), TLabelList("b", 1),
                                         TLabelList("c", 1)};
    data.AppendRows(3, inputs, {}, labels);
    EXPECT_EQ(data.GetInputDatum(0, 0), 3.0);
    EXPECT_EQ(data.GetLabels(0)->labels[0].name, "c");
    EXPECT_EQ(data.GetLabels(1)->labels[0].name, "b");
}

}  // namespace
}  // namespace glean
