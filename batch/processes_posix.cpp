#include "batch/processes.h"

#include "platform/programs.h"
#include "stored/scan_folder.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

namespace plantscan::batch {

namespace fs = std::filesystem;

namespace {

// Only async-signal-safe calls between fork and exec.
void writeRaw(int fd, const char* text) {
    ssize_t ignored = ::write(fd, text, std::strlen(text));
    (void)ignored;
}

int toExitStatus(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return stored::NOT_STARTED;
}

}  // namespace

fs::path ownExecutable() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self;
}

fs::path ownFolder() { return ownExecutable().parent_path(); }

namespace {

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
    return signals;
}

pid_t startMeasurement(const fs::path& program, const std::vector<std::string>& arguments,
                       const fs::path& folder, const ChildShare& share) {
    // Everything the child needs is prepared before fork.
    const std::string programText = program.string();
    const std::string folderText = folder.string();
    std::vector<char*> argumentList{const_cast<char*>(programText.c_str())};
    for (const std::string& argument : arguments)
        argumentList.push_back(const_cast<char*>(argument.c_str()));
    argumentList.push_back(nullptr);
    const std::vector<std::string> variables =
        childEnvironment(platform::environmentVariables(), share);
    std::vector<char*> environment;
    for (const std::string& variable : variables) {
        environment.push_back(const_cast<char*>(variable.c_str()));
    }
    environment.push_back(nullptr);
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid != 0) return pid;

    // Ends with the batch, even one killed outright; a batch already gone leaves nothing to do.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(stored::NOT_STARTED);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (::chdir(folderText.c_str()) != 0) {
        writeRaw(STDERR_FILENO, "impossible d'entrer dans le dossier du scan\n");
        ::_exit(stored::NOT_STARTED);
    }
    // Close-on-exec: the program gets its three streams and no stray copies of them.
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int console =
        ::open(stored::CONSOLE_FILE, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errors = ::open(stored::ERRORS_FILE, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (input < 0 || console < 0 || errors < 0 || ::dup2(input, STDIN_FILENO) < 0 ||
        ::dup2(console, STDOUT_FILENO) < 0 || ::dup2(errors, STDERR_FILENO) < 0) {
        writeRaw(STDERR_FILENO, "impossible de créer console.txt ou erreurs.txt\n");
        ::_exit(stored::NOT_STARTED);
    }
    // Nor any descriptor the batch itself inherited without close-on-exec.
    if (::close_range(3, ~0U, 0) != 0) {
        for (long fd = 3, last = ::sysconf(_SC_OPEN_MAX); fd < last; ++fd)
            ::close(static_cast<int>(fd));
    }
    ::execve(programText.c_str(), argumentList.data(), environment.data());
    writeRaw(STDERR_FILENO, "impossible de lancer ");
    writeRaw(STDERR_FILENO, programText.c_str());
    writeRaw(STDERR_FILENO, "\n");
    ::_exit(stored::NOT_STARTED);
}

}  // namespace

struct Measurements::Children {
    std::vector<pid_t> running;
};

Measurements::Measurements() : children_(std::make_unique<Children>()) {
    // An ignored SIGCHLD, inherited from whoever started us, would make the children's
    // statuses vanish.
    std::signal(SIGCHLD, SIG_DFL);
    sigset_t held = stopSignals();
    sigaddset(&held, SIGCHLD);
    ::sigprocmask(SIG_BLOCK, &held, nullptr);
}

Measurements::~Measurements() = default;

ChildId Measurements::start(const fs::path& program, const std::vector<std::string>& arguments,
                            const fs::path& folder, const ChildShare& share) {
    const pid_t pid = startMeasurement(program, arguments, folder, share);
    if (pid > 0) children_->running.push_back(pid);
    return pid;
}

std::optional<FinishedChild> Measurements::waitForChild(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    sigset_t awaited = stopSignals();
    sigaddset(&awaited, SIGCHLD);
    std::vector<pid_t>& running = children_->running;
    for (;;) {
        int waitStatus = 0;
        const pid_t pid = ::waitpid(-1, &waitStatus, WNOHANG);
        if (pid > 0) {
            running.erase(std::remove(running.begin(), running.end(), pid), running.end());
            return FinishedChild{pid, toExitStatus(waitStatus), 0};
        }
        if (pid < 0 && errno == EINTR) continue;
        if (pid < 0) {
            running.clear();
            return FinishedChild{0, stored::NOT_STARTED, 0};
        }
        // A held SIGCHLD stays pending until taken here, so no child's end slips between.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (timeoutMs >= 0 && left.count() <= 0) return std::nullopt;
        const long waitMs = timeoutMs < 0 ? 1000 : std::min<long>(left.count(), 1000);
        const timespec timeout{waitMs / 1000, (waitMs % 1000) * 1000000};
        const int signal = ::sigtimedwait(&awaited, nullptr, &timeout);
        if (signal > 0 && signal != SIGCHLD) return FinishedChild{0, 0, signal};
    }
}

void Measurements::stopAll(int signal) {
    for (const pid_t pid : children_->running) ::kill(pid, signal);
    for (const pid_t pid : children_->running) {
        int waitStatus = 0;
        while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
        }
    }
    children_->running.clear();
}

}  // namespace plantscan::batch
