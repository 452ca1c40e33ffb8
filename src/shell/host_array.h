// An array that a host listing hands out, owned until it goes back through
// hostFreeMemory. A listing that reports a count of 0 or less, or a positive
// count with a null array, reads as empty; the pointer is handed back either way.
#pragma once

#include "host_api.h"

#include <cstdint>
#include <span>

template <typename T>
class HostArray {
public:
    HostArray() = default;
    HostArray(const HostArray&) = delete;
    HostArray& operator=(const HostArray&) = delete;
    ~HostArray() { release(); }

    // The out-parameters to give to the listing.
    int32_t* countOut() { return &count_; }
    T** arrayOut() { return &array_; }

    std::span<const T> items() const
    {
        if (count_ <= 0 || array_ == nullptr)
            return {};
        return {array_, static_cast<size_t>(count_)};
    }

    void release() { hostFreeMemory(&array_); }

private:
    int32_t count_ = 0;
    T* array_ = nullptr;
};
