// The property list the system reads the permission prompt from travels inside the
// executable, in its own section.
#include <gtest/gtest.h>

#include <cstring>
#include <elf.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "calendar/tests/calendar_process_support.h"

namespace quorvantel::calendar::testing {
namespace {

std::string contentsOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The bytes of the named section of a 64-bit ELF file, or nothing.
std::optional<std::string> elfSection(const std::string& image, const std::string& name) {
    if (image.size() < sizeof(Elf64_Ehdr) || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0) return std::nullopt;
    Elf64_Ehdr header;
    std::memcpy(&header, image.data(), sizeof header);
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr)) return std::nullopt;
    const auto sectionAt = [&](std::size_t index) -> std::optional<Elf64_Shdr> {
        const std::size_t offset = header.e_shoff + index * sizeof(Elf64_Shdr);
        if (offset + sizeof(Elf64_Shdr) > image.size()) return std::nullopt;
        Elf64_Shdr section;
        std::memcpy(&section, image.data() + offset, sizeof section);
        return section;
    };
    const std::optional<Elf64_Shdr> names = sectionAt(header.e_shstrndx);
    if (!names) return std::nullopt;
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        const std::optional<Elf64_Shdr> section = sectionAt(i);
        if (!section) return std::nullopt;
        const std::size_t nameOffset = names->sh_offset + section->sh_name;
        if (nameOffset >= image.size()) return std::nullopt;
        if (std::strncmp(image.data() + nameOffset, name.c_str(), image.size() - nameOffset) != 0) continue;
        if (section->sh_offset + section->sh_size > image.size()) return std::nullopt;
        return image.substr(section->sh_offset, section->sh_size);
    }
    return std::nullopt;
}

TEST(EmbeddedPropertyList, IsTheSourceFileInItsOwnSection) {
    const std::string image = contentsOf(quorvantel::testing::helperPath(kHelper));
    const std::optional<std::string> embedded = elfSection(image, "__info_plist");
    ASSERT_TRUE(embedded);
    EXPECT_EQ(*embedded, contentsOf(QUORVANTEL_CALENDAR_INFO_PLIST));
}

TEST(EmbeddedPropertyList, CarriesTheBundleKeysAndThePromptWording) {
    const std::optional<std::string> embedded =
        elfSection(contentsOf(quorvantel::testing::helperPath(kHelper)), "__info_plist");
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
