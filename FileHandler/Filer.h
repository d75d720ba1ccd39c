// The data set file: the rows of one or two Data objects in the block text syntax. The first
// object holds the inputs and the expected outputs, the second the outputs a network generated
// and the errors; either kind of outputs may instead be a label list per row.
//
// Grammar (keywords ignoring letter case; counts are integers or the word LABELS, meaning -1):
//
//   file       = [ version ] "[DataSet]" header "[Data]" { row } "[~Data]" "[~DataSet]" ;
//   header     = { "[" key "=" count "]" } ;         closed statements only
//   key        = "Inputs" | "ExpectedOutputs" | "GeneratedOutputs" | "Error" | "Rows" ;
//                  Inputs, ExpectedOutputs, GeneratedOutputs, Error: each at most once, in this
//                  order, any left out (count 0); Rows anywhere, the last one counts, required
//                  by the loaders; LABELS only for ExpectedOutputs and GeneratedOutputs
//   row        = inputs expected generated errors [ labels ] [ labels ] ;
//                  that many number tokens each; then the expected outputs' label list when
//                  ExpectedOutputs is LABELS, then the generated outputs' one likewise
//   labels     = "[" { label } "]" ;                 a repeated name sums its values
//   label      = name                                value 1.0
//              | name "=" number ;
//
// Line breaks carry no meaning. The writer puts one row on each line, numbers with 15
// significant digits, label values with 9 decimals.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "DataObject/Data.h"
#include "FileHandler/ParseTools.h"
#include "KQmessage/TKQstructure.h"

namespace glean {

// Result codes of the loaders and writers.
inline constexpr int SUCCESS = 0;
inline constexpr int FILE_READ_ERROR = -81;   // the file cannot be opened for reading
inline constexpr int BAD_HEADER = -82;        // malformed header, or an unwanted second data set
inline constexpr int DATA_MISMATCH = -83;     // inconsistent data to write
inline constexpr int FILE_WRITE_ERROR = -84;  // the file cannot be created or a write failed
inline constexpr int DATA_TOO_LARGE = -85;    // more values than DataSetValueLimit

// The most values (rows times the numeric columns plus one) a loader allocates, so that a huge
// row or column count in a file is refused instead of exhausting memory: 2^23, 64 MB of doubles.
// The space is allocated before the values are read, so a header of a few bytes can ask for all
// of it; at 2^23 that costs a fraction of a second, not seconds.
inline constexpr std::int64_t DataSetValueLimit = std::int64_t{1} << 23;

// The header counts; -1 for an output count means label lists, for rows: not given.
struct DataSetCounts {
    int rows = -1;
    int inputs = 0;
    int expectedOutputs = 0;
    int generatedOutputs = 0;
    int errors = 0;
};

// Loads a whole file into first (inputs, expected outputs or labels) and second (generated
// outputs or labels, errors); either stays null when the file has no such values. Returns
// SUCCESS, FILE_READ_ERROR or DATA_TOO_LARGE; throws FileTools::Error for syntax errors and
// fails the check "LngRows>=0" when the header has no row count.
int LoadDataSet(FileTools& tools, const std::string& fileName, std::unique_ptr<Data>& first,
                std::unique_ptr<Data>& second);
// As LoadDataSet, but BAD_HEADER (and no object) when the file holds a second data set.
int LoadInputDataSet(FileTools& tools, const std::string& fileName, std::unique_ptr<Data>& first);

// Loads `rows` rows starting `offset` bytes after the DATA start tag into new objects of that
// capacity; offset returns the position after the rows read, for the next call. Running past
// the last row throws FileTools::Error "Token (number) expected". Negative arguments fail the
// checks "LngRows>=0" and "offset >= 0".
int LoadDataSetBlock(FileTools& tools, const std::string& fileName, std::int64_t& offset, int rows,
                     std::unique_ptr<Data>& first, std::unique_ptr<Data>& second);
// As LoadDataSetBlock, but BAD_HEADER (and no object) when the file holds a second data set.
int LoadInputDataSetBlock(FileTools& tools, const std::string& fileName, std::int64_t& offset,
                          int rows, std::unique_ptr<Data>& first);

// The four loaders above on a stream positioned at the start of a data set; they return and
// throw as the file loaders do, FILE_READ_ERROR aside. The block loaders need a seekable stream.
int LoadDataSet(FileTools& tools, std::istream& in, std::unique_ptr<Data>& first,
                std::unique_ptr<Data>& second);
int LoadInputDataSet(FileTools& tools, std::istream& in, std::unique_ptr<Data>& first);
int LoadDataSetBlock(FileTools& tools, std::istream& in, std::int64_t& offset, int rows,
                     std::unique_ptr<Data>& first, std::unique_ptr<Data>& second);
int LoadInputDataSetBlock(FileTools& tools, std::istream& in, std::int64_t& offset, int rows,
                          std::unique_ptr<Data>& first);

// Reads header statements after the DATASET start tag into counts; next is the first item that
// is not a closed header statement. Returns SUCCESS, or BAD_HEADER at an unknown, repeated or
// out-of-order key, an open statement or a count below -1 (next is then that statement).
// Throws FileTools::Error "No labels in inputs" for LABELS (-1) as inputs, errors or rows.
int ReadDataSetHeader(FileTools& tools, std::istream& in, DataSetCounts& counts, BlockItem& next);
// Reads one label list. End of input fails the check "streamOK", anything but "[" the check
// "ch == '['", an item other than a name or name=value the check "false".
TLabelList ReadLabelList(FileTools& tools, std::istream& in);

// Writes the rows in use of first and/or second, replacing the file whole
// (FileHandler/TAtomicFile.h). Returns SUCCESS; DATA_MISMATCH, writing nothing, when there is no
// object, the objects differ in capacity or rows in use, or a label name is not a word of the
// syntax; FILE_WRITE_ERROR, leaving an earlier file as it was, when the file cannot be written.
int SaveDataSet(FileTools& tools, const std::string& fileName, const Data* first,
                const Data* second);
// The three steps of SaveDataSet, for a file written a block of rows at a time. The header
// replaces the file whole with a new one (DATA_MISMATCH for a negative count, nothing written);
// rows and trailer append to it. Each returns SUCCESS or FILE_WRITE_ERROR; the rows
// DATA_MISMATCH when an object has fewer rows in use than `rows`.
int WriteDataSetHeader(FileTools& tools, const std::string& fileName, const DataSetCounts& counts);
int WriteDataSetRows(FileTools& tools, const std::string& fileName, const Data* first,
                     const Data* second, int rows);
int WriteDataSetTrailer(FileTools& tools, const std::string& fileName);
// Writes "[", each label as "name " (value 1.0) or "name=value " (9 decimals), then "] ".
void WriteLabelList(FileTools& tools, std::ostream& out, const TLabelList& labels);

// Describes a file: "data" with the integer parameters rows, inputs, actual-outputs,
// calc-outputs and errors; "network"; or an error node: file-read-error, bad-header, or
// unknown-header with the parameter header. Throws FileTools::Error when the file does not
// start with a start tag, and "No labels in inputs".
std::unique_ptr<TKQstructure> IdentifyFile(FileTools& tools, const std::string& fileName);

}  // namespace glean
