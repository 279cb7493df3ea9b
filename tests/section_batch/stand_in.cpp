// A stand-in for section_measure in the batch's tests: it records how it was called, writes a
// report in the exact format, and fails on demand, by the scan's name:
//   "echec..." fails with status 1, "tue..." ends as a crash would, "lent..." writes its process
//   id into pid.txt and sleeps a minute, "fd..." lists the files it holds open beyond its three
//   streams (fds.txt) and keeps its shares of memory and cores (part.txt, under the older name
//   ancienne_part.txt, threads.txt);
// the others get a report whose first value is the length of their name plus one, so that rows
// can be told apart. The scan's path is added as a line to the file STAND_IN_CALLS names.
// A file replacement.txt beside the stand-in makes it another program: it prints the file's
// first line and ends with the status on its second.
#include "platform/machine.h"
#include "platform/paths.h"
#include "support/run_program.h"
#include "support/test_files.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

using namespace plantscan::platform;

namespace fs = std::filesystem;

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Children running at once append to the same log: each line in one write, at the end whatever
// the others wrote (msvcrt's append mode seeks, then writes, and may overwrite another's line).
void appendLine(const fs::path& path, const std::string& text) {
    const std::string line = text + "\n";
#ifdef _WIN32
    const HANDLE file =
        ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
#else
    std::ofstream(path, std::ios::binary | std::ios::app) << line;
#endif
}

void writeReport(const std::string& scanName) {
    const std::string first = std::to_string(scanName.size() + 1) + ",5";
    const char* const lines[] = {
        "Mesure;Angle/creux 1;Angle/creux 2;Angle/creux 3;Angle/creux 4;Angle/creux 5",
        nullptr,
        "Rayon de courbure du creux (mm);5;6;7;8;9;",
        "Profondeur du creux (mm);0,1;0,2;0,3;0,4;0,5;",
        "Distance du creux avec le cercle circonscrit (mm);1,1;1,2;1,3;1,4;1,5;",
        "Ratio de la  distance du creux  avec le cercle circonscrit avec le rayon du cercle "
        "(%);10;20;30;40;-0;",
        "Largeur primocanne  (mm) : ;9,87",
        "Diam\xC3\xA8tre cercle circonscrit  (mm) : ;10,46",
        "Diam\xC3\xA8tre cercle inscrit  (mm) : ;1,23457e+06"};
    std::string report;
    for (const char* line : lines) {
        report += line ? line : "Rayon de courbure de l'angle (mm);" + first + ";1;2;3;4;";
        report += "\r\n";
    }
    test_support::writeBytes("mesures.csv", report);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = commandLineArguments(argc, argv);
    const fs::path replacement = pathFromUtf8(arguments[0]).parent_path() / "replacement.txt";
    if (fs::exists(replacement)) {
        const std::vector<std::string> lines =
            test_support::splitLines(test_support::readBytes(replacement));
        if (!lines.empty() && !lines[0].empty()) std::cout << lines[0] << std::endl;
        return lines.size() > 1 ? std::stoi(lines[1]) : 0;
    }
    const std::string scan = arguments.size() > 1 ? arguments[1] : "";
    appendLine(pathFromUtf8(variable("STAND_IN_CALLS")), scan);
    std::cout << "argument=" << scan << std::endl;
    std::cout << "dossier=" << utf8FromPath(fs::canonical(fs::current_path())) << std::endl;

    const std::string name = utf8FromPath(pathFromUtf8(scan).filename());
    const auto startsWith = [&name](const char* prefix) { return name.rfind(prefix, 0) == 0; };
    if (startsWith("echec")) {
        std::cerr << "pas de section ici" << std::endl;
        return 1;
    }
    if (startsWith("tue")) test_support::endAsCrashed();
    if (startsWith("lent")) {
        test_support::writeBytes("pid.txt", std::to_string(processId()));
        std::this_thread::sleep_for(std::chrono::seconds(60));
    }
    if (startsWith("fd")) {
        std::string open;
        for (const int fd : test_support::openFilesBeyondStandardStreams()) {
            open += std::to_string(fd) + "\n";
        }
        test_support::writeBytes("fds.txt", open);
        test_support::writeBytes("part.txt", variable("PLANT_SCAN_MEMORY_SHARE"));
        test_support::writeBytes("ancienne_part.txt", variable("SECTION_BATCH_MEMORY_SHARE"));
        test_support::writeBytes("threads.txt", variable("OPENCV_FOR_THREADS_NUM"));
    }
    writeReport(name);
    return 0;
}
