#include "batch/processes.h"

#include "platform/programs.h"
#include "platform/windows_process.h"
#include "platform/windows_text.h"
#include "stored/scan_folder.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <system_error>
#include <vector>

namespace plantscan::batch {

namespace fs = std::filesystem;

namespace {

// What the Microsoft C runtime numbers SIGBREAK; Linux has no such signal.
constexpr int BREAK_SIGNAL = 21;
constexpr int HANGUP_SIGNAL = 1;
// What a process ended by Ctrl-C or Ctrl-Break returns (STATUS_CONTROL_C_EXIT).
constexpr DWORD ENDED_BY_CONSOLE_EVENT = 0xC000013A;

// A process ended by an exception, as a shell on Linux shows one ended by the matching signal:
// 128 + its number. Any other exception counts as SIGABRT's, an abnormal end.
int statusOfException(DWORD code) {
    switch (code) {
        case ENDED_BY_CONSOLE_EVENT: return 128 + SIGINT;
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_STACK_OVERFLOW:
        case EXCEPTION_IN_PAGE_ERROR:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return 128 + SIGSEGV;
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_PRIV_INSTRUCTION: return 128 + SIGILL;
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_OVERFLOW:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_OVERFLOW:
        case EXCEPTION_FLT_UNDERFLOW:
        case EXCEPTION_FLT_INEXACT_RESULT:
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_DENORMAL_OPERAND:
        case EXCEPTION_FLT_STACK_CHECK: return 128 + SIGFPE;
        default: return 128 + SIGABRT;
    }
}

int exitStatusOf(DWORD code) {
    // NTSTATUS error codes: the severity bits set.
    return code >= 0xC0000000u ? statusOfException(code) : static_cast<int>(code);
}

// The console's events reach a handler that has no context of its own: the one stop asked for
// is kept here for the batch's measurements to find (0: none yet).
std::atomic<int>& stopAsked() {
    static std::atomic<int> signal{0};
    return signal;
}

HANDLE stopEvent() {
    static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

BOOL WINAPI askToStop(DWORD event) {
    const int signal = event == CTRL_C_EVENT       ? SIGINT
                       : event == CTRL_BREAK_EVENT ? BREAK_SIGNAL
                                                   : HANGUP_SIGNAL;
    int none = 0;
    stopAsked().compare_exchange_strong(none, signal);
    ::SetEvent(stopEvent());
    // Ctrl-C and Ctrl-Break are ours to handle. A closed console, a logoff or a shutdown end the
    // batch once this returns; its job object then ends the children.
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

}  // namespace

fs::path ownExecutable() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return fs::path();
        if (length < path.size()) {
            path.resize(length);
            return fs::path(path);
        }
        path.resize(path.size() * 2);
    }
}

fs::path ownFolder() { return ownExecutable().parent_path(); }

struct Measurements::Children {
    HANDLE job = nullptr;
    bool jobRefusedSaid = false;
    std::vector<PROCESS_INFORMATION> running;
    // Children that could not be started, reported by the next wait as ended (NOT_STARTED).
    std::vector<ChildId> notStarted;
    ChildId nextNotStarted = -2;
};

Measurements::Measurements() : children_(std::make_unique<Children>()) {
    // Ends every child when the batch's last handle to it closes: at its end, whatever ends it.
    children_->job = ::CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (children_->job != nullptr) {
        ::SetInformationJobObject(children_->job, JobObjectExtendedLimitInformation, &limits,
                                  sizeof limits);
    }
    stopEvent();
    ::SetConsoleCtrlHandler(askToStop, TRUE);
}

Measurements::~Measurements() {
    ::SetConsoleCtrlHandler(askToStop, FALSE);
    for (const PROCESS_INFORMATION& child : children_->running) ::CloseHandle(child.hProcess);
    if (children_->job != nullptr) ::CloseHandle(children_->job);
}

ChildId Measurements::start(const fs::path& program, const std::vector<std::string>& arguments,
                            const fs::path& folder, const ChildShare& share) {
    const platform::OwnedHandle input{platform::openInheritable("NUL", false)};
    const platform::OwnedHandle console{
        platform::openInheritable(folder / stored::CONSOLE_FILE, true)};
    const platform::OwnedHandle errors{
        platform::openInheritable(folder / stored::ERRORS_FILE, true)};
    // As a program that cannot be executed on Linux: its status says so, and why where it can.
    const auto notStarted = [this](HANDLE errorFile, const std::string& message) {
        DWORD written = 0;
        if (errorFile == INVALID_HANDLE_VALUE ||
            !::WriteFile(errorFile, message.data(), static_cast<DWORD>(message.size()), &written,
                         nullptr)) {
            std::cerr << message << std::flush;
        }
        children_->notStarted.push_back(children_->nextNotStarted);
        return children_->nextNotStarted--;
    };
    if (input.value == INVALID_HANDLE_VALUE || console.value == INVALID_HANDLE_VALUE ||
        errors.value == INVALID_HANDLE_VALUE) {
        return notStarted(INVALID_HANDLE_VALUE, "impossible de créer console.txt ou erreurs.txt\n");
    }
    platform::ChildSetup setup;
    setup.program = program;
    setup.arguments = arguments;
    setup.folder = folder;
    setup.environment = childEnvironment(platform::environmentVariables(), share);
    setup.input = input.value;
    setup.output = console.value;
    setup.errors = errors.value;
    setup.job = children_->job;
    setup.withoutConsole = true;
    const std::optional<platform::StartedChild> child = platform::startChild(setup);
    if (!child) {
        const std::string cause =
            std::system_category().message(static_cast<int>(::GetLastError()));
        return notStarted(errors.value,
                          "impossible de lancer " + program.u8string() + " (" + cause + ")\n");
    }
    ::CloseHandle(child->process.hThread);
    if (!child->inJob && !children_->jobRefusedSaid) {
        // Before Windows 8 a process already in a job cannot be put in another.
        std::cerr << ownExecutable().stem().u8string()
                  << " : le système refuse de mettre les mesures dans l'objet tâche "
                     "de la série : arrêtée de force, la série les laisserait aller à leur fin"
                  << std::endl;
        children_->jobRefusedSaid = true;
    }
    children_->running.push_back(child->process);
    return static_cast<ChildId>(child->process.dwProcessId);
}

std::optional<FinishedChild> Measurements::waitForChild(int timeoutMs) {
    if (!children_->notStarted.empty()) {
        const ChildId id = children_->notStarted.front();
        children_->notStarted.erase(children_->notStarted.begin());
        return FinishedChild{id, stored::NOT_STARTED, 0};
    }
    if (const int signal = stopAsked().load()) return FinishedChild{0, 0, signal};
    std::vector<PROCESS_INFORMATION>& running = children_->running;
    if (running.empty()) return FinishedChild{0, stored::NOT_STARTED, 0};
    // The stop first, then up to 63 children (MAXIMUM_WAIT_OBJECTS): never more run at once.
    std::vector<HANDLE> handles{stopEvent()};
    for (const PROCESS_INFORMATION& child : running) {
        if (handles.size() == MAXIMUM_WAIT_OBJECTS) break;
        handles.push_back(child.hProcess);
    }
    const DWORD woken =
        ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                 timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (woken == WAIT_TIMEOUT || woken == WAIT_FAILED) return std::nullopt;
    if (woken == WAIT_OBJECT_0) return FinishedChild{0, 0, stopAsked().load()};
    const std::size_t index = woken - WAIT_OBJECT_0 - 1;
    const PROCESS_INFORMATION child = running[index];
    running.erase(running.begin() + static_cast<std::ptrdiff_t>(index));
    DWORD code = 0;
    ::GetExitCodeProcess(child.hProcess, &code);
    ::CloseHandle(child.hProcess);
    // A child ended by a console event the batch received too: the batch's stop, which comes
    // from another thread, may be a moment behind.
    if (code == ENDED_BY_CONSOLE_EVENT &&
        ::WaitForSingleObject(stopEvent(), 1000) == WAIT_OBJECT_0) {
        return FinishedChild{0, 0, stopAsked().load()};
    }
    return FinishedChild{static_cast<ChildId>(child.dwProcessId), exitStatusOf(code), 0};
}

void Measurements::stopAll(int) {
    for (const PROCESS_INFORMATION& child : children_->running) {
        ::TerminateProcess(child.hProcess, ENDED_BY_CONSOLE_EVENT);
    }
    for (const PROCESS_INFORMATION& child : children_->running) {
        ::WaitForSingleObject(child.hProcess, INFINITE);
        ::CloseHandle(child.hProcess);
    }
    children_->running.clear();
    children_->notStarted.clear();
}

}  // namespace plantscan::batch
