// Runs an entry point's work so that no exception reaches the host.
#pragma once

#include <cstdint>

template <typename Work>
int32_t runForHost(Work&& work) noexcept
{
    try {
        work();
    } catch (...) {
        // The host cannot take an exception; the work stops where it failed.
    }
    return 0;
}
