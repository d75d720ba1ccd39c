#include "NeuralNets/ActFunctions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "NeuralNets/TBasicNetwork.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

// A gain neuron with its own value slot.
struct Probe {
    explicit Probe(double gain) {
        neuron.gain = gain;
        neuron.value = &value;
    }
    double Apply(TActFunction f, double x) {
        value = -12345.0;
        f(&neuron, x);
        return value;
    }
    TGainNeuron neuron;
    double value = 0.0;
};

struct Row {
    const char* name;
    double x;
    double gain;
    double expected;
};

const double NaN = std::numeric_limits<double>::quiet_NaN();

TEST(ActFunctions, DefaultFunctionsComputeTheirFormulas) {
    const Row rows[] = {
        {"bias", -7.0, 1.0, 1.0},
        {"linear", -2.5, 1.0, -2.5},
        {"saturated-linear", -3.0, 1.0, 0.0},
        {"saturated-linear", 0.0, 1.0, 0.0},
        {"saturated-linear", NaN, 1.0, 0.0},
        {"saturated-linear", 0.25, 1.0, 0.25},
        {"saturated-linear", 0.999, 1.0, 0.999},
        {"saturated-linear", 1.0, 1.0, 1.0},
        {"saturated-linear", 7.0, 1.0, 1.0},
        {"sigmoid", 0.0, 1.0, 0.5},
        {"sigmoid", 2.0, 1.0, 1.0 / (1.0 + std::exp(-2.0))},
        {"sigmoid", -500.0, 1.0, 1.0 / (1.0 + std::exp(500.0))},
        {"sigmoid", -500.001, 1.0, 1e-300},
        {"sigmoid", -600.0, 1.0, 1e-300},
        {"tanh", 0.5, 1.0, std::tanh(0.5)},
        {"linear-gain", 3.0, 2.0, 6.0},
        {"sigmoid-gain", 1.0, 2.0, 1.0 / (1.0 + std::exp(-2.0))},
        {"sigmoid-gain", -300.0, 2.0, 1.0 / (1.0 + std::exp(600.0))},
        {"tanh-gain", 2.0, 0.5, std::tanh(1.0)},
    };
    TFnRegistry registry;
    registry.RegisterDefaults();
    for (const Row& row : rows) {
        Probe probe(row.gain);
        EXPECT_DOUBLE_EQ(probe.Apply(registry.Lookup(row.name), row.x), row.expected)
            << row.name << " at " << row.x;
    }
}

TEST(ActFunctions, SigmoidAtMinus500IsComputedNotCut) {
    Probe probe(1.0);
    const double v = probe.Apply(ActSigmoid, -500.0);
    EXPECT_GT(v, 0.0);
    EXPECT_LT(v, 1e-200);
    EXPECT_NE(v, 1e-300);
}

TEST(ActFunctions, PlaceholderFunctionsAndMisuseFailChecks) {
    Probe probe(1.0);
    TBasicNeuron plain;
    double value = 0.0;
    plain.value = &value;
    test::ExpectGuardsFire({
        {"the error function", [&] { probe.Apply(ActError, 0.0); }},
        {"the null function", [&] { probe.Apply(ActNull, 0.0); }},
        {"the centre of gravity outside its layer", [&] { probe.Apply(ActCog, 0.0); }},
        {"a condition function on another neuron", [&] { probe.Apply(ActOmbraCondition, 0.0); }},
        {"a gain function on a neuron without gain", [&] { ActLinearGain(&plain, 1.0); }},
    });
}

TEST(ActFunctions, OmbraConditionAsksTheNeuronForItsMembership) {
    struct HalfNeuron : TBasicNeuron, TMembershipNeuron {
        double MembershipDegree(double x) const override { return x / 2.0; }
    };
    HalfNeuron neuron;
    double value = 0.0;
    neuron.value = &value;
    ActOmbraCondition(&neuron, 0.5);
    EXPECT_DOUBLE_EQ(value, 0.25);
}

TEST(TFnRegistry, DefaultsAreRegisteredInOrder) {
    TFnRegistry registry;
    EXPECT_EQ(registry.Count(), 0);
    EXPECT_EQ(registry.Capacity(), 16);
    registry.RegisterDefaults();
    const char* names[] = {
        "error",       "null",         "bias",      "linear", "saturated-linear", "sigmoid", "tanh",
        "linear-gain", "sigmoid-gain", "tanh-gain", "cog",    "Ombra-condition"};
    ASSERT_EQ(registry.Count(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(registry.NameAt(i), names[i]);
}

TEST(TFnRegistry, LookupIgnoresCaseAndNameOfGivesTheRegisteredSpelling) {
    TFnRegistry registry;
    registry.RegisterDefaults();
    EXPECT_EQ(registry.Lookup("SIGMOID"), &ActSigmoid);
    EXPECT_EQ(registry.Lookup("Sigmoid"), &ActSigmoid);
    EXPECT_EQ(registry.Lookup("ombra-CONDITION"), &ActOmbraCondition);
    EXPECT_EQ(registry.NameOf(ActSigmoid), "sigmoid");
    EXPECT_EQ(registry.NameOf(ActOmbraCondition), "Ombra-condition");
}

TEST(TFnRegistry, UnknownNamesAndFunctionsAndDuplicatesFailChecks) {
    TFnRegistry registry;
    registry.RegisterDefaults();
    auto stranger = [](TBasicNeuron*, double) {};
    test::ExpectGuardsFire({
        {"an unknown name", [&] { registry.Lookup("softmax"); }},
        {"a known name with one character more", [&] { registry.Lookup("sigmoid-"); }},
        {"an unregistered function", [&] { registry.NameOf(stranger); }},
        {"a name registered twice, in another case",
         [&] { registry.Register(ActLinear, "LINEAR"); }},
    });
    EXPECT_EQ(registry.Count(), 12);
}

TEST(TFnRegistry, SeventeenthNameDoublesTheCapacityAndKeepsTheOrder) {
    TFnRegistry registry;
    registry.RegisterDefaults();
    auto f = [](TBasicNeuron*, double) {};
    for (int i = 0; i < 4; ++i)
        registry.Register(f, "extra" + std::to_string(i));
    EXPECT_EQ(registry.Count(), 16);
    EXPECT_EQ(registry.Capacity(), 16);
    registry.Register(f, "extra4");
    EXPECT_EQ(registry.Count(), 17);
    EXPECT_EQ(registry.Capacity(), 32);
    EXPECT_EQ(registry.NameAt(0), "error");
    EXPECT_EQ(registry.NameAt(11), "Ombra-condition");
    EXPECT_EQ(registry.NameAt(16), "extra4");
    EXPECT_EQ(registry.Lookup("EXTRA0"), registry.Lookup("extra4"));
}

TEST(TFnRegistry, FunctionSlotFindsOrAppends) {
    TFnRegistry registry;
    registry.RegisterDefaults();
    EXPECT_EQ(registry.FunctionSlot("TANH"), &ActTanh);
    EXPECT_EQ(registry.Count(), 12);

    TActFunction& slot = registry.FunctionSlot("custom");
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(registry.Count(), 13);
    slot = ActBias;
    EXPECT_EQ(registry.Lookup("Custom"), &ActBias);
    EXPECT_EQ(registry.NameOf(ActBias), "custom");  // the last registration wins
}

}  // namespace
}  // namespace glean
