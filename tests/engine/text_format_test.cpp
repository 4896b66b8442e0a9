// Tests that message texts take their arguments literally.
#include "engine/text_format.h"

#include <gtest/gtest.h>

namespace tandemere::engine {
namespace {

TEST(TextFormatTest, ArgumentsAreNeverReadAsFormats) {
    EXPECT_EQ(FormatText("Moved \"%s\" to \"%s\".\r\n", {"100%s done", "%n%x"}),
              "Moved \"100%s done\" to \"%n%x\".\r\n");
    EXPECT_EQ(FormatText("%s (%u)%s", {"C:\\a\\report", "12", ".txt"}), "C:\\a\\report (12).txt");
    EXPECT_EQ(FormatText("50% of %s", {"x"}), "50% of x");
}

}  // namespace
}  // namespace tandemere::engine
