#include "batch/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace fs = std::filesystem;

bool writeFileAtomically(const fs::path& path, const std::string& text) {
    // Host name and process id keep two batches sharing a folder, on one machine or several,
    // from writing the same temporary file.
    char host[256] = {};
    if (::gethostname(host, sizeof(host) - 1) != 0) host[0] = '\0';
    fs::path temporary = path;
    temporary += ".tmp-" + std::string(host) + "-" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        written += static_cast<std::size_t>(n);
    }
    // Flushed to disk before the rename, so a crash leaves the old file or the whole new one.
    const bool complete = written == text.size() && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!complete || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool syncToDisk(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}
