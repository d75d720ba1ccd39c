#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "DataObject/Data.h"
#include "Ombra/TOmbra.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

using Row = std::vector<double>;
using Counts = std::vector<int>;

// Two inputs (2 and 3 MFs), three rules, one output of two MFs, with non-trivial weights.
std::unique_ptr<TOmbra> MakeNetwork() {
    auto net = std::make_unique<TOmbra>(2, Counts{2, 3}, 3, Counts{2}, 1);
    std::vector<double> rules(15), actions(6);
    for (std::size_t i = 0; i < rules.size(); ++i)
        rules[i] = std::sin(1.0 + static_cast<double>(i));
    for (std::size_t i = 0; i < actions.size(); ++i)
        actions[i] = std::cos(2.0 + static_cast<double>(i));
    net->SetWeightLayer(2, rules);
    net->SetWeightLayer(3, actions);
    return net;
}

// A full ring of capacity 3 after five appends, so the oldest row is not in slot 0. Row k holds
// the inputs (0.1 k, 1 - 0.15 k) and the target 0.2 k.
std::unique_ptr<Data> WrappedData() {
    auto data = std::make_unique<Data>(3, 2, 1, false);
    for (int k = 0; k < 5; ++k)
        data->AppendRow(Row{0.1 * k, 1.0 - 0.15 * k}, Row{0.2 * k}, nullptr);
    return data;
}

// The rows of `data`, oldest first, read without its cursor.
std::vector<Row> InputsOldestFirst(const Data& data) {
    std::vector<Row> rows;
    for (int k = 0; k < data.DataRows(); ++k) {
        Row row(static_cast<std::size_t>(data.Inputs()));
        data.GetInputRow((data.First() + k) % data.Rows(), row);
        rows.push_back(row);
    }
    return rows;
}

double Forward(TOmbra& net, const Row& inputs) {
    Row out(1);
    net.Recall(std::span<const double>(inputs), std::span<double>(out));
    return out[0];
}

TEST(TOmbraRecall, MatchesTheForwardPassRowByRowFromTheOldestRow) {
    auto net = MakeNetwork();
    auto wrapped = WrappedData();
    Data& data = *wrapped;
    ASSERT_NE(data.First(), 0);
    // A cursor standing in the middle of the rows does not move the start.
    data.SetCurrent((data.First() + 1) % data.Rows());

    std::unique_ptr<Data> result;
    net->Recall(&data, result);
    std::unique_ptr<Data> outputsOnly;
    net->RecallOutputOnly(&data, outputsOnly);

    ASSERT_NE(result, nullptr);
    ASSERT_NE(outputsOnly, nullptr);
    EXPECT_EQ(result->Inputs(), 2);
    EXPECT_EQ(result->Outputs(), 1);
    EXPECT_FALSE(result->HasLabels());
    EXPECT_EQ(outputsOnly->Inputs(), 0);
    EXPECT_EQ(outputsOnly->Outputs(), 1);
    const std::vector<Row> expectedInputs = InputsOldestFirst(data);
    ASSERT_EQ(result->DataRows(), 3);
    ASSERT_EQ(outputsOnly->DataRows(), 3);
    EXPECT_EQ(InputsOldestFirst(*result), expectedInputs);
    std::vector<double> seen;
    for (int k = 0; k < 3; ++k) {
        const Row& inputs = expectedInputs[static_cast<std::size_t>(k)];
        const int slot = (result->First() + k) % result->Rows();
        const int onlySlot = (outputsOnly->First() + k) % outputsOnly->Rows();
        const double out = Forward(*net, inputs);
        EXPECT_DOUBLE_EQ(result->GetOutputDatum(slot, 0), out) << "row " << k;
        EXPECT_DOUBLE_EQ(outputsOnly->GetOutputDatum(onlySlot, 0), out) << "row " << k;
        seen.push_back(out);
    }
    // The rows differ, so the order of the outputs is observable.
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_NE(seen[1], seen[2]);
    EXPECT_DOUBLE_EQ(expectedInputs[0][0], 0.2);
}

TEST(TOmbraRecall, RecallErrorIsTheRmsOfTheDifferences) {
    auto net = MakeNetwork();
    auto wrapped = WrappedData();
    Data& data = *wrapped;
    double sum = 0.0;
    for (int k = 2; k < 5; ++k) {
        const double d = 0.2 * k - Forward(*net, Row{0.1 * k, 1.0 - 0.15 * k});
        sum += d * d;
    }
    double error = -1.0;
    net->RecallError(&data, error);
    EXPECT_NEAR(error, std::sqrt(sum / 3.0), 1e-12);
    EXPECT_GT(error, 0.0);
}

TEST(TOmbraRecall, DataSetWithoutRowsGivesAnEmptyResultAndNoError) {
    auto net = MakeNetwork();
    for (int capacity : {0, 4}) {
        Data empty(capacity, 2, 1, false);
        std::unique_ptr<Data> result;
        net->Recall(&empty, result);
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result->Rows(), 0);
        EXPECT_EQ(result->DataRows(), 0);
        net->RecallOutputOnly(&empty, result);
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result->DataRows(), 0);
        double error = -1.0;
        net->RecallError(&empty, error);
        EXPECT_EQ(error, 0.0);
    }
}

TEST(TOmbraRecall, WiderRowsAndSelectionsFeedTheDeliveredColumns) {
    auto net = MakeNetwork();
    Data data(2, 3, 2, false);
    data.AppendRow(Row{0.9, 0.3, 0.6}, Row{0.4, 7.0}, nullptr);
    data.AppendRow(Row{0.1, 0.5, 0.2}, Row{0.8, 7.0}, nullptr);

    std::unique_ptr<Data> result;
    net->Recall(&data, result);  // the first two columns
    EXPECT_EQ(result->GetOutputDatum(0, 0), Forward(*net, Row{0.9, 0.3}));
    EXPECT_EQ(result->GetOutputDatum(1, 0), Forward(*net, Row{0.1, 0.5}));

    data.SetInputSelection(std::vector<int>{2, 0});
    net->Recall(&data, result);
    EXPECT_EQ(result->GetInputDatum(0, 0), 0.6);
    EXPECT_EQ(result->GetOutputDatum(0, 0), Forward(*net, Row{0.6, 0.9}));
    EXPECT_EQ(result->GetOutputDatum(1, 0), Forward(*net, Row{0.2, 0.1}));

    double error = -1.0;
    net->RecallError(&data, error);
    const double d0 = 0.4 - Forward(*net, Row{0.6, 0.9});
    const double d1 = 0.8 - Forward(*net, Row{0.2, 0.1});
    EXPECT_NEAR(error, std::sqrt((d0 * d0 + d1 * d1) / 2.0), 1e-12);
}

TEST(TOmbraRecall, RefusesNullAndNarrowDataSetsLeavingTheResult) {
    auto net = MakeNetwork();
    std::unique_ptr<Data> result = std::make_unique<Data>(1, 1, 1, false);
    const Data* before = result.get();
    double error = -1.0;
    EXPECT_TEXCEPTION(net->Recall(nullptr, result), "Null data pointer", "Null Pointer Parameter",
                      "TOmbra::Recall");
    EXPECT_TEXCEPTION(net->RecallOutputOnly(nullptr, result), "Null data pointer",
                      "Null Pointer Parameter", "TOmbra::RecallOutputOnly");
    EXPECT_TEXCEPTION(net->RecallError(nullptr, error), "Null data pointer",
                      "Null Pointer Parameter", "TOmbra::RecallError");

    Data narrow(2, 1, 1, false);
    narrow.AppendRow(Row{0.5}, Row{0.5}, nullptr);
    EXPECT_TEXCEPTION(net->Recall(&narrow, result), "Data set does not fit the network",
                      "Bad Parameter", "TOmbra::Recall");
    EXPECT_TEXCEPTION(net->RecallOutputOnly(&narrow, result), "Data set does not fit the network",
                      "Bad Parameter", "TOmbra::RecallOutputOnly");
    EXPECT_TEXCEPTION(net->RecallError(&narrow, error), "Data set does not fit the network",
                      "Bad Parameter", "TOmbra::RecallError");

    // Enough data columns, but a selection that delivers fewer.
    Data selected(2, 3, 2, false);
    selected.AppendRow(Row{0.1, 0.2, 0.3}, Row{0.4, 0.5}, nullptr);
    selected.SetInputSelection(std::vector<int>{1});
    EXPECT_TEXCEPTION(net->Recall(&selected, result), "Data set does not fit the network",
                      "Bad Parameter", "TOmbra::Recall");
    Data noTargets(2, 2, 0, false);
    noTargets.AppendRow(Row{0.1, 0.2}, Row{}, nullptr);
    EXPECT_TEXCEPTION(net->RecallError(&noTargets, error), "Data set does not fit the network",
                      "Bad Parameter", "TOmbra::RecallError");
    // Output-only recall needs no targets.
    std::unique_ptr<Data> outputs;
    net->RecallOutputOnly(&noTargets, outputs);
    EXPECT_EQ(outputs->DataRows(), 1);

    EXPECT_EQ(result.get(), before);
    EXPECT_EQ(error, -1.0);
}

}  // namespace
}  // namespace glean
