#include "KQmessage/TException.h"

#include <cctype>

#include "KQmessage/TKQstructure.h"

namespace glean {

TException::TException(std::string message, std::string kind)
    : Message(std::move(message)), Kind(std::move(kind)) {}

TException::TException(std::string message, std::string kind, std::string operation)
    : Message(std::move(message)), Kind(std::move(kind)), Operation(std::move(operation)) {}

TException::TException(std::string message, std::string kind, std::string operation,
                       std::unique_ptr<TKQstructure> details)
    : Message(std::move(message)),
      Kind(std::move(kind)),
      Operation(std::move(operation)),
      Details(std::move(details)) {}

int strcasecmp(const char* first, const char* second) {
    const auto* a = reinterpret_cast<const unsigned char*>(first);
    const auto* b = reinterpret_cast<const unsigned char*>(second);
    for (;; ++a, ++b) {
        const unsigned char ua = static_cast<unsigned char>(std::toupper(*a));
        const unsigned char ub = static_cast<unsigned char>(std::toupper(*b));
        if (ua != ub) return ua < ub ? -1 : 1;
        if (ua == 0) return 0;
    }
}

int strcasecmp(const std::string& first, const std::string& second) {
    return strcasecmp(first.c_str(), second.c_str());
}

bool SameText(const std::string& first, const std::string& second) {
    return first.size() == second.size() && strcasecmp(first, second) == 0;
}

}  // namespace glean
