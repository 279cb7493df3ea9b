// A whole batch program over the shared machinery: the command line, --help and --version, a
// batch (resumed, or a shard of one) or a merge, the table, the page, the run record and the
// summary. Each batch program is a BatchKind and a call.
#pragma once

#include "page/results_page.h"
#include "resources/memory_need.h"
#include "stored/scan_folder.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plantscan::batch {

// What a batch program brings: its name and texts, the program it runs on each scan and what
// that program leaves, its table and its page.
struct BatchKind {
    std::string name;              // "section_batch", in messages, --help and --version
    std::string defaultOutFolder;  // SORTIE when not given
    stored::FolderLayout layout;   // its scanDpi is replaced by --dpi, when the kind takes it
    resources::MemoryNeed need{};  // of one child
    bool takesDpi = false;
    // "update.bat" through the command interpreter, once, before the scans are listed, as a
    // lone run of the program does; not for a shard (it could rename scans under the others).
    bool runsUpdateHook = false;
    std::string (*help)() = nullptr;
    // The program to run on each scan, and its arguments; nothing when it cannot be found.
    std::optional<std::filesystem::path> (*findChild)() = nullptr;
    std::vector<std::string> (*childArguments)(const std::filesystem::path& scan,
                                               input::Dpi dpi) = nullptr;
    std::string tableFile;
    std::string (*table)(const std::vector<stored::ScanResult>& results,
                         const stored::FolderLayout& layout) = nullptr;
    std::string (*page)(const std::vector<stored::ScanResult>& results,
                        const stored::FolderLayout& layout,
                        const page::PageContext& context) = nullptr;
    // Lines said after the summary line ("12 pétales ; sans pétale : a.jpg").
    std::vector<std::string> (*summaryNote)(const std::vector<stored::ScanResult>& results,
                                            const stored::FolderLayout& layout) = nullptr;
};

enum BatchExitStatus { ALL_MEASURED = 0, SOME_FAILED = 1, BAD_COMMAND_LINE = 2 };

// `words`: the program's name, then its arguments. Whatever goes wrong ends with a status and a
// message, never with an abort.
int runBatchProgram(const std::vector<std::string>& words, const BatchKind& kind);

}  // namespace plantscan::batch
