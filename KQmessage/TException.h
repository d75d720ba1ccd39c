// The failure object of the libraries, and the case-insensitive comparison used for every keyword.
#pragma once

#include <memory>
#include <string>

namespace glean {

class TKQstructure;

// What library code throws when a caller or an input file breaks a rule that the code checks.
// The driver prints Message, Kind and Operation, one per line. A plain value type: copies share
// the optional Details structure, which nobody changes after the throw.
class TException {
public:
    TException() = default;
    // Message and kind; Operation stays empty.
    TException(std::string message, std::string kind);
    // The form every throw in the program uses: message, kind and operation.
    TException(std::string message, std::string kind, std::string operation);
    // The same with a details structure, taken over.
    TException(std::string message, std::string kind, std::string operation,
               std::unique_ptr<TKQstructure> details);

    std::string Message;    // what went wrong, e.g. "Bad MF Number"
    std::string Kind;       // the category, e.g. "Invalid Parameter"
    std::string Operation;  // class, two colons, operation, e.g. "TBasicMFSet::GetMF"
    std::shared_ptr<const TKQstructure> Details;
};

// Compares two texts ignoring letter case (both upper-cased, then compared byte by byte as
// unsigned values). Returns -1, 0 or 1; a proper prefix compares smaller.
int strcasecmp(const char* first, const char* second);
int strcasecmp(const std::string& first, const std::string& second);

// True when the two texts are equal ignoring letter case.
bool SameText(const std::string& first, const std::string& second);

}  // namespace glean
