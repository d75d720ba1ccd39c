#include "NeuralNets/ActFunctions.h"

#include <cmath>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "NeuralNets/TBasicNetwork.h"

namespace glean {

namespace {
// The gain of a gain neuron; the gain functions make no sense on any other neuron.
double GainOf(const TBasicNeuron* neuron) {
    const auto* gainNeuron = dynamic_cast<const TGainNeuron*>(neuron);
    GLEAN_CHECK_TEXT(gainNeuron != nullptr, "gain neuron");
    return gainNeuron->gain;
}

double Logistic(double x) {
    return 1.0 / (1.0 + std::exp(-x));
}
}  // namespace

void ActError(TBasicNeuron*, double) {
    GLEAN_FAIL("false");
}

void ActNull(TBasicNeuron*, double) {
    GLEAN_FAIL("false");
}

void ActBias(TBasicNeuron* neuron, double) {
    *neuron->value = 1.0;
}

void ActLinear(TBasicNeuron* neuron, double net) {
    *neuron->value = net;
}

void ActSaturatedLinear(TBasicNeuron* neuron, double net) {
    // Written so that a net input that is not a number falls into the first branch.
    if (!(net > 0.0)) {
        *neuron->value = 0.0;
    } else if (net < 1.0) {
        *neuron->value = net;
    } else {
        *neuron->value = 1.0;
    }
}

void ActSigmoid(TBasicNeuron* neuron, double net) {
    // Far left the value is a fixed tiny positive number rather than the formula's.
    *neuron->value = net < -500.0 ? 1e-300 : Logistic(net);
}

void ActTanh(TBasicNeuron* neuron, double net) {
    *neuron->value = std::tanh(net);
}

void ActLinearGain(TBasicNeuron* neuron, double net) {
    *neuron->value = GainOf(neuron) * net;
}

void ActSigmoidGain(TBasicNeuron* neuron, double net) {
    *neuron->value = Logistic(GainOf(neuron) * net);
}

void ActTanhGain(TBasicNeuron* neuron, double net) {
    *neuron->value = std::tanh(GainOf(neuron) * net);
}

void ActCog(TBasicNeuron*, double) {
    GLEAN_FAIL("false");
}

void ActOmbraCondition(TBasicNeuron* neuron, double net) {
    const auto* membership = dynamic_cast<const TMembershipNeuron*>(neuron);
    GLEAN_CHECK_TEXT(membership != nullptr, "condition neuron");
    *neuron->value = membership->MembershipDegree(net);
}

TFnRegistry::TFnRegistry() {
    items.reserve(static_cast<std::size_t>(capacity));
}

void TFnRegistry::RegisterDefaults() {
    Register(ActError, "error");
    Register(ActNull, "null");
    Register(ActBias, "bias");
    Register(ActLinear, "linear");
    Register(ActSaturatedLinear, "saturated-linear");
    Register(ActSigmoid, "sigmoid");
    Register(ActTanh, "tanh");
    Register(ActLinearGain, "linear-gain");
    Register(ActSigmoidGain, "sigmoid-gain");
    Register(ActTanhGain, "tanh-gain");
    Register(ActCog, "cog");
    Register(ActOmbraCondition, "Ombra-condition");
}

void TFnRegistry::Register(TActFunction f, const std::string& name) {
    GLEAN_CHECK_TEXT(Find(name) < 0, "strcasecmp(p,pp->name)!=0");
    Append(f, name);
}

TActFunction TFnRegistry::Lookup(const std::string& name) const {
    const int i = Find(name);
    GLEAN_CHECK_TEXT(i >= 0, "false");
    return items[static_cast<std::size_t>(i)].function;
}

const std::string& TFnRegistry::NameOf(TActFunction f) const {
    for (auto entry = items.rbegin(); entry != items.rend(); ++entry) {
        if (entry->function == f) return entry->name;
    }
    GLEAN_FAIL("false");
}

TActFunction& TFnRegistry::FunctionSlot(const std::string& name) {
    int i = Find(name);
    if (i < 0) {
        Append(nullptr, name);
        i = Count() - 1;
    }
    return items[static_cast<std::size_t>(i)].function;
}

const std::string& TFnRegistry::NameAt(int i) const {
    GLEAN_CHECK_TEXT(i >= 0 && i < Count(), "i>=0 && i<count");
    return items[static_cast<std::size_t>(i)].name;
}

int TFnRegistry::Find(const std::string& name) const {
    for (int i = Count() - 1; i >= 0; --i) {
        if (SameText(name, items[static_cast<std::size_t>(i)].name)) return i;
    }
    return -1;
}

void TFnRegistry::Append(TActFunction f, const std::string& name) {
    if (Count() == capacity) {
        capacity *= 2;
        items.reserve(static_cast<std::size_t>(capacity));
    }
    items.push_back({name, f});
}

}  // namespace glean
