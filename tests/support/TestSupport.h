// Helpers that check the type and the text of every failure in one line.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"

// `statement` throws a TException with exactly these three texts.
#define EXPECT_TEXCEPTION(statement, message, kind, operation)                               \
    do {                                                                                     \
        try {                                                                                \
            statement;                                                                       \
            ADD_FAILURE() << "expected TException \"" << (message) << "\", nothing thrown";  \
        } catch (const ::glean::TException& e) {                                             \
            EXPECT_EQ(e.Message, std::string(message));                                      \
            EXPECT_EQ(e.Kind, std::string(kind));                                            \
            EXPECT_EQ(e.Operation, std::string(operation));                                  \
        }                                                                                    \
    } while (false)

// `statement` fails the internal check whose report quotes `expression`.
#define EXPECT_CHECK_FAILS(statement, expression)                                            \
    do {                                                                                     \
        try {                                                                                \
            statement;                                                                       \
            ADD_FAILURE() << "expected failed check \"" << (expression) << "\", none";       \
        } catch (const ::glean::CheckFailure& e) {                                           \
            EXPECT_EQ(e.Expression(), std::string(expression));                              \
        }                                                                                    \
    } while (false)

// `statement` throws an exception of `type` whose Message() (or what()) equals `text`.
#define EXPECT_THROW_TEXT(statement, type, text)                                             \
    do {                                                                                     \
        try {                                                                                \
            statement;                                                                       \
            ADD_FAILURE() << "expected " #type " \"" << (text) << "\", nothing thrown";      \
        } catch (const type& e) {                                                            \
            EXPECT_EQ(::glean::test::TextOf(e), std::string(text));                          \
        }                                                                                    \
    } while (false)

namespace glean::test {
template <typename E>
std::string TextOf(const E& e) {
    if constexpr (requires { e.Message(); }) {
        return e.Message();
    } else {
        return e.what();
    }
}
}  // namespace glean::test
