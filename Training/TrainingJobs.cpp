#include "Training/TrainingJobs.h"

#include <ostream>

#include "FileHandler/Filer.h"
#include "FileHandler/NetworkFile.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {
void ReportFit(std::ostream& out, const char* what, const TFit& fit) {
    out << what << ": error " << fit.Rms;
    if (fit.Accuracy >= 0.0) out << " accuracy " << fit.Accuracy;
    out << '\n';
}
}  // namespace

std::unique_ptr<Data> LoadDataSetFile(const std::string& fileName) {
    FileTools tools;
    std::unique_ptr<Data> data;
    if (LoadInputDataSet(tools, fileName, data) != SUCCESS) return nullptr;
    return data;
}

TSamples LoadSamples(const std::string& fileName) {
    const std::unique_ptr<Data> data = LoadDataSetFile(fileName);
    if (!data) throw TException("Cannot read data set: " + fileName, "File Error", "RunTrainJob");
    return ReadSamples(*data);
}

std::vector<int> ExpandCounts(const std::vector<int>& counts, int variables) {
    if (counts.size() == 1) return std::vector<int>(static_cast<std::size_t>(variables), counts[0]);
    if (counts.size() != static_cast<std::size_t>(variables)) {
        throw TException("MF counts do not fit the data set", "Bad Parameter", "RunTrainJob");
    }
    return counts;
}

int RunTrainJob(const TTrainJob& job, std::ostream& out) {
    TOmbraTrainer trainer(job.Settings);
    const TSamples samples = LoadSamples(job.DataFile);
    TSamples test;
    if (!job.TestFile.empty()) {
        test = LoadSamples(job.TestFile);
        // Checked before training, so that a wrong file costs no training and writes nothing.
        if (test.Inputs != samples.Inputs || test.Outputs != samples.Outputs) {
            throw TException("Data set does not fit the network", "Bad Data", "TFit");
        }
    }
    TOmbraShape shape;
    shape.MFPerInput = ExpandCounts(job.MFIn, samples.Inputs);
    shape.Rules = job.Rules;
    shape.MFPerOutput = ExpandCounts(job.MFOut, samples.Outputs);
    std::unique_ptr<TOmbra> network = trainer.CreateNetwork(shape, samples);
    const TFit fit = trainer.Train(*network, samples, &out);
    FileTools tools;
    try {
        SaveNetworkFile(tools, job.WeightsFile, *network);
    } catch (const FileTools::Error&) {
        throw TException("Cannot write weight file: " + job.WeightsFile, "File Error",
                         "RunTrainJob");
    }
    ReportFit(out, "training", fit);
    if (!job.TestFile.empty()) ReportFit(out, "held-out", MeasureFit(*network, test));
    return 0;
}

int RunCsvJob(const TCsvJob& job, std::ostream& out) {
    const TConvertedData data =
        ConvertCsvFile(job.CsvFile, job.Options, job.DataFile, job.HeldOutFile);
    out << "rows read " << data.Read << ", dropped for a missing value " << data.Dropped << '\n';
    out << "training rows " << data.Training->DataRows() << ", held-out rows "
        << (data.HeldOut ? data.HeldOut->DataRows() : 0) << ", inputs " << data.Training->Inputs()
        << ", outputs " << data.Training->Outputs() << '\n';
    return 0;
}

}  // namespace glean
