#include "section_batch/processes.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace {

bool isExecutableFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

// Only async-signal-safe calls between fork and exec.
void writeRaw(int fd, const char* text) {
    ssize_t ignored = ::write(fd, text, std::strlen(text));
    (void)ignored;
}

int toExitStatus(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return NOT_STARTED;
}

}  // namespace

std::optional<fs::path> findMeasureProgram(const fs::path& ownFolder,
                                           const std::string& pathVariable) {
    const std::string name = "section_measure";
    if (isExecutableFile(ownFolder / name)) return fs::absolute(ownFolder / name);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = pathVariable.find(':', start);
        const std::string folder = pathVariable.substr(start, end - start);
        const fs::path candidate = (folder.empty() ? fs::path(".") : fs::path(folder)) / name;
        if (isExecutableFile(candidate)) return fs::absolute(candidate);
        if (end == std::string::npos) return std::nullopt;
        start = end + 1;
    }
}

fs::path ownFolder() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self.parent_path();
}

pid_t startMeasurement(const fs::path& program, const fs::path& scan, const fs::path& folder) {
    // Everything the child needs is prepared before fork.
    const std::string programText = program.string();
    const std::string scanText = scan.string();
    const std::string folderText = folder.string();
    char* const arguments[] = {const_cast<char*>(programText.c_str()),
                               const_cast<char*>(scanText.c_str()), nullptr};

    const pid_t pid = ::fork();
    if (pid != 0) return pid;

    if (::chdir(folderText.c_str()) != 0) {
        writeRaw(STDERR_FILENO, "section_batch : impossible d'entrer dans le dossier du scan\n");
        ::_exit(NOT_STARTED);
    }
    const int input = ::open("/dev/null", O_RDONLY);
    const int console = ::open("console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errors = ::open("erreurs.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (input < 0 || console < 0 || errors < 0 || ::dup2(input, STDIN_FILENO) < 0 ||
        ::dup2(console, STDOUT_FILENO) < 0 || ::dup2(errors, STDERR_FILENO) < 0) {
        writeRaw(STDERR_FILENO, "section_batch : impossible de créer console.txt ou erreurs.txt\n");
        ::_exit(NOT_STARTED);
    }
    ::execv(programText.c_str(), arguments);
    writeRaw(STDERR_FILENO, "section_batch : impossible de lancer section_measure : ");
    writeRaw(STDERR_FILENO, programText.c_str());
    writeRaw(STDERR_FILENO, "\n");
    ::_exit(NOT_STARTED);
}

std::optional<FinishedChild> waitForChild(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int waitStatus = 0;
        const pid_t pid = ::waitpid(-1, &waitStatus, timeoutMs < 0 ? 0 : WNOHANG);
        if (pid > 0) return FinishedChild{pid, toExitStatus(waitStatus)};
        if (pid < 0 && errno == EINTR) continue;
        if (pid < 0) return FinishedChild{0, NOT_STARTED};
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::string describeExitStatus(int exitStatus) {
    switch (exitStatus) {
        case 0: return "mesure complète";
        case 1: return "pas de section mesurable";
        case 2: return "image absente ou illisible";
        case 3: return "un fichier n'a pas pu être écrit";
        case 4: return "erreur d'OpenCV ou mémoire épuisée";
        case NOT_STARTED: return "section_measure n'a pas pu être lancé";
        default: break;
    }
    if (exitStatus > 128) return "arrêté par le signal " + std::to_string(exitStatus - 128);
    return "statut inconnu";
}
