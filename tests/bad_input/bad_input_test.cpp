// Both programs run end to end on bad and odd inputs, each in a folder of its own: the exit
// status, the message naming the cause, no death by a signal, no file touched that the run
// has no business touching.
#include "support/run_program.h"
#include "support/test_files.h"
#include "support/test_scans.h"
#include "tools/scan_synth.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ADDRESS_SANITIZER 1
#endif
#endif

using namespace plantscan::tools;

namespace fs = std::filesystem;
using namespace test_support;

namespace {

enum class Program { SECTION, LEAFLET };
enum class Stream { OUT, ERR };

// Enough for either program on a small scan, far too little for a 8000 x 8000 one.
constexpr std::uint64_t MEMORY_LIMIT = std::uint64_t{512} << 20;

const std::vector<std::string> SECTION_OUTPUTS{"gray.bmp",
                                               "bw.jpg",
                                               "bw2.jpg",
                                               "grabcut.jpg",
                                               "res.jpg",
                                               "rayonsCourbureAngles.jpg",
                                               "rayonsCourbureCreux.jpg",
                                               "cercleCirconscrit.jpg",
                                               "cercleInscrit.jpg",
                                               "mesures.csv"};
const std::vector<std::string> LEAFLET_OUTPUTS{"gray.bmp", "bw.jpg", "drawing.jpg"};
const char* const OLD_CONTENT = "left by an earlier run";

struct FileState {
    std::uintmax_t size;
    std::size_t hash;
};
using Snapshot = std::map<std::string, FileState>;

Snapshot snapshot(const fs::path& folder) {
    Snapshot files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string content = readBytes(entry.path());
        files[fs::relative(entry.path(), folder).generic_u8string()] = {
            content.size(), std::hash<std::string>{}(content)};
    }
    return files;
}

// --- Inputs ---

std::string encode(const std::string& extension, const cv::Mat& image) {
    std::vector<uchar> bytes;
    EXPECT_TRUE(cv::imencode(extension, image, bytes));
    return {bytes.begin(), bytes.end()};
}

cv::Mat sectionScan(const std::function<void(SectionScanParams&)>& change = {}) {
    SectionScanParams params = test_support::smallSection();
    if (change) change(params);
    return makeSectionScan(params);
}

// Two leaflets, each outline well over the 450 pixels that make a leaflet.
cv::Mat leafletScan() {
    LeafletScanParams params;
    params.width = 500;
    params.height = 300;
    params.specks = 10;
    params.leaves = {Leaf{{130, 150}, 220, 90, 0}, Leaf{{370, 150}, 220, 90, 60}};
    return makeLeafletScan(params);
}

cv::Mat plainImage(int width, int height, int gray) {
    return cv::Mat(height, width, CV_8UC3, cv::Scalar(gray, gray, gray));
}

// A disc of one gray level on another, the disc far too small for either program.
cv::Mat discImage(int size, int discGray, int backgroundGray) {
    cv::Mat image = plainImage(size, size, backgroundGray);
    cv::circle(image, {size / 2, size / 2}, size / 3, cv::Scalar::all(discGray), cv::FILLED);
    return image;
}

cv::Mat hugeScan(Program program) {
    // Dark on light for the section, light on dark for the leaflets.
    cv::Mat image = plainImage(8000, 8000, program == Program::SECTION ? 200 : 20);
    cv::circle(image, {4000, 4000}, 3000, cv::Scalar::all(program == Program::SECTION ? 20 : 200),
               cv::FILLED);
    return image;
}

cv::Mat scanFor(Program program) {
    return program == Program::SECTION ? sectionScan() : leafletScan();
}

// --- The table ---

struct Case {
    std::string name;
    Program program;
    // Writes the input into the run folder; returns the command-line arguments.
    std::function<std::vector<std::string>(const fs::path& folder)> prepare;
    int status;
    Stream stream;
    std::vector<std::string> message;  // each part must appear; "a|b" accepts either
    std::set<std::string> mayChange;   // relative paths the run may create or replace
    std::set<std::string> mustChange;
    std::uint64_t memoryLimit = 0;
    bool readOnlyFolder = false;
    std::vector<std::pair<std::string, std::string>> environment = {};
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::function<std::vector<std::string>(const fs::path&)> input(
    const std::string& name, const std::function<std::string()>& bytes) {
    return [name, bytes](const fs::path& folder) {
        writeBytes(folder / fs::u8path(name), bytes());
        return std::vector<std::string>{name};
    };
}

std::function<std::string()> image(const std::string& extension,
                                   const std::function<cv::Mat()>& make) {
    return [extension, make] { return encode(extension, make()); };
}

std::set<std::string> firstOf(const std::vector<std::string>& names, std::size_t count) {
    return {names.begin(), names.begin() + static_cast<std::ptrdiff_t>(count)};
}

std::set<std::string> leafletFiles(const std::string& input, int crops) {
    std::set<std::string> files(LEAFLET_OUTPUTS.begin(), LEAFLET_OUTPUTS.end());
    for (int m = 0; m < crops; ++m)
        files.insert("PETALES/" + input + "_" + std::to_string(m) + ".jpg");
    return files;
}

const std::string UNREADABLE_SECTION = "impossible de lire « ";
const std::string UNREADABLE_LEAFLET = "Cannot read the image: ";
const std::string NO_CONTOUR = "Erreur à getAllPointsOfContour : contour.size()=0";
const std::string ONE_CLASS = "une seule classe";

// Cases every program meets the same way: the input cannot be read.
void addUnreadable(std::vector<Case>& cases, const std::string& name, const std::string& file,
                   const std::function<std::vector<std::string>(const fs::path&)>& prepare) {
    cases.push_back({"section_" + name,
                     Program::SECTION,
                     prepare,
                     2,
                     Stream::ERR,
                     {UNREADABLE_SECTION + file + " »"},
                     {},
                     {}});
    cases.push_back({"leaflet_" + name,
                     Program::LEAFLET,
                     prepare,
                     exitStatusFor(-1),
                     Stream::OUT,
                     {UNREADABLE_LEAFLET + file + "\n"},
                     {},
                     {}});
}

// Cases of a scan that must be measured in full.
void addMeasurable(std::vector<Case>& cases, const std::string& name, const std::string& file,
                   const std::function<std::string()>& sectionBytes,
                   const std::function<std::string()>& leafletBytes) {
    cases.push_back({"section_" + name,
                     Program::SECTION,
                     input(file, sectionBytes),
                     0,
                     Stream::OUT,
                     {"largeur : "},
                     {SECTION_OUTPUTS.begin(), SECTION_OUTPUTS.end()},
                     {"res.jpg", "mesures.csv"}});
    if (leafletBytes) {
        cases.push_back({"leaflet_" + name,
                         Program::LEAFLET,
                         input(file, leafletBytes),
                         0,
                         Stream::OUT,
                         {"opencv version : "},
                         leafletFiles(file, 2),
                         leafletFiles(file, 2)});
    }
}

std::vector<Case> makeCases() {
    std::vector<Case> cases;
    const auto none = [](const fs::path&) { return std::vector<std::string>{"missing.jpg"}; };
    addUnreadable(cases, "missing_file", "missing.jpg", none);
    addUnreadable(cases, "empty_file", "empty.jpg",
                  input("empty.jpg", [] { return std::string(); }));
    addUnreadable(cases, "text_named_jpg", "notes.jpg",
                  input("notes.jpg", [] { return std::string("Coupe 12, prise le 3 mai\n"); }));
    addUnreadable(cases, "folder_as_input", "scans", [](const fs::path& folder) {
        fs::create_directory(folder / "scans");
        return std::vector<std::string>{"scans"};
    });
    for (Program program : {Program::SECTION, Program::LEAFLET}) {
        // The decoder would fill the missing half with gray and only warn.
        const std::string prefix = program == Program::SECTION ? "section_" : "leaflet_";
        const auto halfJpeg = [program] {
            const std::string whole = encode(".jpg", scanFor(program));
            return whole.substr(0, whole.size() / 2);
        };
        const auto shortPng = [program] {
            const std::string whole = encode(".png", scanFor(program));
            return whole.substr(0, whole.size() / 2);
        };
        if (program == Program::SECTION) {
            cases.push_back({prefix + "truncated_jpeg",
                             program,
                             input("cut.jpg", halfJpeg),
                             2,
                             Stream::ERR,
                             {UNREADABLE_SECTION + "cut.jpg »", "JPEG tronqué"},
                             {},
                             {}});
            cases.push_back({prefix + "truncated_png",
                             program,
                             input("cut.png", shortPng),
                             2,
                             Stream::ERR,
                             {UNREADABLE_SECTION + "cut.png »"},
                             {},
                             {}});
        } else {
            cases.push_back({prefix + "truncated_jpeg",
                             program,
                             input("cut.jpg", halfJpeg),
                             exitStatusFor(-1),
                             Stream::OUT,
                             {UNREADABLE_LEAFLET + "cut.jpg\n"},
                             {},
                             {}});
            cases.push_back({prefix + "truncated_png",
                             program,
                             input("cut.png", shortPng),
                             exitStatusFor(-1),
                             Stream::OUT,
                             {UNREADABLE_LEAFLET + "cut.png\n"},
                             {},
                             {}});
        }
    }

    // Other encodings and bytes after a JPEG's end marker are decoding alone: scan_input_test.
    addMeasurable(cases, "path_with_spaces_and_accents", "coupe à l'été n°3.jpg",
                  image(".jpg", [] { return sectionScan(); }),
                  image(".jpg", [] { return leafletScan(); }));

    // Odd sections that must still be measured: pipeline_test, in memory.

    // Scans without a measurable section; the leaflet program finds no or one leaflet.
    cases.push_back({"section_one_pixel",
                     Program::SECTION,
                     input("one.png", image(".png", [] { return plainImage(1, 1, 20); })),
                     1,
                     Stream::ERR,
                     {ONE_CLASS, "one.png"},
                     firstOf(SECTION_OUTPUTS, 3),
                     {}});
    cases.push_back({"leaflet_one_pixel",
                     Program::LEAFLET,
                     input("one.png", image(".png", [] { return plainImage(1, 1, 20); })),
                     0,
                     Stream::OUT,
                     {"opencv version : "},
                     leafletFiles("one.png", 0),
                     leafletFiles("one.png", 0)});
    cases.push_back({"section_64_pixels",
                     Program::SECTION,
                     input("small.png", image(".png", [] { return discImage(64, 20, 200); })),
                     1,
                     Stream::OUT,
                     {NO_CONTOUR},
                     firstOf(SECTION_OUTPUTS, 4),
                     {"grabcut.jpg"}});
    cases.push_back({"leaflet_64_pixels",
                     Program::LEAFLET,
                     input("small.png", image(".png", [] { return discImage(64, 200, 20); })),
                     0,
                     Stream::OUT,
                     {"opencv version : "},
                     leafletFiles("small.png", 0),
                     leafletFiles("small.png", 0)});
    for (const auto& [name, level] :
         std::vector<std::pair<std::string, int>>{{"dark", 20}, {"light", 200}}) {
        const auto plain = input(
            "plain.png", image(".png", [level = level] { return plainImage(300, 300, level); }));
        cases.push_back({"section_all_" + name,
                         Program::SECTION,
                         plain,
                         1,
                         Stream::ERR,
                         {ONE_CLASS, "plain.png"},
                         firstOf(SECTION_OUTPUTS, 3),
                         {}});
        // All light is one region along the image border, a leaflet of its own.
        const int crops = level > 50 ? 1 : 0;
        cases.push_back({"leaflet_all_" + name,
                         Program::LEAFLET,
                         plain,
                         0,
                         Stream::OUT,
                         {"opencv version : "},
                         leafletFiles("plain.png", crops),
                         leafletFiles("plain.png", crops)});
    }

    // Where the files cannot go: the run goes on and ends with status 3.
    const auto jpegScan = [](Program program) {
        return input("scan.jpg", [program] { return encode(".jpg", scanFor(program)); });
    };
    Case readOnly{"section_read_only_folder",
                  Program::SECTION,
                  jpegScan(Program::SECTION),
                  3,
                  Stream::ERR,
                  {"impossible d'écrire « gray.bmp »", "mesures.csv"},
                  {},
                  {}};
    readOnly.readOnlyFolder = true;
    cases.push_back(readOnly);
    readOnly = {"leaflet_read_only_folder",
                Program::LEAFLET,
                jpegScan(Program::LEAFLET),
                3,
                Stream::ERR,
                {"Cannot write \"gray.bmp\"", "drawing.jpg"},
                {},
                {}};
    readOnly.readOnlyFolder = true;
    cases.push_back(readOnly);
    cases.push_back({"leaflet_petales_is_a_file",
                     Program::LEAFLET,
                     [jpegScan](const fs::path& folder) {
                         fs::remove_all(folder / "PETALES");
                         writeBytes(folder / "PETALES", "not a folder");
                         return jpegScan(Program::LEAFLET)(folder);
                     },
                     3,
                     Stream::ERR,
                     {"PETALES/scan.jpg_0.jpg", "PETALES/scan.jpg_1.jpg"},
                     leafletFiles("scan.jpg", 0),
                     {"drawing.jpg"}});
    cases.push_back({"section_report_name_is_a_folder",
                     Program::SECTION,
                     [jpegScan](const fs::path& folder) {
                         fs::remove(folder / "mesures.csv");
                         fs::create_directory(folder / "mesures.csv");
                         return jpegScan(Program::SECTION)(folder);
                     },
                     3,
                     Stream::ERR,
                     {"impossible d'écrire « mesures.csv »"},
                     firstOf(SECTION_OUTPUTS, 9),
                     {"cercleInscrit.jpg"}});

    // Memory: the same limit lets a small scan through and stops a huge one cleanly.
    for (Program program : {Program::SECTION, Program::LEAFLET}) {
        const bool section = program == Program::SECTION;
        const std::string prefix = section ? "section_" : "leaflet_";
        Case fits{prefix + "small_scan_within_memory_limit",
                  program,
                  jpegScan(program),
                  0,
                  Stream::OUT,
                  {"opencv version : "},
                  section ? std::set<std::string>(SECTION_OUTPUTS.begin(), SECTION_OUTPUTS.end())
                          : leafletFiles("scan.jpg", 2),
                  {section ? "mesures.csv" : "drawing.jpg"}};
        fits.memoryLimit = MEMORY_LIMIT;
        cases.push_back(fits);
        Case huge{prefix + "huge_scan_over_memory_limit",
                  program,
                  input("huge.jpg", image(".jpg", [program] { return hugeScan(program); })),
                  4,
                  Stream::ERR,
                  {"huge.jpg", section ? "mémoire insuffisante|Insufficient memory"
                                       : "Out of memory|Insufficient memory"},
                  section ? firstOf(SECTION_OUTPUTS, 4) : leafletFiles("huge.jpg", 0),
                  {}};
        huge.memoryLimit = MEMORY_LIMIT;
        cases.push_back(huge);
        // The share a batch grants a child stands for the machine's memory.
        huge.name = prefix + "huge_scan_over_memory_share";
        huge.memoryLimit = 0;
        huge.environment = {{"PLANT_SCAN_MEMORY_SHARE", std::to_string(MEMORY_LIMIT)}};
        cases.push_back(huge);
    }
    return cases;
}

bool contains(const std::string& text, const std::string& alternatives) {
    std::istringstream parts(alternatives);
    std::string part;
    while (std::getline(parts, part, '|')) {
        if (text.find(part) != std::string::npos) return true;
    }
    return false;
}

// Stale copies of every output and a file of the user's, so that a touch shows.
void seedFolder(const fs::path& folder, Program program) {
    fs::create_directories(folder / "PETALES");
    const std::vector<std::string>& outputs =
        program == Program::SECTION ? SECTION_OUTPUTS : LEAFLET_OUTPUTS;
    for (const std::string& name : outputs) writeBytes(folder / name, OLD_CONTENT);
    writeBytes(folder / "PETALES" / "earlier.jpg_0.jpg", OLD_CONTENT);
    writeBytes(folder / "notes.txt", "mes notes");
}

// The folder and every file in it, since an owner may write into its files in a read-only folder.
void setWritable(const fs::path& folder, bool writable) {
    const fs::perms write =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    const fs::perm_options option = writable ? fs::perm_options::add : fs::perm_options::remove;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        fs::permissions(entry.path(), writable ? fs::perms::owner_write : write, option);
    }
    fs::permissions(folder, writable ? fs::perms::owner_write : write, option);
}

class BadInput : public ::testing::TestWithParam<Case> {};

TEST_P(BadInput, EndsWithItsStatusAndMessageTouchingOnlyItsFiles) {
    const Case& c = GetParam();
#ifdef UNDER_ADDRESS_SANITIZER
    if (c.memoryLimit != 0)
        GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit";
#endif
    if (c.memoryLimit != 0 && !memoryLimitsAreSeen()) {
        GTEST_SKIP() << "a program cannot see the memory limits set here (wine reports no job "
                        "object limit): the refusal is checked under a memory share";
    }
    if (c.readOnlyFolder && !readOnlyFoldersHoldBack()) {
        GTEST_SKIP() << "the permissions that can be set here do not keep a program from writing";
    }
    TestFolder root("bad_input_" + c.name);
    root.keep();  // removed at the end only if the test passed, so that a failure can be looked at
    const fs::path folder = root.path() / "run";
    fs::create_directories(folder);
    seedFolder(folder, c.program);
    const std::vector<std::string> args = c.prepare(folder);
    const Snapshot before = snapshot(folder);
    if (c.readOnlyFolder) setWritable(folder, false);

    const std::string program = c.program == Program::SECTION ? SECTION_MEASURE : LEAFLET_CROP;
    RunOptions options;
    options.folder = folder;
    options.addressSpaceLimit = c.memoryLimit;
    options.asNobody = c.readOnlyFolder;  // permissions do not hold back root
    options.environment = c.environment;
    const RunResult run = runProgram(program, args, options);
    if (c.readOnlyFolder) setWritable(folder, true);

    ASSERT_FALSE(run.signalled) << "ended by signal " << run.signal << "\n" << run.err;
    EXPECT_EQ(run.status, c.status) << "stdout:\n" << run.out << "\nstderr:\n" << run.err;
    const std::string& stream = c.stream == Stream::OUT ? run.out : run.err;
    for (const std::string& part : c.message) {
        EXPECT_TRUE(contains(stream, part)) << "no \"" << part << "\" in:\n" << stream;
    }

    const Snapshot after = snapshot(folder);
    for (const auto& [name, state] : after) {
        const auto old = before.find(name);
        const bool changed =
            old == before.end() || old->second.size != state.size || old->second.hash != state.hash;
        if (changed) {
            EXPECT_TRUE(c.mayChange.count(name)) << name << " was touched";
        }
    }
    for (const auto& [name, state] : before) {
        EXPECT_TRUE(after.count(name)) << name << " was removed";
    }
    for (const std::string& name : c.mustChange) {
        const auto now = after.find(name);
        const auto old = before.find(name);
        EXPECT_TRUE(now != after.end() &&
                    (old == before.end() || old->second.hash != now->second.hash))
            << name << " was not written";
    }
    if (!HasFailure()) fs::remove_all(root.path());
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, BadInput, ::testing::ValuesIn(makeCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return info.param.name;
                         });

}  // namespace
