#include "batch/desktop_start.h"

#include "batch/help_text.h"
#include "batch/scans.h"
#include "batch/scheduler.h"
#include "page/results_page.h"
#include "platform/launch.h"
#include "platform/paths.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace plantscan::batch {

namespace {

using platform::pathFromUtf8;
using platform::utf8FromPath;

// The name a folder is known by: its last part, or its drive ("D" for "D:\").
std::string folderName(const fs::path& folder) {
    fs::path path = folder.lexically_normal();
    if (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
    if (path.has_filename()) return utf8FromPath(path.filename());
    const std::string drive = platform::nameUnderFolder(utf8FromPath(path.root_name()));
    return drive.empty() ? "racine" : drive;
}

// Whether the batch could write there: the folder made (it is kept, as the batch would make it)
// and a file written into it and removed.
bool canWriteInto(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder, error)) return false;
    const fs::path probe = folder / ".ecriture_possible";
    const bool written = static_cast<bool>(std::ofstream(probe, std::ios::binary));
    fs::remove(probe, error);
    return written;
}

std::optional<fs::path> chooseFolder(const std::string& batchName) {
    if (const char* picked = std::getenv(PICKED_FOLDER_VARIABLE)) {
        if (*picked == '\0') return std::nullopt;
        return pathFromUtf8(picked);
    }
    return platform::pickFolder(batchName + " : choisissez le dossier des scans à mesurer");
}

bool openPage(const fs::path& page) {
    if (const char* record = std::getenv(OPENED_PAGES_VARIABLE)) {
        std::ofstream requests(pathFromUtf8(record), std::ios::binary | std::ios::app);
        requests << utf8FromPath(page) << '\n';
        return static_cast<bool>(requests);
    }
    return platform::openWithDefaultProgram(page);
}

// The window closes when the program ends: it waits for a line, or the end of its input.
void waitForEnter() {
    std::cout << "Appuyez sur Entrée pour fermer cette fenêtre." << std::endl;
    std::string line;
    std::getline(std::cin, line);
}

// Says why it cannot start, then waits.
int cannotStart(const std::string& batchName, const std::string& why, int status) {
    printError(batchName, why);
    waitForEnter();
    return status;
}

// The batch on `folder`, as if typed in a console opened there with the defaults.
int runOnFolder(const fs::path& chosen, const DesktopBatch& batch) {
    const fs::path folder = fs::absolute(chosen).lexically_normal();
    const std::string shown = utf8FromPath(folder);
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return cannotStart(batch.name, "« " + shown + " » n'est pas un dossier", 2);
    std::vector<std::string> scans;
    try {
        scans = listScans(folder);
    } catch (const fs::filesystem_error& failure) {
        return cannotStart(
            batch.name,
            "impossible de lire le dossier « " + shown + " » : " + failure.code().message(), 2);
    }
    if (scans.empty()) {
        return cannotStart(batch.name,
                           "aucun scan dans « " + shown +
                               " » (.jpg, .jpeg, .png, .tif, .tiff ou .bmp ; les sous-dossiers ne "
                               "sont pas parcourus)",
                           2);
    }
    const fs::path here = folder / pathFromUtf8(batch.defaultOutFolder);
    const bool writable = canWriteInto(here);
    const fs::path documents = writable ? fs::path() : platform::documentsFolder();
    if (!writable && documents.empty()) {
        return cannotStart(
            batch.name,
            "impossible d'écrire dans « " + shown + " », et le dossier Documents est introuvable",
            1);
    }
    const fs::path out = resultsFolderFor(folder, batch.defaultOutFolder, writable, documents);
    if (!writable) {
        printError(batch.name, "impossible d'écrire dans « " + shown +
                                   " » : les résultats vont dans « " + utf8FromPath(out) + " »");
    }
    // As in a console opened there: update.bat is looked for in this folder first.
    fs::current_path(folder, error);
    const int status = batch.run({batch.name, shown, utf8FromPath(out)});

    std::cout << batch.name << " : résultats dans « " << utf8FromPath(out) << " »" << std::endl;
    const fs::path page = out / page::RESULTS_PAGE_FILE;
    // A page this run wrote: not after a stop, whose page would be an earlier run's.
    if (status <= 1 && fs::is_regular_file(page, error) && !openPage(page)) {
        std::cout << batch.name << " : la page n'a pas pu être ouverte ; ouvrez « "
                  << utf8FromPath(page) << " » dans un navigateur" << std::endl;
    }
    waitForEnter();
    return status;
}

}  // namespace

StartRequest howStarted(const std::vector<std::string>& arguments, bool ownsConsoleAlone) {
    using Way = StartRequest::Way;
    if (!arguments.empty() && arguments[0] == DESKTOP_OPTION) {
        if (arguments.size() == 1) return {Way::PICK_FOLDER, "", false};
        if (arguments.size() == 2) return {Way::FOLDER, arguments[1], false};
        return {Way::REFUSED, std::string(DESKTOP_OPTION) + " attend un seul dossier", false};
    }
    if (!ownsConsoleAlone) return {Way::COMMAND, "", false};
    if (arguments.empty()) return {Way::PICK_FOLDER, "", false};
    if (arguments.size() == 1 && arguments[0].rfind('-', 0) != 0)
        return {Way::FOLDER, arguments[0], false};
    // A shortcut with a command line of its own: run as typed, then leave the window open.
    return {Way::COMMAND, "", true};
}

fs::path resultsFolderFor(const fs::path& folder, const std::string& defaultOut, bool writable,
                          const fs::path& documents) {
    const fs::path base = writable ? folder : documents / pathFromUtf8(folderName(folder));
    return (base / pathFromUtf8(defaultOut)).lexically_normal();
}

std::string desktopHelp(const std::string& batchName, const std::string& defaultOut) {
    // A command stays on one line.
    const auto typed = [](const std::string& words) {
        std::string glued = "«" + std::string(1, GLUE) + words + GLUE + "»";
        for (char& c : glued) c = c == ' ' ? GLUE : c;
        return glued;
    };
    const std::string option = batchName + " " + DESKTOP_OPTION;
    return "\n" +
           wrapped(
               "Sans console : " + typed(option + " DOSSIER") +
                   " (le menu de l'Explorateur sur un dossier), " + typed(option) +
                   " (le menu Démarrer : un dossier à choisir), un dossier déposé sur le "
                   "programme ou un double-clic (un dossier à choisir) mesurent DOSSIER comme " +
                   typed(batchName + " DOSSIER") +
                   " tapé dans une console ouverte dans DOSSIER : résultats dans DOSSIER/" +
                   defaultOut + ", ou, si DOSSIER ne peut pas être écrit, dans " +
                   typed("Documents/<nom de DOSSIER>/" + defaultOut) +
                   ". À la fin, la page s'ouvre dans le navigateur et la fenêtre attend "
                   "Entrée pour se fermer.",
               92) +
           "\n";
}

int runAsStarted(const std::vector<std::string>& words, const DesktopBatch& batch) {
    const std::vector<std::string> arguments(words.begin() + (words.empty() ? 0 : 1), words.end());
    const StartRequest start = howStarted(arguments, platform::ownsItsConsoleAlone());
    switch (start.way) {
        case StartRequest::Way::FOLDER: return runOnFolder(pathFromUtf8(start.folder), batch);
        case StartRequest::Way::PICK_FOLDER: {
            const std::optional<fs::path> folder = chooseFolder(batch.name);
            if (folder) return runOnFolder(*folder, batch);
            printError(batch.name, "aucun dossier choisi");
            return 1;
        }
        case StartRequest::Way::REFUSED: return cannotStart(batch.name, start.folder, 2);
        case StartRequest::Way::COMMAND: break;
    }
    const int status = batch.run(words);
    if (start.waitAtEnd) waitForEnter();
    return status;
}

}  // namespace plantscan::batch
