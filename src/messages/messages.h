// Every text the module shows goes through the host's message display. These
// front ends format into fixed stack buffers and cut what does not fit, byte
// by byte, so that no text can run past its buffer.
#pragma once

#include "export.h"

#include <string>

// Formats into 1024 bytes and shows the text at level 4.
void printMessage(const char* format, ...) PELMORA_PRINTF(1, 2);

// Formats into 128 bytes and shows the text at `level`.
void displayFormatted(int level, const char* format, ...) PELMORA_PRINTF(2, 3);

// Shows `text` whole at `level`: for a message built from parts, such as a
// path, that a fixed buffer could cut in the middle of a character.
void showText(int level, const std::string& text);

// Formats into 1024 bytes and shows the text at `level`; the common ground of
// the Ostrel_Editor methods.
void showAtLevel(int level, const char* format, ...) PELMORA_PRINTF(2, 3);

// The module's editor: one process-wide instance that shows formatted text at
// the levels the demonstration callbacks use.
class Ostrel_Editor {
public:
    virtual ~Ostrel_Editor();
    Ostrel_Editor(const Ostrel_Editor&) = delete;
    Ostrel_Editor& operator=(const Ostrel_Editor&) = delete;

    // The one instance, created on the first call (thread-safe).
    static Ostrel_Editor& instance();

    // Each method owns its copy of the format, which it releases on return.
    template <typename... Values>
    void printAtLevel3(std::string format, Values... values)
    {
        showAtLevel(3, format.c_str(), values...);
    }
    template <typename... Values>
    void printAtLevel4(std::string format, Values... values)
    {
        showAtLevel(4, format.c_str(), values...);
    }

private:
    Ostrel_Editor() = default;
};

// Reports a failed host call in three lines at level 4: where it was made, the
// host's text for `code`, and the call itself. Shows nothing for code 0.
// Returns `code`. Exported under its C++ name.
PELMORA_EXPORT int report_error(const char* file, int line, const char* call, int code);
