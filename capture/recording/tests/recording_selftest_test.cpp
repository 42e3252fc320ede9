#include <gtest/gtest.h>

#include "capture/recording/recording_selftest.h"
#include "capture/recording/tests/test_formats.h"

namespace quorvantel::capture {
namespace {

TEST(RecordingSelfTest, EveryFixturePasses) {
    EXPECT_EQ(testing::failureOf([] { runRecordingFixtures(); }), std::nullopt);
}

}  // namespace
}  // namespace quorvantel::capture
