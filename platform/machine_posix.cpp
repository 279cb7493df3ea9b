#include "platform/machine.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>

namespace plantscan::platform {

std::string hostName() {
    char name[256] = "";
    if (::gethostname(name, sizeof name - 1) != 0) return "";
    return name;
}

long processId() { return static_cast<long>(::getpid()); }

void yieldCoresToOtherThreads() {
#ifdef __linux__
    // Linux gives each thread a niceness of its own, set through its thread id.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
#endif
}

void adviseLargePages(void* block, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    // Only whole large pages inside the block: the rest is shared with other allocations.
    constexpr std::uintptr_t LARGE_PAGE = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (begin + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
    const std::uintptr_t last = (begin + bytes) & ~(LARGE_PAGE - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

bool utcFields(std::time_t time, std::tm& fields) { return ::gmtime_r(&time, &fields) != nullptr; }

}  // namespace plantscan::platform
