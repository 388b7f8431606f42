// An atomic's interface over a plain value: what a decoder store would be
// without std::atomic. Only the ThreadSanitizer probe build uses it.
#pragma once

#include <atomic>

template <typename T> class TRacyCell {
public:
    T load(std::memory_order = std::memory_order_seq_cst) const { return value_; }
    void store(T value, std::memory_order = std::memory_order_seq_cst) { value_ = value; }

private:
    T value_{};
};
