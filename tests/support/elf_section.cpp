#include "tests/support/elf_section.h"

#include <cstring>
#include <elf.h>
#include <fstream>
#include <iterator>
#include <vector>

namespace quorvantel::testing {

std::optional<std::string> readElfSection(const std::string& path, const std::string& sectionName) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (image.size() < sizeof(Elf64_Ehdr) || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0) return std::nullopt;
    Elf64_Ehdr header;
    std::memcpy(&header, image.data(), sizeof header);
    if (header.e_ident[EI_CLASS] != ELFCLASS64) return std::nullopt;
    auto sectionAt = [&](std::size_t index) {
        Elf64_Shdr section;
        std::memcpy(&section, image.data() + header.e_shoff + index * header.e_shentsize, sizeof section);
        return section;
    };
    if (header.e_shoff + std::size_t(header.e_shnum) * header.e_shentsize > image.size()) return std::nullopt;
    const Elf64_Shdr names = sectionAt(header.e_shstrndx);
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr section = sectionAt(i);
        if (names.sh_offset + section.sh_name >= image.size()) continue;
        const char* name = image.data() + names.sh_offset + section.sh_name;
        if (sectionName == name && section.sh_offset + section.sh_size <= image.size()) {
            return std::string(image.data() + section.sh_offset, section.sh_size);
        }
    }
    return std::nullopt;
}

}  // namespace quorvantel::testing
