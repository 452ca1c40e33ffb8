// Fuzz target for the dictionary loader: any file in the workbook's place must
// load or be refused cleanly. Bytes that start as a compound file go in as an
// .xls workbook, anything else as an .xlsx one, since the loader picks the
// format by the file's extension.
#include "utf8.h"
#include "workbook_loader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const unsigned char kCompoundFileMagic[] = {0xD0, 0xCF, 0x11, 0xE0};
    bool compound = size >= 4 && std::memcmp(data, kCompoundFileMagic, 4) == 0;
    static const std::string base = "/tmp/pelmora-loader-fuzz-" + std::to_string(getpid());
    const std::string path = base + (compound ? ".xls" : ".xlsx");
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        __builtin_trap();
    TermDictionary dictionary;
    readDictionaryWorkbook(dictionary, xl::utf8ToUtf16(path), kStartMarker, kEndMarker);
    std::remove(path.c_str());
    return 0;
}
