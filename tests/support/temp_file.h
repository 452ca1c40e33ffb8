// A file written for one test and removed when the test is done, with its
// path in the UTF-16 form that Book::load takes on both platforms.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fixture {

class TempFile {
public:
    // Writes `bytes` to a new file called `fileName` (UTF-8; any characters)
    // in a folder of its own under the system's temporary folder.
    explicit TempFile(std::string_view bytes, std::string_view fileName = "fixture.xlsx");
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::u16string& path() const { return path_; }

private:
    std::filesystem::path folder_;
    std::u16string path_;
};

} // namespace fixture
