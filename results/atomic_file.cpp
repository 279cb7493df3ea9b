#include "results/atomic_file.h"

#include "platform/files.h"
#include "platform/machine.h"

namespace fs = std::filesystem;

bool writeFileAtomically(const fs::path& path, const std::string& text) {
    // Host name and process id keep two batches sharing a folder, on one machine or several,
    // from writing the same temporary file.
    fs::path temporary = path;
    temporary += ".tmp-" + hostName() + "-" + std::to_string(processId());
    // On disk before it takes the old file's place, so a crash leaves the old file or the
    // whole new one.
    if (writeToDisk(temporary, text) && replaceFile(temporary, path)) return true;
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
}
