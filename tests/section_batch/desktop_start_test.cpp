// A batch started from the desktop (Explorer's menu, the Start menu, a folder dropped onto it):
// how the way it was started is told, where its results go, and the whole run with the stand-in,
// its page's opening and the folder picker seen through their test variables.
#include "batch/desktop_start.h"
#include "stand_in_batch.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace test_support;
using plantscan::batch::howStarted;
using plantscan::batch::resultsFolderFor;
using Way = plantscan::batch::StartRequest::Way;

TEST(DesktopStart, TheWayItWasStartedComesFromItsArgumentsAndItsConsole) {
    struct Case {
        std::vector<std::string> arguments;
        bool alone;
        Way way;
        std::string folder;
        bool waits;
    };
    const std::vector<Case> cases{
        // Typed in a console someone opened, or run by a script: as today.
        {{}, false, Way::COMMAND, "", false},
        {{"D:\\coupes"}, false, Way::COMMAND, "", false},
        // Its own console: double-clicked, a folder dropped onto it, a shortcut's command line.
        {{}, true, Way::PICK_FOLDER, "", false},
        {{"D:\\coupes"}, true, Way::FOLDER, "D:\\coupes", false},
        {{"scans", "resultats"}, true, Way::COMMAND, "", true},
        {{"--help"}, true, Way::COMMAND, "", true},
        // Explorer's menu and the Start menu say so, whatever the console.
        {{"--fenetre"}, false, Way::PICK_FOLDER, "", false},
        {{"--fenetre", "D:\\mesures été"}, false, Way::FOLDER, "D:\\mesures été", false},
        {{"--fenetre", "a", "b"}, true, Way::REFUSED, "--fenetre attend un seul dossier", false},
    };
    for (const Case& c : cases) {
        const auto start = howStarted(c.arguments, c.alone);
        const std::string seen = ::testing::PrintToString(c.arguments) + (c.alone ? " alone" : "");
        EXPECT_EQ(start.way, c.way) << seen;
        EXPECT_EQ(start.folder, c.folder) << seen;
        EXPECT_EQ(start.waitAtEnd, c.waits) << seen;
    }
}

TEST(DesktopStart, ResultsGoBesideTheScansOrIntoDocumentsUnderTheFoldersName) {
    const fs::path documents = fs::u8path("/home/u/Documents");
    const fs::path scans = fs::u8path("/data/mesures été ł");
    EXPECT_EQ(resultsFolderFor(scans, "resultats", true, documents), scans / "resultats");
    EXPECT_EQ(resultsFolderFor(scans, "resultats_petales", false, documents),
              documents / fs::u8path("mesures été ł") / "resultats_petales");
    // Explorer may name it with a separator at its end.
    EXPECT_EQ(resultsFolderFor(fs::u8path("/data/coupes/"), "resultats", false, documents),
              documents / "coupes" / "resultats");
}

namespace {

const std::string CLOSING_LINE = "Appuyez sur Entrée pour fermer cette fenêtre.\n";

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The batch as Explorer starts it, the page's opening recorded in opened.txt.
struct DesktopBatch : Batch {
    fs::path opened = folder.path() / "opened.txt";
    explicit DesktopBatch(const std::string& name) : Batch(name) {}
    RunResult run(const std::vector<std::string>& arguments,
                  std::vector<std::pair<std::string, std::string>> variables = {}) const {
        RunOptions o = options();
        o.environment.emplace_back(plantscan::batch::OPENED_PAGES_VARIABLE, opened.u8string());
        o.environment.insert(o.environment.end(), variables.begin(), variables.end());
        return runProgram("bin/section_batch", arguments, o);
    }
};

}  // namespace

TEST(DesktopStart, AFolderIsMeasuredIntoItsResultsThePageOpenedOnceThenItWaitsForEnter) {
    DesktopBatch b("desktop");
    for (const char* name : {"a.jpg", "b.jpg"}) writeBytes(b.scans / name, "x");
    const RunResult first = b.run({"--fenetre", b.scans.u8string()});
    EXPECT_EQ(first.status, 0) << first.err;
    const fs::path out = fs::absolute(b.scans / "resultats");
    EXPECT_EQ(readCells(out / "toutes_mesures.csv").size(), 3u);
    EXPECT_EQ(consoleText(b.opened), (out / "rapport.html").u8string() + "\n");
    EXPECT_NE(first.out.find("résultats dans « " + out.u8string() + " »"), std::string::npos)
        << first.out;
    EXPECT_TRUE(endsWith(first.out, CLOSING_LINE)) << first.out;
    // Run again: it resumes, as the same command typed again would.
    const RunResult second = b.run({"--fenetre", b.scans.u8string()});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.err.find("2 scan(s) déjà mesuré(s)"), std::string::npos) << second.err;
    EXPECT_EQ(calledScans(b.callLog), (std::vector<std::string>{"a.jpg", "b.jpg"}));
}

TEST(DesktopStart, ThePickersFolderIsMeasuredAndACancelMeasuresNothing) {
    DesktopBatch b("picker");
    writeBytes(b.scans / "a.jpg", "x");
    const RunResult cancelled =
        b.run({"--fenetre"}, {{plantscan::batch::PICKED_FOLDER_VARIABLE, ""}});
    EXPECT_EQ(cancelled.status, 1);
    EXPECT_NE(cancelled.err.find("aucun dossier choisi"), std::string::npos) << cancelled.err;
    EXPECT_FALSE(fs::exists(b.scans / "resultats"));

    const RunResult picked =
        b.run({"--fenetre"}, {{plantscan::batch::PICKED_FOLDER_VARIABLE, b.scans.u8string()}});
    EXPECT_EQ(picked.status, 0) << picked.err;
    EXPECT_TRUE(fs::exists(b.scans / "resultats" / "toutes_mesures.csv"));
    EXPECT_TRUE(endsWith(picked.out, CLOSING_LINE)) << picked.out;
}

TEST(DesktopStart, ABatchThatCannotStartSaysWhyAndWaits) {
    DesktopBatch b("cannot_start");
    writeBytes(b.scans / "notes.txt", "x");
    for (const fs::path& folder : {b.scans, b.folder.path() / "absent"}) {
        const RunResult run = b.run({"--fenetre", folder.u8string()});
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(fs::absolute(folder).u8string()), std::string::npos) << run.err;
        EXPECT_EQ(run.out, CLOSING_LINE);
    }
    EXPECT_FALSE(fs::exists(b.scans / "resultats"));
    EXPECT_FALSE(fs::exists(b.opened));
}

// In a console, as typed: the results folder is named in full wherever it is named.
TEST(DesktopStart, TypedTheSummaryNamesTheResultsFolderInFull) {
    Batch b("full_path");
    writeBytes(b.scans / "a.jpg", "x");
    const RunResult run = b.run({"scans", "sortie"});
    EXPECT_EQ(run.status, 0) << run.err;
    const fs::path out = fs::absolute(b.folder.path() / "sortie");
    EXPECT_NE(run.out.find("tableau : " + (out / "toutes_mesures.csv").u8string() +
                           " ; page : " + (out / "rapport.html").u8string()),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("Appuyez"), std::string::npos) << run.out;
}
