// From plain CSV to the data set file: numeric columns scaled into [0, 1], optionally a class
// column turned into one-hot expected outputs, the scaling written beside the data set.
//
//   csv    = { skipped-line } [ header ] { row } ;  lines end in LF or CR LF; blank lines are
//                                              skipped; SkipLines lines are skipped first
//   header = name { "," name } ;               one name per column, none empty, none twice
//                                              (NoHeader: names Column1, Column2, ... or Names)
//   row    = field { "," field } ;             as many fields as the header has names
//   field  = number                            every column but the class column: a finite number
//          | text                              the class column: any text (spaces and one pair of
//                                              surrounding double quotes removed), one class each
//          | missing ;                         "", "NA", "N/A", "NaN", "?" (any letter case): the
//                                              row is dropped and counted
// The separator is "," unless Delimiter names another character.
//
// Columns: with a class column, every other column is an input and each class (in order of first
// appearance) is one expected output, 1 for the row's class and 0 for the others. Without one,
// the last `Outputs` columns are expected outputs and the rest inputs. Numbers are scaled by
// (v - min) / (max - min) with the minimum and maximum of the training rows (as halves where
// max - min is beyond the largest double); a constant column becomes 0, and held-out values
// beyond the training range are cut to [0, 1].
//
// Scaling file (CSV): "column,role,minimum,maximum", then one line per data set column in data
// set order: "<name>,input,<min>,<max>", "<name>,output,<min>,<max>", or for a class output
// "<class column>=<class>,class,0,1".
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "DataObject/Data.h"

namespace glean {

struct TCsvOptions {
    std::string ClassColumn;  // name, or 1-based number, of the class column; empty: none
    int Outputs = 1;          // without a class column: the number of last columns that are outputs
    int HoldoutEvery = 0;     // when > 0, rows n, 2n, 3n, ... (1-based) go to the held-out set
    // Column names to use instead of the header's (whose line is still skipped, whatever it
    // holds, unless NoHeader), for files whose first line is not names; empty: the header's.
    std::vector<std::string> Names;
    bool NoHeader = false;  // the first line is a row: columns named Column1, ... (or Names)
    char Delimiter = ',';
    int SkipLines = 0;  // lines skipped before the header
};

// The cells of a CSV file, rows with a missing field dropped.
struct TCsvTable {
    std::vector<std::string> Header;
    std::vector<std::vector<std::string>> Rows;
    std::vector<int> Lines;  // line number of each row
    int Dropped = 0;         // rows dropped for a missing field

    // The position of the column named `name`, or numbered `name` from 1 when no column has that
    // name. Throws TException "No such column: NAME".
    std::size_t Column(const std::string& name) const;
};

// Reads the cells. Throws TException (kind "Bad Data", operation "ReadCsv"): "CSV file has no
// header line", "CSV file has no data rows", "CSV line N has M fields, the header has K", "CSV
// column N has no name", "CSV column NAME appears twice".
TCsvTable ReadCsvTable(std::istream& in, const TCsvOptions& options);
// A whole field as a finite number, read the same in every locale.
bool ParseCsvNumber(const std::string& field, double& value);

// How one data set column was made.
struct TColumnScale {
    std::string Name;
    std::string Role;  // "input", "output" or "class"
    double Minimum = 0.0;
    double Maximum = 1.0;
};

struct TConvertedData {
    int Read = 0;     // data rows read
    int Dropped = 0;  // of them, dropped for a missing field
    std::unique_ptr<Data> Training;
    std::unique_ptr<Data> HeldOut;      // null unless HoldoutEvery > 0
    std::vector<TColumnScale> Columns;  // inputs, then outputs
};

// Reads CSV text and converts it. Throws what ReadCsvTable throws and TException (kind "Bad
// Data", operation "ReadCsv"): "CSV line N, column NAME: not a number: TEXT", "No such column:
// NAME", "Need at least one input and one output column", "No training rows left after the
// hold-out".
TConvertedData ConvertCsv(std::istream& in, const TCsvOptions& options);

// Writes the scaling file text.
void WriteScaling(std::ostream& out, const std::vector<TColumnScale>& columns);
// Reads what WriteScaling writes. A column name may hold commas: the last three fields are the
// role and the range. Throws TException (kind "Bad Data", operation "ReadScaling"): "Scaling has
// no header line", "Scaling line N: expected column,role,minimum,maximum", "Scaling line N:
// unknown role ROLE", "Scaling line N: not a range".
std::vector<TColumnScale> ReadScaling(std::istream& in);

// The CSV file csvFile converted into the data set file dataFile, the scaling into
// dataFile + ".scale" and, with a hold-out, the held-out rows into heldOutFile, each file
// replaced whole (FileHandler/TAtomicFile.h). Throws
// TException ("Cannot open CSV file: NAME", "Cannot write file: NAME", kind "File Error",
// operation "ConvertCsvFile") and those of ConvertCsv. Returns the conversion.
TConvertedData ConvertCsvFile(const std::string& csvFile, const TCsvOptions& options,
                              const std::string& dataFile, const std::string& heldOutFile);

}  // namespace glean
