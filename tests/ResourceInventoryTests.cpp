#include <gtest/gtest.h>
#include <string>
#include <algorithm>
#include <iterator>
#include <tuple>
#include <vector>
#include "tests/ExpectedScripts.h"
#include "tests/TestSupport.h"

namespace {

// One leaf of a module file's resource directory.
struct ResourceEntry {
    std::string type; // a name, or "#" and the number
    std::string name;
    WORD language;
    DWORD codePage;
    std::string data;
    bool operator<(const ResourceEntry& other) const {
        return std::tie(type, name, language) < std::tie(other.type, other.name, other.language);
    }
};

// Reads the resource directory straight from the file's bytes.
class ResourceDirectory {
public:
    explicit ResourceDirectory(const std::wstring& path) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return;
        m_bytes.resize(GetFileSize(file, nullptr));
        DWORD read = 0;
        ReadFile(file, &m_bytes[0], static_cast<DWORD>(m_bytes.size()), &read, nullptr);
        CloseHandle(file);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(m_bytes.data());
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(m_bytes.data() + dos->e_lfanew);
        m_sections = IMAGE_FIRST_SECTION(nt);
        m_sectionCount = nt->FileHeader.NumberOfSections;
        m_root = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress;
        Walk(m_root, 0, {});
    }

    std::vector<ResourceEntry> entries;

private:
    const BYTE* At(DWORD rva) const {
        for (WORD i = 0; i < m_sectionCount; ++i) {
            const IMAGE_SECTION_HEADER& section = m_sections[i];
            if (rva >= section.VirtualAddress &&
                rva < section.VirtualAddress + section.Misc.VirtualSize)
                return m_bytes.data() + section.PointerToRawData + (rva - section.VirtualAddress);
        }
        return nullptr;
    }

    std::string Label(const IMAGE_RESOURCE_DIRECTORY_ENTRY& entry) const {
        if (!entry.NameIsString)
            return "#" + std::to_string(entry.Id);
        const auto* name =
            reinterpret_cast<const IMAGE_RESOURCE_DIR_STRING_U*>(At(m_root + entry.NameOffset));
        return std::string(name->NameString, name->NameString + name->Length);
    }

    void Walk(DWORD offset, int level, std::vector<std::string> labels) {
        const auto* directory = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY*>(At(offset));
        const auto* entry = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY_ENTRY*>(directory + 1);
        const int count = directory->NumberOfNamedEntries + directory->NumberOfIdEntries;
        for (int i = 0; i < count; ++i, ++entry) {
            if (entry->DataIsDirectory) {
                std::vector<std::string> deeper = labels;
                deeper.push_back(Label(*entry));
                Walk(m_root + entry->OffsetToDirectory, level + 1, deeper);
                continue;
            }
            const auto* data = reinterpret_cast<const IMAGE_RESOURCE_DATA_ENTRY*>(
                At(m_root + entry->OffsetToData));
            const BYTE* bytes = At(data->OffsetToData);
            entries.push_back({labels[0], labels[1], entry->Id, data->CodePage,
                               std::string(reinterpret_cast<const char*>(bytes), data->Size)});
        }
    }

    std::vector<BYTE> m_bytes;
    const IMAGE_SECTION_HEADER* m_sections = nullptr;
    WORD m_sectionCount = 0;
    DWORD m_root = 0;
};

TEST(ResourceInventory, TheJapaneseSetTheIconAndTheEnglishStringTableWithCodePageZero) {
    ResourceDirectory directory(test::InRunFolder("Lanterwell.dll"));
    std::vector<ResourceEntry> entries = directory.entries;
    std::sort(entries.begin(), entries.end());
    const struct {
        const char* type;
        const char* name;
        WORD language;
    } rows[] = {
        {"#14", "#1", 1041},     {"#16", "#1", 1041},        {"#3", "#1", 1041},
        {"#3", "#2", 1041},      {"#3", "#3", 1041},         {"#6", "#7", 1033},
        {"#6", "#7", 1041},      {"REGISTRY", "#101", 1041}, {"REGISTRY", "#102", 1041},
        {"TYPELIB", "#1", 1041},
    };
    ASSERT_EQ(entries.size(), std::size(rows));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].type, rows[i].type);
        EXPECT_EQ(entries[i].name, rows[i].name);
        EXPECT_EQ(entries[i].language, rows[i].language) << entries[i].type << entries[i].name;
        EXPECT_EQ(entries[i].codePage, 0u) << entries[i].type << entries[i].name;
    }
    // The scripts to the byte: no byte-order mark, no NUL, CR LF after the last line too.
    EXPECT_EQ(entries[7].data, expected::kAppIdScript);
    EXPECT_EQ(entries[8].data, expected::kClassScript);
    // Sixteen counted strings: 16 count words and two bytes for each code unit of the texts.
    EXPECT_EQ(entries[6].data.size(), 2u * (16 + 10 + 9 + 11 + 9 + 26 + 15 + 17 + 17));
    EXPECT_EQ(entries[9].data.substr(0, 4), "MSFT");
}

std::string Query(const std::vector<BYTE>& block, const char* path) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path, &value, &length))
        return "<none>";
    return std::string(static_cast<const char*>(value), length ? length - 1 : 0);
}

TEST(VersionBlock, ReadsBackWithThePlatformsVersionCalls) {
    SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the ANSI version calls, as older callers make them
    const std::string module = test::AnsiInRunFolder("Lanterwell.dll");
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(module.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(module.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwStrucVersion, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 0x03A4);

    const std::string table = "\\StringFileInfo\\041103a4\\";
    EXPECT_EQ(Query(block, (table + "FileVersion").c_str()), "1, 1, 2, 0");
    EXPECT_EQ(Query(block, (table + "ProductVersion").c_str()), "1, 0, 0, 0");
    EXPECT_EQ(Query(block, (table + "InternalName").c_str()), "Lanterwell.dll");
    EXPECT_EQ(Query(block, (table + "OriginalFilename").c_str()), "Lanterwell.dll");
    EXPECT_EQ(Query(block, (table + "ProductName").c_str()), "Lanterwell");
    EXPECT_EQ(Query(block, (table + "CompanyName").c_str()), "Lanterwell Developers");
    EXPECT_NE(Query(block, (table + "LegalCopyright").c_str()).find("Lanterwell"),
              std::string::npos);
    const std::string description = Query(block, (table + "FileDescription").c_str());
    EXPECT_EQ(description.substr(0, 11), "Lanterwell ");
    EXPECT_EQ(Query(block, (table + "Comments").c_str()), description);
}

// The string table of the version block, with its keys in order and each value's length
// counting its NUL.
TEST(VersionBlock, TheStringTableHoldsNineKeysInOrder) {
    ResourceDirectory directory(test::InRunFolder("Lanterwell.dll"));
    std::string version;
    for (const ResourceEntry& entry : directory.entries)
        if (entry.type == "#16")
            version = entry.data;
    ASSERT_FALSE(version.empty());
    const std::u16string text(reinterpret_cast<const char16_t*>(version.data()),
                              version.size() / 2);
    std::vector<std::u16string> keys;
    for (const char16_t* key :
         {u"Comments", u"CompanyName", u"FileDescription", u"FileVersion", u"InternalName",
          u"LegalCopyright", u"OriginalFilename", u"ProductName", u"ProductVersion"}) {
        const size_t at = text.find(std::u16string(key) + char16_t(0));
        ASSERT_NE(at, std::u16string::npos);
        keys.push_back(key);
        // The value length word sits two words before the key: it counts the value's NUL.
        const size_t valueLength = text[at - 2];
        size_t value = at + std::char_traits<char16_t>::length(key) + 1;
        value += value % 2; // values start on a 32-bit boundary
        EXPECT_EQ(text[value + valueLength - 1], 0) << std::string(key, key + 4);
        EXPECT_NE(text[value + valueLength - 2], 0);
        static size_t last = 0;
        EXPECT_GT(at, last);
        last = at;
    }
    EXPECT_NE(text.find(u"041103a4"), std::u16string::npos);
    EXPECT_NE(text.find(u"VarFileInfo"), std::u16string::npos);
    EXPECT_LT(text.find(u"StringFileInfo"), text.find(u"VarFileInfo"));
}

} // namespace
