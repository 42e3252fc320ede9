#include "capture/info_plist.h"

#include <gtest/gtest.h>

namespace quorvantel::capture {
namespace {

TEST(CaptureInfoPlist, ReadsAStringOfTheDictionary) {
    const std::string plist =
        "<plist version=\"1.0\">\n<dict>\n\t<key>CFBundleName</key>\n\t<string>Tovrel Audio Capture</string>\n"
        "\t<key>CFBundleIdentifier</key>\n\t<string>org.quorvantel.capture</string>\n"
        "\t<key>Count</key>\n\t<integer>1</integer>\n"
        "\t<key>Escaped</key>\n\t<string>a &amp; b</string>\n</dict>\n</plist>\n";
    EXPECT_EQ(infoPlistString(plist, "CFBundleIdentifier"), "org.quorvantel.capture");
    EXPECT_EQ(infoPlistString(plist, "CFBundleName"), "Tovrel Audio Capture");
    EXPECT_EQ(infoPlistString(plist, "Count"), std::nullopt);
    EXPECT_EQ(infoPlistString(plist, "Escaped"), std::nullopt);
    EXPECT_EQ(infoPlistString(plist, "CFBundleVersion"), std::nullopt);
    EXPECT_EQ(infoPlistString("", "CFBundleIdentifier"), std::nullopt);
}

}  // namespace
}  // namespace quorvantel::capture
