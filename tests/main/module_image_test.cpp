// What the built module shows the system loader: the names it exports, and,
// on Windows, the DLLs it imports (no MinGW runtime among them) and the
// version resource of the module and the programs; that the dictionary
// checker needs no host library; and that no built file holds the folder it
// was built in.
#include "module_file.h"
#include "pelmora_version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::set<std::string> kExports = {
    "PelmoraInit", "PelmoraExit", "do_it", "optFormDemo", "optBtnCallbackDemo", "ShowGuiFormDemo",
    "_Z12report_errorPKciS0_i",   // int report_error(const char*, int, const char*, int)
};

// A file built beside this test, whole.
std::vector<unsigned char> bytesOf(const char* fileName = PELMORA_MODULE_FILE_NAME)
{
    fs::path path = fs::path(ownModulePath()).parent_path() / fileName;
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << path.string();
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Little-endian reads that fail the test instead of reading past the file.
class Image {
public:
    explicit Image(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}
    template <typename T>
    T read(uint64_t offset) const
    {
        T value{};
        if (offset + sizeof(T) > bytes_.size()) {
            ADD_FAILURE() << "read past the end of the module at " << offset;
            return value;
        }
        std::memcpy(&value, bytes_.data() + offset, sizeof(T));
        return value;
    }
    std::string text(uint64_t offset) const
    {
        std::string value;
        while (offset < bytes_.size() && bytes_[offset] != 0)
            value += static_cast<char>(bytes_[offset++]);
        return value;
    }

private:
    std::vector<unsigned char> bytes_;
};

// The module and the programs name their sources relative to the repository:
// an error report shows "src/main/demo_callbacks.cpp", not the build machine's
// folders, in either encoding a path could be written in.
TEST(ModuleImage, NoBuiltFileHoldsTheFolderItWasBuiltIn)
{
#if defined(PELMORA_SANITIZED)
    GTEST_SKIP() << "a sanitized build names headers by their full paths in the sanitizers' reports, which the "
                    "prefix map does not reach; no such build is shipped";
#endif
    const std::string folder = PELMORA_SOURCE_DIR;
    ASSERT_GT(folder.size(), 1u);
    std::string wide;
    for (char c : folder)
        wide += {c, '\0'};
    for (const char* fileName : {PELMORA_MODULE_FILE_NAME, PELMORA_DICT_FILE_NAME, OSTREL_SIM_FILE_NAME}) {
        const std::vector<unsigned char> bytes = bytesOf(fileName);
        ASSERT_FALSE(bytes.empty()) << fileName;
        const std::string_view image(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        EXPECT_EQ(image.find(folder), std::string_view::npos) << fileName << " holds " << folder;
        EXPECT_EQ(image.find(wide), std::string_view::npos) << fileName << " holds " << folder << " in UTF-16";
    }
}

#if defined(_WIN32)

struct PeFile {
    explicit PeFile(const Image& image) : image(image)
    {
        uint32_t pe = image.read<uint32_t>(0x3C);
        EXPECT_EQ(image.read<uint32_t>(pe), 0x00004550u) << "PE signature";
        uint16_t sections = image.read<uint16_t>(pe + 6);
        uint16_t optionalSize = image.read<uint16_t>(pe + 20);
        uint64_t optional = pe + 24;
        EXPECT_EQ(image.read<uint16_t>(optional), 0x20Bu) << "PE32+ (x64)";
        dataDirectories = optional + 112;
        sectionTable = optional + optionalSize;
        sectionCount = sections;
    }
    // The file offset of a relative virtual address.
    uint64_t offsetOf(uint32_t rva) const
    {
        for (uint16_t i = 0; i < sectionCount; ++i) {
            uint64_t section = sectionTable + 40u * i;
            uint32_t address = image.read<uint32_t>(section + 12);
            uint32_t size = std::max(image.read<uint32_t>(section + 8), image.read<uint32_t>(section + 16));
            if (rva >= address && rva < address + size)
                return rva - address + image.read<uint32_t>(section + 20);
        }
        ADD_FAILURE() << "address " << rva << " lies in no section";
        return 0;
    }
    uint32_t directory(int index) const { return image.read<uint32_t>(dataDirectories + 8u * index); }

    const Image& image;
    uint64_t dataDirectories = 0;
    uint64_t sectionTable = 0;
    uint16_t sectionCount = 0;
};

std::set<std::string> exportedNames(const PeFile& pe)
{
    std::set<std::string> names;
    uint64_t table = pe.offsetOf(pe.directory(0));
    uint32_t count = pe.image.read<uint32_t>(table + 24);
    uint64_t nameArray = pe.offsetOf(pe.image.read<uint32_t>(table + 32));
    for (uint32_t i = 0; i < count; ++i)
        names.insert(pe.image.text(pe.offsetOf(pe.image.read<uint32_t>(nameArray + 4u * i))));
    return names;
}

std::set<std::string> importedDlls(const PeFile& pe)
{
    std::set<std::string> dlls;
    for (uint64_t entry = pe.offsetOf(pe.directory(1));; entry += 20) {
        uint32_t name = pe.image.read<uint32_t>(entry + 12);
        if (name == 0)
            break;
        std::string dll = pe.image.text(pe.offsetOf(name));
        std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return std::tolower(c); });
        dlls.insert(dll);
    }
    return dlls;
}

TEST(ModuleImage, ExportsExactlyTheEntryPoints)
{
    Image image(bytesOf());
    EXPECT_EQ(exportedNames(PeFile(image)), kExports);
}

// --- The version resource ------------------------------------------------------------

// The file offset of the version resource's data (type 16, name 1, its first
// language), found from the start of the .rsrc section; 0 when there is none.
uint64_t versionResource(const PeFile& pe)
{
    uint64_t root = 0;
    uint32_t rootAddress = 0;
    for (uint16_t i = 0; i < pe.sectionCount; ++i) {
        uint64_t section = pe.sectionTable + 40u * i;
        if (pe.image.text(section).substr(0, 8) == ".rsrc") {
            rootAddress = pe.image.read<uint32_t>(section + 12);
            root = pe.image.read<uint32_t>(section + 20);
        }
    }
    if (root == 0)
        return 0;
    // Each level is a directory of entries by id; the high bit marks a directory below.
    auto entryWithId = [&](uint64_t directory, uint32_t id, bool any) -> uint32_t {
        uint16_t named = pe.image.read<uint16_t>(directory + 12);
        uint16_t ids = pe.image.read<uint16_t>(directory + 14);
        for (uint32_t i = named; i < uint32_t{named} + ids; ++i) {
            uint64_t entry = directory + 16 + 8u * i;
            if (any || pe.image.read<uint32_t>(entry) == id)
                return pe.image.read<uint32_t>(entry + 4);
        }
        return 0;
    };
    uint32_t type = entryWithId(root, 16 /* RT_VERSION */, false);
    uint32_t name = type & 0x80000000u ? entryWithId(root + (type & 0x7FFFFFFFu), 1, false) : 0;
    uint32_t language = name & 0x80000000u ? entryWithId(root + (name & 0x7FFFFFFFu), 0, true) : 0;
    if (language == 0 || language & 0x80000000u)
        return 0;
    uint32_t dataAddress = pe.image.read<uint32_t>(root + language);
    return dataAddress - rootAddress + root;
}

// A block of the version resource: a key, a value and the blocks inside it.
struct VersionBlock {
    std::u16string key;
    uint64_t value = 0;         // file offset of the value
    uint16_t valueLength = 0;   // in bytes for binary values, in characters for text
    std::vector<VersionBlock> children;
};

std::u16string wideText(const Image& image, uint64_t offset, uint64_t end)
{
    std::u16string text;
    for (; offset + 2 <= end; offset += 2) {
        char16_t unit = image.read<char16_t>(offset);
        if (unit == 0)
            break;
        text += unit;
    }
    return text;
}

VersionBlock readVersionBlock(const Image& image, uint64_t offset, bool binaryValue)
{
    auto aligned = [](uint64_t at) { return (at + 3) & ~uint64_t{3}; };
    const uint64_t end = offset + image.read<uint16_t>(offset);
    VersionBlock block;
    block.valueLength = image.read<uint16_t>(offset + 2);
    block.key = wideText(image, offset + 6, end);
    block.value = aligned(offset + 6 + 2 * (block.key.size() + 1));
    uint64_t child = aligned(block.value + (binaryValue ? block.valueLength : 2u * block.valueLength));
    while (child + 6 <= end && image.read<uint16_t>(child) != 0) {
        block.children.push_back(readVersionBlock(image, child, block.key == u"VarFileInfo"));
        child = aligned(child + image.read<uint16_t>(child));
    }
    return block;
}

struct VersionResource {
    uint32_t signature = 0;
    uint32_t fileVersionHigh = 0, fileVersionLow = 0, productVersionHigh = 0, productVersionLow = 0;
    uint32_t fileType = 0;
    std::map<std::u16string, std::map<std::u16string, std::u16string>> strings;   // by language, by name
    std::vector<uint16_t> translations;                                            // language, code page, ...
};

VersionResource readVersionResource(const Image& image)
{
    VersionResource resource;
    uint64_t start = versionResource(PeFile(image));
    if (start == 0) {
        ADD_FAILURE() << "no version resource";
        return resource;
    }
    VersionBlock root = readVersionBlock(image, start, true);
    EXPECT_EQ(root.key, u"VS_VERSION_INFO");
    resource.signature = image.read<uint32_t>(root.value);
    resource.fileVersionHigh = image.read<uint32_t>(root.value + 8);
    resource.fileVersionLow = image.read<uint32_t>(root.value + 12);
    resource.productVersionHigh = image.read<uint32_t>(root.value + 16);
    resource.productVersionLow = image.read<uint32_t>(root.value + 20);
    resource.fileType = image.read<uint32_t>(root.value + 36);
    for (const VersionBlock& info : root.children) {
        for (const VersionBlock& table : info.children) {
            if (info.key == u"StringFileInfo")
                for (const VersionBlock& entry : table.children)
                    resource.strings[table.key][entry.key] =
                        wideText(image, entry.value, entry.value + 2u * entry.valueLength);
            else
                for (uint16_t i = 0; i < table.valueLength / 2; ++i)
                    resource.translations.push_back(image.read<uint16_t>(table.value + 2u * i));
        }
    }
    return resource;
}

std::u16string widened(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

struct VersionedFile {
    const char* fileName;
    uint32_t fileType;   // VFT_APP 1, VFT_DLL 2
};

void PrintTo(const VersionedFile& file, std::ostream* out) { *out << file.fileName; }

class VersionResources : public ::testing::TestWithParam<VersionedFile> {};

TEST_P(VersionResources, CarryTheProjectsVersionAndADescriptionInEnglishAndChinese)
{
    const VersionResource resource = readVersionResource(Image(bytesOf(GetParam().fileName)));
    EXPECT_EQ(resource.signature, 0xFEEF04BDu);
    EXPECT_EQ(resource.fileType, GetParam().fileType);
    const std::string version = kPelmoraVersion;
    const std::string numbers = std::to_string(resource.fileVersionHigh >> 16) + "." +
                                std::to_string(resource.fileVersionHigh & 0xFFFF) + "." +
                                std::to_string(resource.fileVersionLow >> 16);
    EXPECT_EQ(numbers, version);
    EXPECT_EQ(resource.productVersionHigh, resource.fileVersionHigh);
    EXPECT_EQ(resource.productVersionLow, resource.fileVersionLow);
    EXPECT_EQ(resource.translations, (std::vector<uint16_t>{0x409, 1200, 0x804, 1200}));

    ASSERT_EQ(resource.strings.size(), 2u);
    for (const auto& [language, strings] : resource.strings) {
        EXPECT_EQ(strings.at(u"FileVersion"), widened(version));
        EXPECT_EQ(strings.at(u"ProductVersion"), widened(version));
        EXPECT_EQ(strings.at(u"ProductName"), u"Pelmora");
        EXPECT_EQ(strings.at(u"OriginalFilename"), widened(GetParam().fileName));
    }
    const std::u16string english = resource.strings.at(u"040904B0").at(u"FileDescription");
    const std::u16string chinese = resource.strings.at(u"080404B0").at(u"FileDescription");
    EXPECT_GT(english.size(), 10u);
    EXPECT_TRUE(std::all_of(english.begin(), english.end(), [](char16_t c) { return c >= 0x20 && c < 0x7F; }));
    EXPECT_TRUE(std::any_of(chinese.begin(), chinese.end(), [](char16_t c) { return c >= 0x4E00 && c <= 0x9FFF; }))
        << "the Chinese description is Chinese";
}

INSTANTIATE_TEST_SUITE_P(ModuleImage, VersionResources, ::testing::Values(
    VersionedFile{PELMORA_MODULE_FILE_NAME, 2},
    VersionedFile{PELMORA_DICT_FILE_NAME, 1},
    VersionedFile{OSTREL_SIM_FILE_NAME, 1}));

TEST(ModuleImage, TheCheckerImportsOnlySystemDlls)
{
    Image image(bytesOf(PELMORA_DICT_FILE_NAME));
    for (const std::string& dll : importedDlls(PeFile(image))) {
        bool system = dll == "kernel32.dll" || dll == "msvcrt.dll" || dll == "shlwapi.dll" || dll == "shell32.dll" ||
                      dll == "user32.dll" || dll == "advapi32.dll" || dll.rfind("api-ms-win-", 0) == 0;
        EXPECT_TRUE(system) << "unexpected import " << dll;
    }
}

TEST(ModuleImage, ImportsOnlySystemDllsAndTheHostLibrary)
{
    Image image(bytesOf());
    std::set<std::string> dlls = importedDlls(PeFile(image));
    EXPECT_TRUE(dlls.count("ostrelapi.dll")) << "the host's API library";
    for (const std::string& dll : dlls) {
        for (const char* runtime : {"libgcc", "libstdc++", "libwinpthread"})
            EXPECT_EQ(dll.find(runtime), std::string::npos) << dll;
        bool system = dll == "ostrelapi.dll" || dll == "kernel32.dll" || dll == "msvcrt.dll" ||
                      dll == "shlwapi.dll" || dll == "user32.dll" || dll == "advapi32.dll" ||
                      dll.rfind("api-ms-win-", 0) == 0;
        EXPECT_TRUE(system) << "unexpected import " << dll;
    }
}

#else

// Each section of an ELF64 file of the given type: where its data begins,
// how large it is, and where the string table it links to begins.
template <typename Visit>
void forEachSection(const Image& image, uint32_t type, Visit visit)
{
    uint64_t sections = image.read<uint64_t>(0x28);
    uint16_t entrySize = image.read<uint16_t>(0x3A);
    uint16_t count = image.read<uint16_t>(0x3C);
    for (uint16_t i = 0; i < count; ++i) {
        uint64_t section = sections + uint64_t{entrySize} * i;
        if (image.read<uint32_t>(section + 4) != type)
            continue;
        uint64_t linked = sections + uint64_t{entrySize} * image.read<uint32_t>(section + 0x28);
        visit(image.read<uint64_t>(section + 0x18), image.read<uint64_t>(section + 0x20),
              image.read<uint64_t>(linked + 0x18));
    }
}

// The libraries an ELF64 file names as needed (DT_NEEDED).
std::set<std::string> neededLibraries(const Image& image)
{
    std::set<std::string> names;
    forEachSection(image, 6 /* SHT_DYNAMIC */, [&](uint64_t entries, uint64_t size, uint64_t strings) {
        for (uint64_t entry = entries; entry + 16 <= entries + size; entry += 16)
            if (image.read<int64_t>(entry) == 1)   // DT_NEEDED
                names.insert(image.text(strings + image.read<uint64_t>(entry + 8)));
    });
    return names;
}

// The defined, global symbols of an ELF64 shared object's dynamic symbol table.
std::set<std::string> exportedNames(const Image& image)
{
    std::set<std::string> names;
    forEachSection(image, 11 /* SHT_DYNSYM */, [&](uint64_t symbols, uint64_t size, uint64_t strings) {
        for (uint64_t symbol = symbols; symbol + 24 <= symbols + size; symbol += 24) {
            unsigned char info = image.read<unsigned char>(symbol + 4);
            uint16_t sectionIndex = image.read<uint16_t>(symbol + 6);
            bool global = (info >> 4) == 1 || (info >> 4) == 2;
            if (global && sectionIndex != 0)
                names.insert(image.text(strings + image.read<uint32_t>(symbol)));
        }
    });
    return names;
}

TEST(ModuleImage, ExportsExactlyTheEntryPoints)
{
    Image image(bytesOf());
    EXPECT_EQ(exportedNames(image), kExports);
}

TEST(ModuleImage, TheCheckerNeedsNoHostLibrary)
{
    const std::set<std::string> needed = neededLibraries(Image(bytesOf(PELMORA_DICT_FILE_NAME)));
    EXPECT_TRUE(needed.count("libc.so.6")) << "read the checker's dynamic section";
    for (const std::string& library : needed)
        EXPECT_EQ(library.find("ostrelapi"), std::string::npos) << library;
}

#endif

} // namespace
