#include "platform/console.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace plantscan::platform {

namespace {

// The console is the process's, and so is what must be put back at the end: the code page and
// the error output's mode found at start (0: nothing to put back).
struct ConsoleAtStart {
    std::atomic<UINT> codePage{0};
    std::atomic<DWORD> errorMode{0};
};

ConsoleAtStart& consoleAtStart() {
    static ConsoleAtStart saved;
    return saved;
}

void restoreConsole() {
    ConsoleAtStart& saved = consoleAtStart();
    if (const UINT codePage = saved.codePage.exchange(0)) ::SetConsoleOutputCP(codePage);
    if (const DWORD mode = saved.errorMode.exchange(0))
        ::SetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), mode);
}

// Ctrl-C, Ctrl-Break, a closed console: the console is put back, then the other handlers (and
// at last the default one, which ends the program) have their turn.
BOOL WINAPI restoreOnConsoleEvent(DWORD) {
    restoreConsole();
    return FALSE;
}

void restoreAtEnd() {
    static const bool registered = [] {
        std::atexit(restoreConsole);
        ::SetConsoleCtrlHandler(restoreOnConsoleEvent, TRUE);
        return true;
    }();
    static_cast<void>(registered);
}

bool isConsole(DWORD stream) {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(stream), &mode) != 0;
}

}  // namespace

void showUtf8OnConsole() {
    if (!isConsole(STD_OUTPUT_HANDLE) && !isConsole(STD_ERROR_HANDLE)) return;
    const UINT current = ::GetConsoleOutputCP();
    if (current == 0 || current == CP_UTF8 || !::SetConsoleOutputCP(CP_UTF8)) return;
    consoleAtStart().codePage = current;
    restoreAtEnd();
}

bool errorOutputRedrawsLines() {
    const HANDLE errors = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!::GetConsoleMode(errors, &mode)) return false;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
    // Before Windows 10 the console reads no escapes: one line per scan then, as in a file.
    if (!::SetConsoleMode(errors, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return false;
    consoleAtStart().errorMode = mode;
    restoreAtEnd();
    return true;
}

}  // namespace plantscan::platform
