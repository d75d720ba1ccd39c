// A small tree of named nodes that carries parameters, results and error descriptions between
// modules: a node has a Name and an ordered list of (key, value) parameters, every value itself a
// node. A plain value ("0.500000", "true") is a node without parameters whose Name is the text.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace glean {

class TKQstructure {
public:
    // Thrown by the reading and conversion operations; holds an error node built by MakeError.
    class Error {
    public:
        explicit Error(std::unique_ptr<TKQstructure> node);
        Error(const Error& other);
        Error& operator=(const Error& other);
        const TKQstructure& Node() const { return *node_; }

    private:
        std::unique_ptr<TKQstructure> node_;
    };

    struct Entry {
        std::string Key;                      // as first stored
        std::unique_ptr<TKQstructure> Value;  // never null
    };

    // A node named "unknown" with room for 16 parameters.
    TKQstructure();
    // A node with the given Name and room for 16 parameters.
    explicit TKQstructure(std::string name);
    // Deep copy; the copy's capacity is the source's parameter count.
    TKQstructure(const TKQstructure& other);
    // Deep copy of another node; assigning a node to itself does nothing.
    TKQstructure& operator=(const TKQstructure& other);
    ~TKQstructure();

    std::string Name;

    // Number of parameters in use, and of places before the parameter array must grow.
    int Count() const { return static_cast<int>(parameters_.size()); }
    int Capacity() const { return capacity_; }
    // The parameter at a position 0 .. Count()-1, in insertion order.
    const Entry& ParameterAt(int position) const;

    // Stores value under key (taken over; must not be null). An existing entry with the key
    // (ignoring case) keeps its key text and gets the new value; otherwise a new entry is appended.
    void SetParameter(const std::string& key, std::unique_ptr<TKQstructure> value);
    void SetString(const std::string& key, const std::string& text);
    void SetInteger(const std::string& key, long value);   // stored as "%ld"
    void SetReal(const std::string& key, double value);    // stored as "%f": 0.5 gives "0.500000"
    void SetBoolean(const std::string& key, bool value);   // stored as "true" or "false"
    // Removes the entry with key; the last entry moves into its place. An absent key: nothing.
    void RemoveParameter(const std::string& key);

    // The value stored under key (ignoring case), or null. Values stay owned by this node.
    TKQstructure* FindParameter(const std::string& key) const;
    // The value stored under key; an absent key fails the internal check "0".
    TKQstructure& GetParameter(const std::string& key) const;
    // The value stored under key; an absent key throws Error (invalid-message, expected = key).
    TKQstructure& RequireParameter(const std::string& key) const;
    // Throws unless key is present and, when expected is not empty, its value's Name equals it
    // ignoring case (invalid-message with tag and expected-value).
    void CheckParameter(const std::string& key, const std::string& expected) const;

private:
    void Append(const std::string& key, std::unique_ptr<TKQstructure> value);
    int Position(const std::string& key) const;  // -1 when absent

    std::vector<Entry> parameters_;
    int capacity_ = 16;
};

// A new node named "error" whose parameter "type" is type.
std::unique_ptr<TKQstructure> MakeError(const std::string& type);

// The long read with "%ld" (leading blanks skipped, trailing text ignored); throws Error
// (invalid-message, integer-expected = text) when no number starts the text or it overflows.
long ExpectLong(const std::string& text);
// The double read with "%lf"; throws Error (invalid-message, number-expected = text).
double ExpectDouble(const std::string& text);
// "TRUE" or "FALSE" ignoring case; otherwise throws Error (type-error, expected = boolean).
bool ExpectBoolean(const std::string& text);
// As ExpectLong and ExpectDouble, but a failed read fails the internal check "err == 1".
long ToLong(const std::string& text);
double ToDouble(const std::string& text);

}  // namespace glean
