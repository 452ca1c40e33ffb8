// What the built module shows the system loader: the names it exports, and,
// on Windows, the DLLs it imports (no MinGW runtime among them); and that the
// dictionary checker needs no host library.
#include "module_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
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
