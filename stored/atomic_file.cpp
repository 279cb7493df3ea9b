#include "stored/atomic_file.h"

#include "platform/files.h"
#include "platform/machine.h"

namespace plantscan::stored {

namespace fs = std::filesystem;

bool writeFileAtomically(const fs::path& path, const std::string& text) {
    // Host name and process id keep two batches sharing a folder, on one machine or several,
    // from writing the same temporary file.
    fs::path temporary = path;
    temporary += ".tmp-" + platform::hostName() + "-" + std::to_string(platform::processId());
    // On disk before it takes the old file's place, so a crash leaves the old file or the
    // whole new one.
    if (platform::writeToDisk(temporary, text) && platform::replaceFile(temporary, path))
        return true;
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
}

}  // namespace plantscan::stored
