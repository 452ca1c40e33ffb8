// Code-page conversions: Win32's on Windows, iconv and the tables built from it
// elsewhere.
#include "text.h"

#if defined(_WIN32)
#  include <windows.h>
#else
#  include "iconv_codec.h"

#  include <algorithm>
#  include <clocale>
#  include <cstring>
#  include <langinfo.h>
#  include <locale.h>
#  include <map>
#  include <memory>
#  include <mutex>
#  include <vector>
#endif

namespace {

#if defined(_WIN32)

void appendWideIn(UINT codePage, std::string_view narrow, std::u16string& out)
{
    if (narrow.empty())
        return;
    const int length = static_cast<int>(narrow.size());
    const int needed = MultiByteToWideChar(codePage, 0, narrow.data(), length, nullptr, 0);
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(needed));
    MultiByteToWideChar(codePage, 0, narrow.data(), length, reinterpret_cast<wchar_t*>(out.data() + start), needed);
}

void appendNarrowIn(UINT codePage, std::u16string_view wide, std::string& out)
{
    if (wide.empty())
        return;
    const int length = static_cast<int>(wide.size());
    const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
    const int needed = WideCharToMultiByte(codePage, 0, units, length, nullptr, 0, nullptr, nullptr);
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(needed));
    WideCharToMultiByte(codePage, 0, units, length, out.data() + start, needed, nullptr, nullptr);
}

// Into `out` only when every character has a code of its own in the code
// page: no default character and no look-alike.
bool appendNarrowExactIn(UINT codePage, std::u16string_view wide, std::string& out)
{
    if (wide.empty())
        return true;
    const int length = static_cast<int>(wide.size());
    const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
    // UTF-8 takes neither the flag nor the question; a lone surrogate is what it cannot hold.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int needed = WideCharToMultiByte(codePage, flags, units, length, nullptr, 0, nullptr, usedDefaultOut);
    if (needed <= 0 || usedDefault)
        return false;
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(needed));
    WideCharToMultiByte(codePage, flags, units, length, out.data() + start, needed, nullptr, usedDefaultOut);
    return true;
}

#else

// The codecs of the process. An iconv descriptor must not be used by two
// threads at once, so a converter takes its codecs out of the pool for its
// lifetime and gives them back after; a codec's tables, built as it goes,
// serve every converter that takes it later. The pool is a static of the
// module, let go when the module is unloaded: codecs kept per thread
// (thread_local) would need no lock, but their destructors would keep the
// module mapped after dlclose for as long as the thread lives.
class CodecPool {
public:
    // Throws std::bad_alloc, having changed nothing, when memory runs out.
    CodesetCodec* take(const char* codeset)
    {
        std::lock_guard lock(mutex_);
        for (Entry& entry : codecs_) {
            if (!entry.busy && entry.codeset == codeset) {
                entry.busy = true;
                return entry.codec.get();
            }
        }
        Entry entry{codeset, std::make_unique<CodesetCodec>(codeset), true};
        codecs_.push_back(std::move(entry));
        return codecs_.back().codec.get();
    }

    // Allocates nothing, so that a converter's destructor can call it.
    void giveBack(CodesetCodec* codec) noexcept
    {
        std::lock_guard lock(mutex_);
        for (Entry& entry : codecs_)
            if (entry.codec.get() == codec)
                entry.busy = false;
    }

    // The codeset of the process's global locale, for a thread that uses a
    // locale of its own: found by the global locale's name, and looked up
    // again only when that changes.
    std::string globalCodeset()
    {
        const char* name = std::setlocale(LC_CTYPE, nullptr);
        if (name == nullptr)
            name = "C";
        std::lock_guard lock(mutex_);
        if (globalCodeset_.empty() || globalLocale_ != name) {
            locale_t locale = newlocale(LC_CTYPE_MASK, name, locale_t(0));
            globalCodeset_ = locale ? nl_langinfo_l(CODESET, locale) : "ANSI_X3.4-1968";
            if (locale)
                freelocale(locale);
            globalLocale_ = name;
        }
        return globalCodeset_;
    }

private:
    struct Entry {
        std::string codeset;
        std::unique_ptr<CodesetCodec> codec;
        bool busy;
    };
    std::mutex mutex_;
    // A host converts in a thread or two, so the pool holds a codec or two
    // per codeset, and a search is shorter than any lookup structure.
    std::vector<Entry> codecs_;
    std::string globalLocale_;
    std::string globalCodeset_;
};

CodecPool& codecPool()
{
    static CodecPool pool;
    return pool;
}

void appendWideIn(CodesetCodec* codec, std::string_view narrow, std::u16string& out)
{
    if (!narrow.empty())
        codec->appendWide(narrow, out);
}

void appendNarrowIn(CodesetCodec* codec, std::u16string_view wide, std::string& out)
{
    if (!wide.empty())
        codec->appendNarrow(wide, out);
}

// Windows' numbers for the codesets that ANSI code pages correspond to.
int codePageOfCodeset(std::string_view codeset)
{
    struct Known {
        std::string_view codeset;
        int codePage;
    };
    static constexpr Known kKnown[] = {
        {"CP1250", 1250}, {"CP1251", 1251}, {"CP1252", 1252}, {"CP1253", 1253}, {"CP1254", 1254},
        {"CP1255", 1255}, {"CP1256", 1256}, {"CP1257", 1257}, {"CP1258", 1258}, {"CP874", 874},
        {"GBK", 936},     {"GB2312", 936},  {"CP936", 936},   {"BIG5", 950},    {"CP950", 950},
        {"SHIFT_JIS", 932}, {"CP932", 932}, {"EUC-KR", 949},  {"CP949", 949},   {"UTF-8", 65001},
        {"ANSI_X3.4-1968", 20127}, {"ISO-8859-1", 28591}, {"ISO-8859-15", 28605}, {"GB18030", 54936},
    };
    for (const Known& known : kKnown)
        if (known.codeset == codeset)
            return known.codePage;
    return 0;
}

std::string systemCodeset()
{
    return codecPool().globalCodeset();
}

#endif

} // namespace

#if defined(_WIN32)
CodePageConverter::CodePageConverter() = default;
CodePageConverter::~CodePageConverter() = default;
void CodePageConverter::appendWide(std::string_view narrow, std::u16string& out) const
{
    appendWideIn(CP_THREAD_ACP, narrow, out);
}
void CodePageConverter::appendNarrow(std::u16string_view wide, std::string& out) const
{
    appendNarrowIn(CP_ACP, wide, out);
}
bool CodePageConverter::appendNarrowExact(std::u16string_view wide, std::string& out) const
{
    return appendNarrowExactIn(CP_ACP, wide, out);
}
bool CodePageConverter::toWideInRoom(std::string_view narrow, std::span<char16_t> room, size_t& written) const
{
    written = 0;
    if (narrow.empty())
        return true;
    // Too little room makes the call fail and write nothing that counts; no
    // room at all would make it measure instead.
    if (room.empty())
        return false;
    const int units = MultiByteToWideChar(CP_THREAD_ACP, 0, narrow.data(), static_cast<int>(narrow.size()),
                                          reinterpret_cast<wchar_t*>(room.data()), static_cast<int>(room.size()));
    if (units <= 0)
        return false;
    written = static_cast<size_t>(units);
    return true;
}
#else
CodePageConverter::CodePageConverter()
{
    // The thread's codeset is that of its own locale (uselocale), which is the
    // global one, the system's, unless the thread set one.
    CodecPool& pool = codecPool();
    threadCodec_ = pool.take(nl_langinfo(CODESET));
    try {
        systemCodec_ = uselocale(locale_t(0)) == LC_GLOBAL_LOCALE ? threadCodec_
                                                                  : pool.take(pool.globalCodeset().c_str());
    } catch (...) {
        pool.giveBack(threadCodec_);
        throw;
    }
}
CodePageConverter::~CodePageConverter()
{
    CodecPool& pool = codecPool();
    if (systemCodec_ != threadCodec_)
        pool.giveBack(systemCodec_);
    pool.giveBack(threadCodec_);
}
void CodePageConverter::appendWide(std::string_view narrow, std::u16string& out) const
{
    appendWideIn(threadCodec_, narrow, out);
}
void CodePageConverter::appendNarrow(std::u16string_view wide, std::string& out) const
{
    appendNarrowIn(systemCodec_, wide, out);
}
// iconv has no question like Windows' "used the default character", and some
// codesets map a character one way only; what the narrow text reads back as
// settles both.
bool CodePageConverter::appendNarrowExact(std::u16string_view wide, std::string& out) const
{
    const size_t start = out.size();
    appendNarrowIn(systemCodec_, wide, out);
    const std::string_view written = std::string_view(out).substr(start);
    const bool ascii = std::all_of(wide.begin(), wide.end(), [](char16_t unit) { return unit < 0x80; });
    if (ascii && systemCodec_->asciiIsItself())
        return true;
    readBack_.clear();
    appendWideIn(systemCodec_, written, readBack_);
    if (readBack_ == wide)
        return true;
    out.resize(start);
    return false;
}
bool CodePageConverter::toWideInRoom(std::string_view narrow, std::span<char16_t> room, size_t& written) const
{
    written = 0;
    return narrow.size() <= room.size() && threadCodec_->decodeInto(narrow, room.data(), written);
}
#endif

std::u16string_view CodePageConverter::toWide(std::string_view narrow, std::span<char16_t> room,
                                              std::u16string& spill) const
{
    size_t written = 0;
    if (toWideInRoom(narrow, room, written))
        return {room.data(), written};
    spill.clear();
    appendWide(narrow, spill);
    return spill;
}

std::u16string narrowToWide(std::string_view narrow)
{
    std::u16string wide;
    CodePageConverter().appendWide(narrow, wide);
    return wide;
}

std::string wideToNarrow(std::u16string_view wide)
{
    std::string narrow;
    CodePageConverter().appendNarrow(wide, narrow);
    return narrow;
}

std::optional<std::string> wideToNarrowExact(std::u16string_view wide)
{
    std::string narrow;
    if (!CodePageConverter().appendNarrowExact(wide, narrow))
        return std::nullopt;
    return narrow;
}

#if defined(_WIN32)
int systemCodePage() { return static_cast<int>(GetACP()); }
std::string systemCodePageName() { return "code page " + std::to_string(systemCodePage()); }
#else
int systemCodePage() { return codePageOfCodeset(systemCodeset()); }
std::string systemCodePageName()
{
    const std::string codeset = systemCodeset();
    const int codePage = codePageOfCodeset(codeset);
    return codePage != 0 ? "code page " + std::to_string(codePage) : "codeset " + codeset;
}
#endif
