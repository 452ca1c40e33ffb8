// Message front ends over hostDisplayMessage, and the error report.
#include "messages.h"

#include "host_api.h"

#include <cstdarg>
#include <cstdio>

namespace {

// Formats into a stack buffer of `Size` bytes, cutting the text to the
// buffer's size less its NUL, and shows it at `level`.
template <size_t Size>
void formatAndShow(int level, const char* format, va_list values)
{
    char buffer[Size];
    if (std::vsnprintf(buffer, Size, format, values) < 0)
        buffer[0] = '\0';
    buffer[Size - 1] = '\0';
    hostDisplayMessage(buffer, level);
}

} // namespace

void printMessage(const char* format, ...)
{
    va_list values;
    va_start(values, format);
    formatAndShow<1024>(4, format, values);
    va_end(values);
}

void displayFormatted(int level, const char* format, ...)
{
    va_list values;
    va_start(values, format);
    formatAndShow<128>(level, format, values);
    va_end(values);
}

void showText(int level, const std::string& text)
{
    hostDisplayMessage(text.c_str(), level);
}

void showAtLevel(int level, const char* format, ...)
{
    va_list values;
    va_start(values, format);
    formatAndShow<1024>(level, format, values);
    va_end(values);
}

Ostrel_Editor::~Ostrel_Editor() = default;

Ostrel_Editor& Ostrel_Editor::instance()
{
    static Ostrel_Editor editor;
    return editor;
}

int report_error(const char* file, int line, const char* call, int code)
{
    if (code == 0)
        return 0;
    const char* text = hostGetErrorText(code);
    printMessage("*** ERROR code %d at line %d in %s:\n", code, line, file ? file : "");
    printMessage("+++ %s\n", text ? text : "");
    printMessage("%s;\n", call ? call : "");
    return code;
}
