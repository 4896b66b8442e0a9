// Test support: assertions on engine::Status that print the error kind, native code and path.
#pragma once

#include <gtest/gtest.h>

#include "engine/status.h"

namespace tandemere::testing {

// Success when the status is Ok; otherwise a failure carrying the expression and Describe().
::testing::AssertionResult StatusIsOk(const char* expression, const engine::Status& status);

// Success when the status failed with exactly this kind.
::testing::AssertionResult StatusIsKind(const char* expression, const char* kindExpression,
                                        const engine::Status& status, engine::ErrorKind kind);

}  // namespace tandemere::testing

#define ASSERT_OK(expression) ASSERT_PRED_FORMAT1(::tandemere::testing::StatusIsOk, expression)
#define EXPECT_OK(expression) EXPECT_PRED_FORMAT1(::tandemere::testing::StatusIsOk, expression)
#define ASSERT_STATUS_KIND(expression, kind) \
    ASSERT_PRED_FORMAT2(::tandemere::testing::StatusIsKind, expression, kind)
#define EXPECT_STATUS_KIND(expression, kind) \
    EXPECT_PRED_FORMAT2(::tandemere::testing::StatusIsKind, expression, kind)
