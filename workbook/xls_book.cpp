// The binary book: workbooks in the legacy .xls format. Reading them is not
// supported yet, so every load fails with a message that says so.
#include "xls_book.h"

namespace xl {
namespace {

class XlsBook final : public Book {
public:
    bool load(const char16_t*, const char16_t*) override { return fail(); }
    bool loadRaw(const char*, unsigned) override { return fail(); }
    Sheet* getSheet(int) override { return nullptr; }
    void release() override { delete this; }
    const char* errorMessage() const override { return message_; }

private:
    bool fail()
    {
        message_ = "reading .xls workbooks is not supported";
        return false;
    }
    const char* message_ = "";
};

} // namespace

Book* createXlsBook() { return new XlsBook; }

} // namespace xl
