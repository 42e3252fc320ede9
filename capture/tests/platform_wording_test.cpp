#include "capture/platform_wording.h"

#include <gtest/gtest.h>

namespace quorvantel::capture {
namespace {

TEST(CapturePlatformWording, NamesTheSystemAndItsAudioServiceWhereTheSentenceNamesMacOS) {
    const PlatformWording linux{"Linux", "PipeWire"};
    const struct {
        const char* message;
        const char* onLinux;
    } cases[] = {
        {"macOS could not create the computer audio tap (Core Audio 1937010544). Try recording again.",
         "Linux could not create the computer audio tap (PipeWire 1937010544). Try recording again."},
        {"macOS supplied an invalid audio clock timestamp.", "Linux supplied an invalid audio clock timestamp."},
        {"Computer audio recording is not permitted (Core Audio 560492391). Operation: x.",
         "Computer audio recording is not permitted (PipeWire 560492391). Operation: x."},
        // Sentences that do not name the system stay as they are.
        {"Recording was cancelled.", "Recording was cancelled."},
        {"The selected application runs on macOS only.", "The selected application runs on macOS only."},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(worded(c.message, linux), c.onLinux);
        EXPECT_EQ(worded(c.message, PlatformWording{}), c.message);
    }
}

}  // namespace
}  // namespace quorvantel::capture
