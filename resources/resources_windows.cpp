#include "resources/resources.h"

#include <windows.h>
// After windows.h, whose types it takes.
#include <psapi.h>

#include <algorithm>
#include <bitset>
#include <thread>
#include <vector>

namespace {

// The cores a job object's hard CPU rate cap allows (its rate is in 1/10000 of all the
// machine's cycles), rounded up; nothing when this process runs in no such job.
std::optional<int> coresUnderJobCap(int processors) {
    JOBOBJECT_CPU_RATE_CONTROL_INFORMATION rate{};
    if (!::QueryInformationJobObject(nullptr, JobObjectCpuRateControlInformation, &rate,
                                     sizeof rate, nullptr)) {
        return std::nullopt;
    }
    const DWORD flags = rate.ControlFlags;
    if (!(flags & JOB_OBJECT_CPU_RATE_CONTROL_ENABLE)) return std::nullopt;
    // mingw-w64's headers lack the minimum and maximum rates: the flag is 0x10, and the rates
    // are the low and high halves of the word that holds CpuRate.
    constexpr DWORD MIN_MAX_RATE = 0x10;
    DWORD cap = 0;
    if (flags & MIN_MAX_RATE) {
        cap = rate.CpuRate >> 16;
    } else if ((flags & JOB_OBJECT_CPU_RATE_CONTROL_HARD_CAP) &&
               !(flags & JOB_OBJECT_CPU_RATE_CONTROL_WEIGHT_BASED)) {
        cap = rate.CpuRate;
    }
    if (cap == 0) return std::nullopt;
    const std::uint64_t scaled =
        static_cast<std::uint64_t>(cap) * static_cast<unsigned>(processors);
    return std::max(1, static_cast<int>((scaled + 9999) / 10000));
}

}  // namespace

namespace plantscan::resources {

int availableCores() {
    // Every processor group, not only this process's first one.
    const DWORD all = ::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    const int processors = all > 0
                               ? static_cast<int>(all)
                               : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    int cores = processors;
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process != system) {
        cores = std::max<int>(1, static_cast<int>(std::bitset<64>(process).count()));
    }
    if (const std::optional<int> cap = coresUnderJobCap(processors)) cores = std::min(cores, *cap);
    return cores;
}

namespace {

// Bytes committed by a process: what a job object's limits count, and at start what it holds.
std::optional<std::uint64_t> committedBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    if (!::GetProcessMemoryInfo(process, &counters, sizeof counters)) return std::nullopt;
    return counters.PagefileUsage;
}

std::uint64_t committedByJob() {
    // Room for a few thousand processes; a larger job is counted on its first ones.
    std::vector<ULONG_PTR> buffer(4096);
    auto* list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
    list->NumberOfAssignedProcesses = static_cast<DWORD>(buffer.size() - 2);
    if (!::QueryInformationJobObject(nullptr, JobObjectBasicProcessIdList, list,
                                     static_cast<DWORD>(buffer.size() * sizeof(ULONG_PTR)),
                                     nullptr)) {
        return committedBytes(::GetCurrentProcess()).value_or(0);
    }
    std::uint64_t total = 0;
    for (DWORD i = 0; i < list->NumberOfProcessIdsInList; ++i) {
        const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                             static_cast<DWORD>(list->ProcessIdList[i]));
        if (process == nullptr) continue;
        total += committedBytes(process).value_or(0);
        ::CloseHandle(process);
    }
    return total;
}

std::uint64_t leftUnder(std::uint64_t limit, std::uint64_t used) {
    return limit > used ? limit - used : 0;
}

}  // namespace

MemoryRoom probeMemoryRoom() {
    MemoryRoom room;
    room.held = committedBytes(::GetCurrentProcess());
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (::GlobalMemoryStatusEx(&status)) room.available = status.ullAvailPhys;
    // The job object this process runs in, if any, may limit the job and each of its processes.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION job{};
    if (::QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &job, sizeof job,
                                    nullptr)) {
        const DWORD flags = job.BasicLimitInformation.LimitFlags;
        if (flags & JOB_OBJECT_LIMIT_JOB_MEMORY) {
            room.groupLeft = leftUnder(job.JobMemoryLimit, committedByJob());
        }
        if (flags & JOB_OBJECT_LIMIT_PROCESS_MEMORY) {
            room.processLeft = leftUnder(job.ProcessMemoryLimit,
                                         committedBytes(::GetCurrentProcess()).value_or(0));
        }
    }
    return room;
}

LimitName groupLimitName() {
    return {"limite mémoire de l'objet tâche (job object) qui contient le programme",
            "memory limit of the job object the program runs in"};
}

LimitName processLimitName() {
    return {"limite mémoire par processus de l'objet tâche (job object)",
            "per-process memory limit of the job object"};
}

}  // namespace plantscan::resources
