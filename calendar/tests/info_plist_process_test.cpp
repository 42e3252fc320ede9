// The property list the system reads the permission prompt from travels inside the
// executable, in its own section.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "calendar/tests/calendar_process_support.h"
#include "tests/support/elf_section.h"

namespace quorvantel::calendar::testing {
namespace {

std::string contentsOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::optional<std::string> embeddedPropertyList() {
    return quorvantel::testing::readElfSection(quorvantel::testing::helperPath(kHelper), "__info_plist");
}

TEST(EmbeddedPropertyList, IsTheSourceFileInItsOwnSection) {
    const std::optional<std::string> embedded = embeddedPropertyList();
    ASSERT_TRUE(embedded);
    EXPECT_EQ(*embedded, contentsOf(QUORVANTEL_CALENDAR_INFO_PLIST));
}

TEST(EmbeddedPropertyList, CarriesTheBundleKeysAndThePromptWording) {
    const std::optional<std::string> embedded = embeddedPropertyList();
    ASSERT_TRUE(embedded);
    const std::pair<const char*, const char*> entries[] = {
        {"CFBundleIdentifier", "org.quorvantel.calendar"},
        {"CFBundleName", "Tovrel Calendar"},
        {"CFBundleExecutable", "quorvantel-calendar"},
        {"CFBundleVersion", "1"},
        {"NSCalendarsFullAccessUsageDescription",
         "Tovrel needs full Calendar access to list calendars and read meetings from the calendars you select."},
    };
    for (const auto& [key, value] : entries) {
        const std::string entry = std::string("<key>") + key + "</key>\n\t<string>" + value + "</string>";
        EXPECT_NE(embedded->find(entry), std::string::npos) << key;
    }
    EXPECT_EQ(embedded->rfind("<?xml", 0), 0u);
    EXPECT_NE(embedded->find("</plist>"), std::string::npos);
}

}  // namespace
}  // namespace quorvantel::calendar::testing
