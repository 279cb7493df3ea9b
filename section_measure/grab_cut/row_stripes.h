// Per-pixel passes split into stripes of rows fixed by the image alone, so that no result
// depends on how many threads run them; and the arrays such passes fill.
#pragma once

#include "platform/machine.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace plantscan::section {

inline constexpr int MAX_ROW_STRIPES = 64;

// Rows [y0, y1) of stripe s of `stripes` over `rows` rows.
inline int stripeStart(int rows, int stripes, int s) {
    return static_cast<int>(static_cast<std::int64_t>(rows) * s / stripes);
}

// Calls work(stripe, y0, y1) for each of min(rows, MAX_ROW_STRIPES) stripes on OpenCV's
// threads; returns the number of stripes.
template <class Work>
int forRowStripes(int rows, Work work) {
    const int stripes = std::min(rows, MAX_ROW_STRIPES);
    cv::parallel_for_(cv::Range(0, stripes), [&](const cv::Range& range) {
        for (int s = range.start; s < range.end; ++s)
            work(s, stripeStart(rows, stripes, s), stripeStart(rows, stripes, s + 1));
    });
    return stripes;
}

// An allocator whose new elements are left unwritten where no value is given: a per-pixel array
// that passes on every thread fill in full is not first zeroed by one thread, and those passes
// take the first touch of its pages, which costs as much as the zeroing, on every thread; large
// pages where the system has them.
template <class T>
struct Unfilled : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = Unfilled<U>;
    };
    Unfilled() = default;
    template <class U>
    Unfilled(const Unfilled<U>&) noexcept {}
    T* allocate(std::size_t n) {
        T* block = std::allocator<T>::allocate(n);
        platform::adviseLargePages(block, n * sizeof(T));
        return block;
    }
    template <class U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <class U, class... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

// One place per pixel or sample, written in full before it is read.
using Places = std::vector<std::uint32_t, Unfilled<std::uint32_t>>;

}  // namespace plantscan::section
