// Helpers that check the type and the text of every failure in one line.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <streambuf>
#include <string>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"

// `statement` throws a TException with exactly these three texts.
#define EXPECT_TEXCEPTION(statement, message, kind, operation)                              \
    do {                                                                                    \
        try {                                                                               \
            statement;                                                                      \
            ADD_FAILURE() << "expected TException \"" << (message) << "\", nothing thrown"; \
        } catch (const ::glean::TException& e) {                                            \
            EXPECT_EQ(e.Message, std::string(message));                                     \
            EXPECT_EQ(e.Kind, std::string(kind));                                           \
            EXPECT_EQ(e.Operation, std::string(operation));                                 \
        }                                                                                   \
    } while (false)

// `statement` fails the internal check whose report quotes `expression`.
#define EXPECT_CHECK_FAILS(statement, expression)                                      \
    do {                                                                               \
        try {                                                                          \
            statement;                                                                 \
            ADD_FAILURE() << "expected failed check \"" << (expression) << "\", none"; \
        } catch (const ::glean::CheckFailure& e) {                                     \
            EXPECT_EQ(e.Expression(), std::string(expression));                        \
        }                                                                              \
    } while (false)

// `statement` fails an internal check, whichever; for a guard whose text nobody reads.
#define EXPECT_CHECK_FIRES(statement) EXPECT_THROW(statement, ::glean::CheckFailure)

// `statement` throws an exception of `type` whose Message() (or what()) equals `text`.
#define EXPECT_THROW_TEXT(statement, type, text)                                        \
    do {                                                                                \
        try {                                                                           \
            statement;                                                                  \
            ADD_FAILURE() << "expected " #type " \"" << (text) << "\", nothing thrown"; \
        } catch (const type& e) {                                                       \
            EXPECT_EQ(::glean::test::TextOf(e), std::string(text));                     \
        }                                                                               \
    } while (false)

namespace glean::test {

// One row of a family of guards: what the statement breaks, and the statement.
struct GuardRow {
    const char* Breaks;
    std::function<void()> Statement;
};

// Every row's statement fails an internal check. The rows name the guard rather than quote its
// text, so that rewording a check breaks no test; pair a row with a statement just inside the
// bound where that is what pins the guard.
inline void ExpectGuardsFire(std::initializer_list<GuardRow> rows) {
    for (const GuardRow& row : rows)
        EXPECT_CHECK_FIRES(row.Statement()) << row.Breaks;
}

template <typename E>
std::string TextOf(const E& e) {
    if constexpr (requires { e.Message(); }) {
        return e.Message();
    } else {
        return e.what();
    }
}

// A stream buffer that hands out its text `window` characters at a time, or with no buffer at
// all (window 0: every character through underflow and uflow), as some streams do.
class WindowBuffer : public std::streambuf {
public:
    WindowBuffer(std::string text, std::size_t window) : text_(std::move(text)), window_(window) {}

protected:
    int_type underflow() override {
        if (gptr() != egptr()) return traits_type::to_int_type(*gptr());
        if (next_ == text_.size()) return traits_type::eof();
        if (window_ == 0) return traits_type::to_int_type(text_[next_]);
        char* first = text_.data() + next_;
        next_ = std::min(text_.size(), next_ + window_);
        setg(first, first, text_.data() + next_);
        return traits_type::to_int_type(*first);
    }
    int_type uflow() override {
        if (window_ != 0) return std::streambuf::uflow();
        if (next_ == text_.size()) return traits_type::eof();
        return traits_type::to_int_type(text_[next_++]);
    }

private:
    std::string text_;
    std::size_t window_;
    std::size_t next_ = 0;
};

// A string buffer that counts flushes.
class FlushCounter : public std::stringbuf {
public:
    int flushes = 0;

protected:
    int sync() override {
        ++flushes;
        return 0;
    }
};

}  // namespace glean::test
