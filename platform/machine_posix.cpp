#include "platform/machine.h"

#include <sys/resource.h>
#include <unistd.h>

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

bool utcFields(std::time_t time, std::tm& fields) { return ::gmtime_r(&time, &fields) != nullptr; }

}  // namespace plantscan::platform
