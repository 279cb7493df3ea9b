#include "platform/machine.h"

#include <unistd.h>

namespace plantscan::platform {

std::string hostName() {
    char name[256] = "";
    if (::gethostname(name, sizeof name - 1) != 0) return "";
    return name;
}

long processId() { return static_cast<long>(::getpid()); }

bool utcFields(std::time_t time, std::tm& fields) { return ::gmtime_r(&time, &fields) != nullptr; }

}  // namespace plantscan::platform
