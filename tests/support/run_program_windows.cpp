#include "support/run_program.h"

#include "platform/programs.h"
#include "platform/windows_process.h"
#include "platform/windows_text.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, whose types it takes.
#include <psapi.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <random>

using namespace plantscan::platform;

namespace fs = std::filesystem;

namespace test_support {

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A console program writes its lines with CR LF here: the tests compare them as on Linux.
std::string withLinuxLineEnds(std::string text) {
    std::string::size_type at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
    return text;
}

std::vector<std::string> childEnvironment(const RunOptions& options) {
    std::vector<std::string> entries;
    std::string path;
    for (const std::string& entry : environmentVariables()) {
        if (setsVariable(entry, "PATH")) path = entry.substr(5);
        bool replaced = !options.pathPrefix.empty() && setsVariable(entry, "PATH");
        for (const auto& [name, value] : options.environment) replaced |= setsVariable(entry, name);
        if (!replaced) entries.push_back(entry);
    }
    for (const auto& [name, value] : options.environment) {
        entries.push_back(name + "=" + value);
        if (name == "PATH") path = value;
    }
    if (!options.pathPrefix.empty()) entries.push_back("PATH=" + options.pathPrefix + ";" + path);
    return entries;
}

// As execve after chdir would find it: a relative path from the program's folder, with the
// ".exe" a Windows program's name has; a bare name along the PATH.
fs::path resolve(const std::string& program, const RunOptions& options) {
    if (program.find_first_of("/\\") == std::string::npos) {
        wchar_t found[MAX_PATH];
        const std::wstring name(program.begin(), program.end());
        if (::SearchPathW(nullptr, name.c_str(), L".exe", MAX_PATH, found, nullptr) == 0) {
            return program;
        }
        return found;
    }
    fs::path path = fs::u8path(program);
    if (!path.has_root_directory() && !options.folder.empty()) path = options.folder / path;
    std::error_code error;
    if (!fs::exists(path, error) && !path.has_extension()) path += ".exe";
    return path;
}

// The child `program arguments...` as `options` place it; its handles are the caller's to set.
ChildSetup setupFor(const std::string& program, const std::vector<std::string>& arguments,
                    const RunOptions& options) {
    ChildSetup setup;
    setup.program = resolve(program, options);
    setup.commandName = program;
    setup.arguments = arguments;
    setup.folder = options.folder;
    setup.environment = childEnvironment(options);
    return setup;
}

// The capture files, in a folder of their own that the program never sees.
class CaptureFolder {
public:
    CaptureFolder() {
        std::random_device entropy;
        for (int attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
            const fs::path candidate =
                fs::temp_directory_path() / ("run_program_" + std::to_string(entropy()));
            std::error_code error;
            if (fs::create_directory(candidate, error)) folder_ = candidate;
        }
    }
    ~CaptureFolder() {
        std::error_code ignored;
        if (!folder_.empty()) fs::remove_all(folder_, ignored);
    }
    CaptureFolder(const CaptureFolder&) = delete;
    CaptureFolder& operator=(const CaptureFolder&) = delete;
    const fs::path& path() const { return folder_; }

private:
    fs::path folder_;
};

// Runs the program with its streams going to "out" and "err" in `capture`, and waits for it.
bool runInto(const std::string& program, const std::vector<std::string>& arguments,
             const RunOptions& options, const fs::path& capture, RunResult& run) {
    const OwnedHandle input{openInheritable("NUL", false)};
    const OwnedHandle output{openInheritable(capture / "out", true)};
    const OwnedHandle errors{openInheritable(capture / "err", true)};
    if (input.value == INVALID_HANDLE_VALUE || output.value == INVALID_HANDLE_VALUE ||
        errors.value == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot open the capture files: error " << ::GetLastError();
        return false;
    }
    // A memory limit is a job object's limit on each of its processes.
    const OwnedHandle job{options.addressSpaceLimit != 0 ? ::CreateJobObjectW(nullptr, nullptr)
                                                         : nullptr};
    if (job.value != nullptr) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags =
            JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        limits.ProcessMemoryLimit = static_cast<SIZE_T>(options.addressSpaceLimit);
        ::SetInformationJobObject(job.value, JobObjectExtendedLimitInformation, &limits,
                                  sizeof limits);
    }
    ChildSetup setup = setupFor(program, arguments, options);
    setup.input = input.value;
    setup.output = output.value;
    setup.errors = errors.value;
    setup.job = job.value;
    const std::optional<StartedChild> child = startChild(setup);
    if (!child) {
        ADD_FAILURE() << "cannot run " << program << ": error " << ::GetLastError();
        return false;
    }
    const OwnedHandle process{child->process.hProcess}, thread{child->process.hThread};
    if (!child->inJob) ADD_FAILURE() << "the memory limit's job object was refused";
    ::WaitForSingleObject(process.value, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.value, &code);
    // An exception (access violation, stack overflow...) ends a program as a signal would.
    run.signalled = code >= 0xC0000000u && code != 0xFFFFFFFFu;
    if (run.signalled) run.signal = static_cast<int>(code);
    run.status = run.signalled ? -1 : static_cast<int>(code);
    PROCESS_MEMORY_COUNTERS memory{};
    if (::GetProcessMemoryInfo(process.value, &memory, sizeof memory)) {
        run.peakBytes = memory.PeakWorkingSetSize;
    }
    return true;
}

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const RunOptions& options) {
    RunResult run;
    const CaptureFolder capture;
    if (capture.path().empty()) {
        ADD_FAILURE() << "cannot create a folder for the capture files";
        return run;
    }
    if (!runInto(program, arguments, options, capture.path(), run)) return run;
    run.out = withLinuxLineEnds(readFile(capture.path() / "out"));
    run.err = withLinuxLineEnds(readFile(capture.path() / "err"));
    return run;
}

int exitStatusFor(int returned) { return returned; }

bool readOnlyFoldersHoldBack() {
    const CaptureFolder probe;
    const fs::path folder = probe.path() / "read_only";
    std::error_code error;
    fs::create_directory(folder, error);
    fs::permissions(folder,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove, error);
    const bool written = static_cast<bool>(std::ofstream(folder / "probe"));
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add, error);
    return !written;
}

// Asked the way the programs ask, from a process in a job whose limit binds nothing.
bool memoryLimitsAreSeen() {
    static const bool seen = [] {
        const HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
        limits.ProcessMemoryLimit = SIZE_T{1} << 40;
        if (job == nullptr ||
            !::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                       sizeof limits) ||
            !::AssignProcessToJobObject(job, ::GetCurrentProcess())) {
            return false;
        }
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION found{};
        return ::QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &found,
                                           sizeof found, nullptr) &&
               (found.BasicLimitInformation.LimitFlags & JOB_OBJECT_LIMIT_PROCESS_MEMORY) != 0;
    }();
    return seen;
}

BackgroundProgram startInBackground(const std::string& program,
                                    const std::vector<std::string>& arguments,
                                    const RunOptions& options) {
    const OwnedHandle input{openInheritable("NUL", false)};
    const OwnedHandle output{openInheritable("NUL", true)};
    ChildSetup setup = setupFor(program, arguments, options);
    setup.input = input.value;
    setup.output = output.value;
    setup.errors = output.value;
    const std::optional<StartedChild> child = startChild(setup);
    if (!child) return {};
    ::CloseHandle(child->process.hThread);
    return {static_cast<long>(child->process.dwProcessId), child->process.hProcess};
}

std::vector<Ending> endingsFromOutside() { return {{"TerminateProcess", 1, false}}; }

void endFromOutside(const BackgroundProgram& program, const Ending& ending) {
    ::TerminateProcess(program.handle, static_cast<UINT>(ending.code));
}

int waitForEnd(BackgroundProgram& program) {
    ::WaitForSingleObject(program.handle, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(program.handle, &code);
    ::CloseHandle(program.handle);
    program.handle = nullptr;
    return static_cast<int>(code);
}

bool processHasEnded(long id) {
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (process == nullptr) return true;
    const bool ended = ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

void endAsCrashed() {
    ::TerminateProcess(::GetCurrentProcess(), EXCEPTION_ACCESS_VIOLATION);
    ::ExitProcess(EXCEPTION_ACCESS_VIOLATION);
}

int crashedStatus() { return 128 + SIGSEGV; }

std::vector<int> openFilesBeyondStandardStreams() { return {}; }

char pathListSeparator() { return ';'; }

}  // namespace test_support
