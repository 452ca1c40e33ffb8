// Marks the module's entry points for export from the shared library.
#pragma once

#if defined(_WIN32)
#  define PELMORA_EXPORT __declspec(dllexport)
#else
#  define PELMORA_EXPORT __attribute__((visibility("default")))
#endif

#if defined(__MINGW32__)
#  define PELMORA_PRINTF(formatIndex, firstValue) __attribute__((format(gnu_printf, formatIndex, firstValue)))
#elif defined(__GNUC__)
#  define PELMORA_PRINTF(formatIndex, firstValue) __attribute__((format(printf, formatIndex, firstValue)))
#else
#  define PELMORA_PRINTF(formatIndex, firstValue)
#endif
