#include "memory_cgroup.h"

#include "support/test_files.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using test_support::readBytes;
using test_support::runProgram;

namespace {

bool writeValue(const fs::path& file, const std::string& value) {
    std::ofstream out(file);
    out << value << std::flush;
    return static_cast<bool>(out);
}

}  // namespace

MemoryCgroup::MemoryCgroup(std::uint64_t limit) {
    if (::geteuid() != 0) return;
    // Several may live at once.
    static int made = 0;
    const std::string name =
        "plant_memory_test_" + std::to_string(::getpid()) + "_" + std::to_string(made++);
    const std::string controllers = readBytes("/sys/fs/cgroup/cgroup.subtree_control");
    if (controllers.find("memory") != std::string::npos) {
        make("/sys/fs/cgroup/" + name, "memory.max", limit);
        return;
    }
    std::istringstream lines(readBytes("/proc/self/cgroup"));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t colon = line.find(":memory:");
        if (colon == std::string::npos) continue;
        const fs::path own = line.substr(colon + 8);
        make(fs::path("/sys/fs/cgroup/memory") / own.relative_path() / name,
             "memory.limit_in_bytes", limit);
    }
}

MemoryCgroup::~MemoryCgroup() {
    std::error_code error;
    if (!folder_.empty()) fs::remove(folder_, error);  // rmdir: the files go with it
}

void MemoryCgroup::make(const fs::path& folder, const std::string& limitFile,
                        std::uint64_t limit) {
    std::error_code error;
    if (!fs::create_directory(folder, error) || error) return;
    if (!writeValue(folder / limitFile, std::to_string(limit))) {
        fs::remove(folder, error);
        return;
    }
    // Without swap counted, v1 would swap rather than stop at the limit.
    if (fs::exists(folder / "memory.memsw.limit_in_bytes")) {
        writeValue(folder / "memory.memsw.limit_in_bytes", std::to_string(limit));
    }
    // A container may let the folder be made and still refuse to move a process into it.
    const std::string enter = "echo $$ > '" + (folder / "cgroup.procs").string() + "'";
    if (runProgram("/bin/sh", {"-c", enter}).status != 0) {
        fs::remove(folder, error);
        return;
    }
    folder_ = folder;
}

test_support::RunResult runInCgroup(const MemoryCgroup& cgroup, const std::string& program,
                                    const std::string& scan, test_support::RunOptions options) {
    const std::string enter =
        "echo $$ > '" + (cgroup.folder() / "cgroup.procs").string() + "' && exec \"$0\" \"$@\"";
    return runProgram("/bin/sh", {"-c", enter, program, scan}, options);
}
