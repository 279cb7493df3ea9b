#include "support/run_program.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <system_error>

extern char** environ;

namespace fs = std::filesystem;

namespace test_support {

namespace {

constexpr uid_t NOBODY = 65534;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// An unnamed file: nothing of it appears in any folder.
File captureFile() {
    File file(std::tmpfile(), &std::fclose);
    if (file) ::fcntl(::fileno(file.get()), F_SETFD, FD_CLOEXEC);
    return file;
}

std::string readAll(std::FILE* file) {
    std::string text;
    std::rewind(file);  // the child moved the shared offset
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    return text;
}

std::vector<std::string> childEnvironment(const RunOptions& options) {
    std::vector<std::string> entries;
    auto replaced = [&options](const std::string& entry) {
        for (const auto& [name, value] : options.environment) {
            if (entry.compare(0, name.size() + 1, name + "=") == 0) return true;
        }
        return !options.pathPrefix.empty() && entry.compare(0, 5, "PATH=") == 0;
    };
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!replaced(*entry)) entries.emplace_back(*entry);
    }
    for (const auto& [name, value] : options.environment) {
        entries.push_back(name + "=" + value);
        if (name == "PATH") path = value;
    }
    if (!options.pathPrefix.empty()) entries.push_back("PATH=" + options.pathPrefix + ":" + path);
    return entries;
}

// Looked up here, since after fork only async-signal-safe calls are allowed.
std::string resolve(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find(':', start);
        const fs::path candidate = fs::path(path.substr(start, end - start)) / program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
        if (end == std::string::npos) return program;
        start = end + 1;
    }
}

[[noreturn]] void fail(int status, const char* what) {
    const ssize_t ignored = ::write(2, what, std::strlen(what));
    (void)ignored;
    ::_exit(status);
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

// Nobody may not reach the build tree (a clone in /root, mode 700): it runs a copy placed
// where everyone may execute it.
class ProgramCopyForNobody {
public:
    explicit ProgramCopyForNobody(const std::string& executable) {
        std::string pattern = (fs::temp_directory_path() / "run_as_nobody_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return;
        folder_ = pattern;
        std::error_code error;
        fs::permissions(folder_,
                        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec,
                        error);
        const fs::path copy = folder_ / fs::path(executable).filename();
        if (!error && fs::copy_file(executable, copy, error)) path_ = copy.string();
    }
    ~ProgramCopyForNobody() {
        std::error_code ignored;
        if (!folder_.empty()) fs::remove_all(folder_, ignored);
    }
    ProgramCopyForNobody(const ProgramCopyForNobody&) = delete;
    ProgramCopyForNobody& operator=(const ProgramCopyForNobody&) = delete;

    // Empty when the copy could not be made.
    const std::string& path() const { return path_; }

private:
    fs::path folder_;
    std::string path_;
};

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const RunOptions& options) {
    RunResult run;
    const File out = captureFile(), err = captureFile();
    if (!out || !err) {
        ADD_FAILURE() << "cannot create the capture files: " << std::strerror(errno);
        return run;
    }
    std::string executable = resolve(program);
    std::unique_ptr<ProgramCopyForNobody> copy;
    if (options.asNobody && ::geteuid() == 0) {
        copy = std::make_unique<ProgramCopyForNobody>(executable);
        if (copy->path().empty()) {
            ADD_FAILURE() << "cannot copy " << executable << " where nobody may run it";
            return run;
        }
        executable = copy->path();
    }
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envStrings = childEnvironment(options);
    const std::vector<char*> argv = pointers(argStrings), envp = pointers(envStrings);
    const int outFd = ::fileno(out.get()), errFd = ::fileno(err.get());

    const pid_t pid = ::fork();
    if (pid == 0) {
        // Nothing to read, as on Windows: a program that waits for a line ends at once.
        const int nothing = ::open("/dev/null", O_RDONLY);
        if (nothing < 0 || ::dup2(nothing, 0) < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0)
            ::_exit(120);
        if (!options.folder.empty() && ::chdir(options.folder.c_str()) != 0)
            fail(121, "runProgram: chdir\n");
        if (options.addressSpaceLimit != 0) {
            const rlimit limit{options.addressSpaceLimit, options.addressSpaceLimit};
            if (::setrlimit(RLIMIT_AS, &limit) != 0) fail(122, "runProgram: setrlimit\n");
        }
        if (options.asNobody && ::geteuid() == 0 &&
            (::setgid(NOBODY) != 0 || ::setuid(NOBODY) != 0)) {
            fail(123, "runProgram: cannot become nobody\n");
        }
        ::execve(executable.c_str(), argv.data(), envp.data());
        fail(124, "runProgram: exec failed\n");
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) {
        ADD_FAILURE() << "cannot run " << program << ": " << std::strerror(errno);
        return run;
    }
    run.signalled = WIFSIGNALED(status);
    if (run.signalled) run.signal = WTERMSIG(status);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.peakBytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    run.out = readAll(out.get());
    run.err = readAll(err.get());
    return run;
}

int exitStatusFor(int returned) { return returned & 0xff; }

bool readOnlyFoldersHoldBack() { return true; }

bool memoryLimitsAreSeen() { return true; }

BackgroundProgram startInBackground(const std::string& program,
                                    const std::vector<std::string>& arguments,
                                    const RunOptions& options) {
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envStrings = childEnvironment(options);
    const std::vector<char*> argv = pointers(argStrings), envp = pointers(envStrings);
    const std::string executable = resolve(program);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int nowhere = ::open("/dev/null", O_RDWR);
        if (nowhere < 0 || ::dup2(nowhere, 0) < 0 || ::dup2(nowhere, 1) < 0 ||
            ::dup2(nowhere, 2) < 0) {
            ::_exit(120);
        }
        if (!options.folder.empty() && ::chdir(options.folder.c_str()) != 0) ::_exit(121);
        ::execve(executable.c_str(), argv.data(), envp.data());
        ::_exit(124);
    }
    return {pid > 0 ? static_cast<long>(pid) : 0, nullptr};
}

std::vector<Ending> endingsFromOutside() {
    return {{"SIGTERM", SIGTERM, true}, {"SIGINT", SIGINT, true}, {"SIGKILL", SIGKILL, false}};
}

void endFromOutside(const BackgroundProgram& program, const Ending& ending) {
    ::kill(static_cast<pid_t>(program.id), ending.code);
}

int waitForEnd(BackgroundProgram& program) {
    int status = 0;
    while (::waitpid(static_cast<pid_t>(program.id), &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool processHasEnded(long id) {
    std::ifstream stat("/proc/" + std::to_string(id) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

void endAsCrashed() {
    ::kill(::getpid(), SIGKILL);
    ::_exit(128 + SIGKILL);
}

int crashedStatus() { return 128 + SIGKILL; }

std::vector<int> openFilesBeyondStandardStreams() {
    std::vector<int> open;
    for (int fd = 3; fd < 1024; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1) open.push_back(fd);
    }
    return open;
}

char pathListSeparator() { return ':'; }

}  // namespace test_support
