// Activation functions and the registry that names them.
//
// A network file names every activation function by text; each network owns a TFnRegistry that
// maps those names to functions (for reading) and functions back to names (for writing).
#pragma once

#include <string>
#include <vector>

namespace glean {

class TBasicNeuron;

// An activation function: computes the output of `neuron` from its net input and stores it
// through the neuron's `value` pointer.
using TActFunction = void (*)(TBasicNeuron* neuron, double net);

// A neuron that computes its own membership degree of its net input; the "Ombra-condition"
// function asks it, so that the registry needs no knowledge of the fuzzy network's classes.
class TMembershipNeuron {
public:
    virtual ~TMembershipNeuron() = default;
    // The degree (0 to 1) to which `x` belongs to the neuron's membership function.
    virtual double MembershipDegree(double x) const = 0;
};

// The default functions, in registration order (registered name: value stored; x is the net
// input, g the gain of a gain neuron, on which the three gain functions insist).
void ActError(TBasicNeuron* neuron, double net);            // "error": fails "false"
void ActNull(TBasicNeuron* neuron, double net);             // "null": fails "false"
void ActBias(TBasicNeuron* neuron, double net);             // "bias": 1.0
void ActLinear(TBasicNeuron* neuron, double net);           // "linear": x
void ActSaturatedLinear(TBasicNeuron* neuron, double net);  // "saturated-linear": x in [0, 1]
void ActSigmoid(TBasicNeuron* neuron, double net);          // "sigmoid": 1e-300 if x < -500
void ActTanh(TBasicNeuron* neuron, double net);             // "tanh": tanh(x)
void ActLinearGain(TBasicNeuron* neuron, double net);       // "linear-gain": g*x
void ActSigmoidGain(TBasicNeuron* neuron, double net);      // "sigmoid-gain": no lower cut
void ActTanhGain(TBasicNeuron* neuron, double net);         // "tanh-gain": tanh(g*x)
void ActCog(TBasicNeuron* neuron, double net);              // "cog": fails "false"
void ActOmbraCondition(TBasicNeuron* neuron, double net);   // "Ombra-condition": membership

// Names of activation functions; names compare ignoring case and are unique within a registry.
class TFnRegistry {
public:
    TFnRegistry();
    virtual ~TFnRegistry() = default;
    TFnRegistry(const TFnRegistry&) = delete;
    TFnRegistry& operator=(const TFnRegistry&) = delete;

    // Registers every default function above, in that order.
    virtual void RegisterDefaults();

    // Adds (name, f); a name already registered fails "strcasecmp(p,pp->name)!=0". The capacity
    // doubles when it is full.
    void Register(TActFunction f, const std::string& name);
    // The function registered under `name`; an unknown name fails "false".
    TActFunction Lookup(const std::string& name) const;
    // The name under which `f` was registered; an unknown function fails "false".
    const std::string& NameOf(TActFunction f) const;
    // The function slot of `name`, appended with a null function when the name is new. The
    // reference stays valid until the next registration.
    TActFunction& FunctionSlot(const std::string& name);

    // Number of entries in use, and number allocated (16 at first).
    int Count() const { return static_cast<int>(items.size()); }
    int Capacity() const { return capacity; }
    // Name of entry i (0 <= i < Count()), in registration order.
    const std::string& NameAt(int i) const;

private:
    struct Entry {
        std::string name;
        TActFunction function;
    };

    // Index of the last entry named `name`, or -1.
    int Find(const std::string& name) const;
    void Append(TActFunction f, const std::string& name);

    std::vector<Entry> items;
    int capacity = 16;
};

}  // namespace glean
