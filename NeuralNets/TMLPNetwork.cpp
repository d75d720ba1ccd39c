#include "NeuralNets/TMLPNetwork.h"

#include "DataObject/Data.h"
#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "NeuralNets/TDataRecall.h"
#include "NeuralNets/TErrorObj.h"

namespace glean {

TMLPNetwork::TMLPNetwork(int L, std::span<const int> sizes, bool bias) : bias(bias) {
    GLEAN_CHECK_TEXT(L >= 1, "L>=1");
    GLEAN_CHECK_TEXT(sizes.size() == static_cast<std::size_t>(L), "sizes.size()==L");
    Init(L + 1);
    InstallLayer(0, std::make_unique<TSimpleLayer>(this, 0, bias ? 1 : 0));
    InstallLayer(1, std::make_unique<TSimpleInputLayer>(this, 1, sizes[0]));
    for (int j = 2; j <= L; ++j) {
        InstallLayer(
            j, std::make_unique<TGainLayer>(this, j, sizes[static_cast<std::size_t>(j - 1)], 1.0));
    }
    layers[1]->SetActivationFunction(functions->Lookup("linear"));
    for (int j = 2; j <= L; ++j) {
        Connect(j - 1, j);
        layers[j]->SetActivationFunction(functions->Lookup("sigmoid"));
    }
    if (bias) {
        layers[0]->SetActivationFunction(functions->Lookup("bias"));
        for (int j = 2; j <= L; ++j)
            Connect(0, j);
    }
    inLayer = 1;
}

TMLPNetwork::TMLPNetwork(int L, bool bias) : bias(bias) {
    Init(L + 1);
}

std::string TMLPNetwork::GetNetworkType() const {
    return "MLP";
}

std::unique_ptr<Data> TMLPNetwork::Recall(Data* in) {
    GLEAN_CHECK_TEXT(in != nullptr, "in != nil");
    return TDataRecall(*this, *in, false, "TMLPNetwork::Recall").Run(true);
}

void TMLPNetwork::RecallOutputOnly(Data* in, std::unique_ptr<Data>& out) {
    if (in == nullptr) {
        throw TException("Null data pointer", "Null Pointer Parameter",
                         "TMLPNetwork::RecallOutputOnly");
    }
    out = TDataRecall(*this, *in, false, "TMLPNetwork::RecallOutputOnly").Run(false);
}

double TMLPNetwork::RecallError(Data* in, TErrorObj* err) {
    GLEAN_CHECK_TEXT(in != nullptr, "in != nil");
    GLEAN_CHECK_TEXT(err != nullptr, "err != nil");
    return TDataRecall(*this, *in, true, "TMLPNetwork::RecallError").Measure(*err);
}

}  // namespace glean
