// A batch program started from the desktop (Explorer's menu on a folder, the Start menu, a
// folder dropped onto it, a double-click) rather than typed in a console: it works as if the
// user had opened a console in the chosen folder and typed the command with its defaults, then
// shows the page and waits for Enter before its window closes.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace plantscan::batch {

// The option Explorer's menu and the Start menu start a batch program with: alone, the folder
// picker; followed by a folder, that folder.
inline constexpr const char* DESKTOP_OPTION = "--fenetre";

// Tests only: a file where each request to open a page is recorded (a line, its path) instead of
// the browser being asked, and the folder the picker answers (empty: cancelled).
inline constexpr const char* OPENED_PAGES_VARIABLE = "PLANT_SCAN_TEST_OPENED_PAGES";
inline constexpr const char* PICKED_FOLDER_VARIABLE = "PLANT_SCAN_TEST_PICKED_FOLDER";

struct StartRequest {
    enum class Way { COMMAND, FOLDER, PICK_FOLDER, REFUSED };
    Way way = Way::COMMAND;
    std::string folder;      // FOLDER: the folder given; REFUSED: why
    bool waitAtEnd = false;  // COMMAND in a window that closes with the program
};

// From the arguments (the program's name apart) and whether the program owns its console alone:
// a double-click gives no argument, a folder dropped onto it one.
StartRequest howStarted(const std::vector<std::string>& arguments, bool ownsConsoleAlone);

// Where a batch started on `folder` writes: folder/defaultOut as typed there, or, when that
// cannot be written, Documents/<folder's name>/defaultOut.
std::filesystem::path resultsFolderFor(const std::filesystem::path& folder,
                                       const std::string& defaultOut, bool writable,
                                       const std::filesystem::path& documents);

// What the desktop start needs of a batch program: its name, its default SORTIE, and the run of
// a command line (the program's name, then its arguments).
struct DesktopBatch {
    std::string name;
    std::string defaultOutFolder;
    std::function<int(const std::vector<std::string>&)> run;
};

// The help's paragraph on the desktop starts, ended by a line break.
std::string desktopHelp(const std::string& batchName, const std::string& defaultOut);

// Runs `words` (the program's name, then its arguments) as they ask: a command as typed, or a
// folder as from the desktop.
int runAsStarted(const std::vector<std::string>& words, const DesktopBatch& batch);

}  // namespace plantscan::batch
