// What the units of the extension module share: the conversion of arrays of samples, and the
// failure of an argument. The units are two because the rule engine and the training library
// each have a type of their own named TCondition, which no one unit can include both of.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <stdexcept>
#include <vector>

namespace glean::python {

namespace py = pybind11;

// Arguments from Python that the libraries cannot take: reported as GleanError.
class ArgumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Rows of doubles, whatever the caller's array holds (copied and converted when needed).
using TArray = py::array_t<double, py::array::c_style | py::array::forcecast>;
using TRows = std::vector<std::vector<double>>;

// The rows of a 2-D array of `columns` columns each (any number when columns < 0). Throws
// ArgumentError for another shape.
TRows RowsOf(const TArray& array, long columns);
// Rows of equal width as a 2-D array (of `columns` columns when there are no rows).
py::array_t<double> ArrayOf(const TRows& rows, std::size_t columns);

// Adds the fitted models: RuleModel, fit_classifier and fit_regressor.
void BindRuleModels(py::module_& module);

}  // namespace glean::python
