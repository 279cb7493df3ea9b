#include "platform/machine.h"

#include "platform/windows_text.h"

#include <windows.h>

namespace plantscan::platform {

std::string hostName() {
    wchar_t name[256] = L"";
    DWORD size = 256;
    if (!::GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return "";
    return utf8FromWide(name);
}

long processId() { return static_cast<long>(::GetCurrentProcessId()); }

void yieldCoresToOtherThreads() {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_LOWEST);
}

void adviseLargePages(void*, std::size_t) {}

bool utcFields(std::time_t time, std::tm& fields) { return ::gmtime_s(&fields, &time) == 0; }

}  // namespace plantscan::platform
