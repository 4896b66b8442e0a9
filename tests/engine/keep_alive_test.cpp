// Engine tests: the keep-alive pumps once its interval has passed, never more often.
#include "engine/keep_alive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tandemere::testing {
namespace {

using std::chrono::milliseconds;

TEST(KeepAlive, PumpsOnlyOnceItsIntervalHasPassedSinceTheLastPump) {
    int pumps = 0;
    engine::KeepAlive hourly([&pumps] { ++pumps; }, std::chrono::hours(1));
    for (int i = 0; i < 1000; ++i) hourly.Tick();
    EXPECT_EQ(0, pumps) << "a tick within the interval pumped";

    engine::KeepAlive everyTick([&pumps] { ++pumps; }, milliseconds(0));
    for (int i = 0; i < 3; ++i) everyTick.Tick();
    EXPECT_EQ(3, pumps);

    pumps = 0;
    engine::KeepAlive soon([&pumps] { ++pumps; }, milliseconds(20));
    std::this_thread::sleep_for(milliseconds(25));
    soon.Tick();
    EXPECT_EQ(1, pumps) << "the interval passed without a pump";
}

}  // namespace
}  // namespace tandemere::testing
