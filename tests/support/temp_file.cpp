// Temporary fixture files in folders of their own.
#include "temp_file.h"

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fixture {
namespace {

std::filesystem::path newFolder()
{
    static std::atomic<unsigned> counter{0};
    static const unsigned long long run = std::random_device{}();
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder =
            base / ("pelmora-test-" + std::to_string(run) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(folder))
            return folder;
    }
    throw std::runtime_error("cannot create a temporary folder under " + base.string());
}

} // namespace

TempFile::TempFile(std::string_view bytes, std::string_view fileName) : folder_(newFolder())
{
    const std::u8string name(reinterpret_cast<const char8_t*>(fileName.data()), fileName.size());
    const std::filesystem::path file = folder_ / std::filesystem::path(name);
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write the fixture file");
    path_ = file.u16string();
}

TempFile::~TempFile()
{
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

} // namespace fixture
