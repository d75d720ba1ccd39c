#include "KQmessage/TKQstructure.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {
constexpr int kInitialCapacity = 16;

std::string Format(const char* format, auto value) {
    const int length = std::snprintf(nullptr, 0, format, value);
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, format, value);
    return text;
}

[[noreturn]] void ThrowInvalid(const std::string& key, const std::string& text) {
    auto node = MakeError("invalid-message");
    node->SetString(key, text);
    throw TKQstructure::Error(std::move(node));
}

// The formatted scans "%ld" and "%lf": leading white space skipped, trailing text ignored.
bool ScanLong(const std::string& text, long& value) {
    const char* start = text.c_str();
    while (std::isspace(static_cast<unsigned char>(*start)))
        ++start;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(start, &end, 10);
    return end != start && errno != ERANGE;
}

bool ScanDouble(const std::string& text, double& value) {
    const char* start = text.c_str();
    char* end = nullptr;
    value = std::strtod(start, &end);
    return end != start;
}
}  // namespace

TKQstructure::Error::Error(std::unique_ptr<TKQstructure> node) : node_(std::move(node)) {}

TKQstructure::Error::Error(const Error& other)
    : node_(std::make_unique<TKQstructure>(*other.node_)) {}

TKQstructure::Error& TKQstructure::Error::operator=(const Error& other) {
    if (this != &other) node_ = std::make_unique<TKQstructure>(*other.node_);
    return *this;
}

TKQstructure::TKQstructure() : Name("unknown") {}

TKQstructure::TKQstructure(std::string name) : Name(std::move(name)) {}

TKQstructure::TKQstructure(const TKQstructure& other) : Name(other.Name), capacity_(other.Count()) {
    parameters_.reserve(other.parameters_.size());
    for (const Entry& entry : other.parameters_) {
        parameters_.push_back({entry.Key, std::make_unique<TKQstructure>(*entry.Value)});
    }
}

TKQstructure& TKQstructure::operator=(const TKQstructure& other) {
    if (this != &other) {
        TKQstructure copy(other);
        Name = std::move(copy.Name);
        parameters_ = std::move(copy.parameters_);
        capacity_ = copy.capacity_;
    }
    return *this;
}

TKQstructure::~TKQstructure() = default;

const TKQstructure::Entry& TKQstructure::ParameterAt(int position) const {
    GLEAN_CHECK(position >= 0 && position < Count());
    return parameters_[static_cast<std::size_t>(position)];
}

int TKQstructure::Position(const std::string& key) const {
    for (int i = Count() - 1; i >= 0; --i) {
        if (SameText(parameters_[static_cast<std::size_t>(i)].Key, key)) return i;
    }
    return -1;
}

void TKQstructure::Append(const std::string& key, std::unique_ptr<TKQstructure> value) {
    if (Count() == capacity_) {
        capacity_ = capacity_ * 2 < kInitialCapacity ? kInitialCapacity : capacity_ * 2;
        parameters_.reserve(static_cast<std::size_t>(capacity_));
    }
    parameters_.push_back({key, std::move(value)});
}

void TKQstructure::SetParameter(const std::string& key, std::unique_ptr<TKQstructure> value) {
    GLEAN_CHECK_TEXT(value != nullptr, "newval != NULL");
    const int position = Position(key);
    if (position >= 0) {
        parameters_[static_cast<std::size_t>(position)].Value = std::move(value);
    } else {
        Append(key, std::move(value));
    }
}

void TKQstructure::SetString(const std::string& key, const std::string& text) {
    SetParameter(key, std::make_unique<TKQstructure>(text));
}

void TKQstructure::SetInteger(const std::string& key, long value) {
    SetString(key, Format("%ld", value));
}

void TKQstructure::SetReal(const std::string& key, double value) {
    SetString(key, Format("%f", value));
}

void TKQstructure::SetBoolean(const std::string& key, bool value) {
    SetString(key, value ? "true" : "false");
}

void TKQstructure::RemoveParameter(const std::string& key) {
    const int position = Position(key);
    if (position < 0) return;
    if (position != Count() - 1) {
        parameters_[static_cast<std::size_t>(position)] = std::move(parameters_.back());
    }
    parameters_.pop_back();
}

TKQstructure* TKQstructure::FindParameter(const std::string& key) const {
    const int position = Position(key);
    return position < 0 ? nullptr : parameters_[static_cast<std::size_t>(position)].Value.get();
}

TKQstructure& TKQstructure::GetParameter(const std::string& key) const {
    TKQstructure* value = FindParameter(key);
    GLEAN_CHECK_TEXT(value != nullptr, "0");
    return *value;
}

TKQstructure& TKQstructure::RequireParameter(const std::string& key) const {
    TKQstructure* value = FindParameter(key);
    if (value == nullptr) ThrowInvalid("expected", key);
    return *value;
}

void TKQstructure::CheckParameter(const std::string& key, const std::string& expected) const {
    const TKQstructure& value = RequireParameter(key);
    if (expected.empty() || SameText(value.Name, expected)) return;
    auto node = MakeError("invalid-message");
    node->SetString("tag", key);
    node->SetString("expected-value", expected);
    throw Error(std::move(node));
}

std::unique_ptr<TKQstructure> MakeError(const std::string& type) {
    auto node = std::make_unique<TKQstructure>("error");
    node->SetString("type", type);
    return node;
}

long ExpectLong(const std::string& text) {
    long value = 0;
    if (!ScanLong(text, value)) ThrowInvalid("integer-expected", text);
    return value;
}

double ExpectDouble(const std::string& text) {
    double value = 0.0;
    if (!ScanDouble(text, value)) ThrowInvalid("number-expected", text);
    return value;
}

bool ExpectBoolean(const std::string& text) {
    if (SameText(text, "TRUE")) return true;
    if (SameText(text, "FALSE")) return false;
    auto node = MakeError("type-error");
    node->SetString("expected", "boolean");
    throw TKQstructure::Error(std::move(node));
}

long ToLong(const std::string& text) {
    long value = 0;
    GLEAN_CHECK_TEXT(ScanLong(text, value), "err == 1");
    return value;
}

double ToDouble(const std::string& text) {
    double value = 0.0;
    GLEAN_CHECK_TEXT(ScanDouble(text, value), "err == 1");
    return value;
}

}  // namespace glean
