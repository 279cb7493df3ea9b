#include "platform/console.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace {

// The console is the process's, and so is what must be put back: the code page found at start.
std::atomic<UINT>& codePageToRestore() {
    static std::atomic<UINT> codePage{0};
    return codePage;
}

void restoreCodePage() {
    const UINT codePage = codePageToRestore().exchange(0);
    if (codePage != 0) ::SetConsoleOutputCP(codePage);
}

// Ctrl-C, Ctrl-Break, a closed console: the code page goes back, then the default handling
// ends the program.
BOOL WINAPI restoreOnConsoleEvent(DWORD) {
    restoreCodePage();
    return FALSE;
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
    codePageToRestore() = current;
    std::atexit(restoreCodePage);
    ::SetConsoleCtrlHandler(restoreOnConsoleEvent, TRUE);
}
