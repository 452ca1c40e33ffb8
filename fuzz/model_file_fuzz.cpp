// Fuzz target for model files, in code page 936. Each input is read as a
// model file; when it reads, the document is written, read again and written
// again, and the run aborts unless the second text is the first: a model the
// simulated host writes must read back as the same document.
#include "chinese_setting.h"
#include "model_file.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    enterChineseSetting("model_file_fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!ostrelsim::readModel(text).ok)
        return 0;
    const std::string written = ostrelsim::writeModel();
    const ostrelsim::ModelReadResult again = ostrelsim::readModel(written);
    if (!again.ok) {
        std::fprintf(stderr, "model_file_fuzz: a written model does not read: %s\n%s\n", again.error.c_str(),
                     written.c_str());
        std::abort();
    }
    if (ostrelsim::writeModel() != written) {
        std::fprintf(stderr, "model_file_fuzz: a written model reads as another document:\n%s\n", written.c_str());
        std::abort();
    }
    return 0;
}
