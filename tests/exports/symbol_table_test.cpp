// Reads the dynamic symbol table of the built shared library and compares
// it with the export table of the public header.
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string slurp(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Defined, global or weak, default-visibility symbols of .dynsym.
std::set<std::string> exported_symbols(const std::string& image)
{
    std::set<std::string> out;
    if (image.size() < sizeof(Elf64_Ehdr))
        return out;
    const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(image.data());
    if (std::memcmp(eh->e_ident, ELFMAG, SELFMAG) != 0 || eh->e_ident[EI_CLASS] != ELFCLASS64)
        return out;
    const auto* sh = reinterpret_cast<const Elf64_Shdr*>(image.data() + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; ++i) {
        if (sh[i].sh_type != SHT_DYNSYM)
            continue;
        const char* strtab = image.data() + sh[sh[i].sh_link].sh_offset;
        const auto* syms = reinterpret_cast<const Elf64_Sym*>(image.data() + sh[i].sh_offset);
        const size_t n = sh[i].sh_size / sizeof(Elf64_Sym);
        for (size_t k = 1; k < n; ++k) {
            const int bind = ELF64_ST_BIND(syms[k].st_info);
            // undefined references and the version node's own absolute symbol are no exports
            if (syms[k].st_shndx == SHN_UNDEF || syms[k].st_shndx == SHN_ABS ||
                (bind != STB_GLOBAL && bind != STB_WEAK))
                continue;
            if (ELF64_ST_VISIBILITY(syms[k].st_other) != STV_DEFAULT)
                continue;
            out.insert(strtab + syms[k].st_name);
        }
    }
    return out;
}

// The 45 names with their ordinals, from the header's ordinal enum.
std::vector<std::pair<int, std::string>> header_exports()
{
    std::vector<std::pair<int, std::string>> out;
    const std::string text = slurp(TARVENIX_HEADER);
    std::regex re(R"(TARVENIX_ORD_(\w+)\s*=\s*(\d+))");
    for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it)
        out.emplace_back(std::stoi((*it)[2]), (*it)[1]);
    return out;
}

TEST(Exports, HeaderListsFortyFiveOrdinalsInOrder)
{
    const auto exports = header_exports();
    ASSERT_EQ(exports.size(), 45u);
    for (size_t i = 0; i < exports.size(); ++i)
        EXPECT_EQ(exports[i].first, static_cast<int>(i + 1)) << exports[i].second;
}

TEST(Exports, SharedLibraryExportsExactlyTheTable)
{
    const auto symbols = exported_symbols(slurp(TARVENIX_SO));
    ASSERT_FALSE(symbols.empty()) << "no dynamic symbols read from " << TARVENIX_SO;
    std::set<std::string> table;
    for (const auto& e : header_exports())
        table.insert(e.second);
    for (const auto& s : symbols)
        EXPECT_TRUE(table.count(s) == 1) << "exported but not in the table: " << s;
    for (const auto& name : table)
        EXPECT_TRUE(symbols.count(name) == 1) << "in the table but not exported: " << name;
}

}  // namespace
