#include "resources/resources.h"

#include <windows.h>
// After windows.h, whose types it takes.
#include <psapi.h>

#include <algorithm>
#include <bitset>
#include <thread>
#include <vector>

namespace plantscan::resources {

int availableCores() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process != system) {
        return std::max<int>(1, static_cast<int>(std::bitset<64>(process).count()));
    }
    // Unrestricted: every processor group, not only this process's first one.
    const DWORD all = ::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    if (all > 0) return static_cast<int>(all);
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
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
