// Test support: assertions on engine::Status.
#include "tests/support/status_assert.h"

namespace tandemere::testing {

::testing::AssertionResult StatusIsOk(const char* expression, const engine::Status& status) {
    if (status.IsOk()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << expression << " failed: " << status.Describe();
}

::testing::AssertionResult StatusIsKind(const char* expression, const char* kindExpression,
                                        const engine::Status& status, engine::ErrorKind kind) {
    if (status.Kind() == kind) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << expression << " gave \"" << status.Describe() << "\", expected "
                                         << kindExpression << " (" << engine::ErrorKindName(kind) << ")";
}

}  // namespace tandemere::testing
