#include "platform/console.h"

#include "platform/windows_text.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string>

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

// The bytes of `text` up to its last whole UTF-8 character.
std::size_t wholeCharacters(const std::string& text) {
    std::size_t start = text.size();
    while (start > 0 && start + 4 > text.size()) {
        const auto byte = static_cast<unsigned char>(text[--start]);
        if ((byte & 0xC0) == 0x80) continue;
        const std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        return start + length <= text.size() ? text.size() : start;
    }
    return text.size();
}

// A stream's text for a console, through the console's wide API: the C runtime converts what
// it writes to a console its own way (wine's garbles UTF-8), the console takes UTF-16 as is.
class WideConsoleBuffer : public std::streambuf {
public:
    explicit WideConsoleBuffer(HANDLE console) : console_(console) {}

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        write(&byte, 1);
        return c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        write(text, count);
        return count;
    }

private:
    // A character cut between two writes waits for its end.
    void write(const char* text, std::streamsize count) {
        pending_.append(text, static_cast<std::size_t>(count));
        const std::size_t whole = wholeCharacters(pending_);
        if (whole == 0) return;
        const std::wstring wide = wideFromUtf8(pending_.substr(0, whole));
        pending_.erase(0, whole);
        DWORD written = 0;
        ::WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    }

    HANDLE console_;
    std::string pending_;
};

// Left to the end of the process: the streams may write while statics are destroyed.
void writeWideWhereConsole(DWORD stream, std::ostream& out) {
    if (!isConsole(stream)) return;
    out.flush();
    out.rdbuf(new WideConsoleBuffer(::GetStdHandle(stream)));
}

}  // namespace

void showUtf8OnConsole() {
    if (!isConsole(STD_OUTPUT_HANDLE) && !isConsole(STD_ERROR_HANDLE)) return;
    static const bool wide = [] {
        writeWideWhereConsole(STD_OUTPUT_HANDLE, std::cout);
        writeWideWhereConsole(STD_ERROR_HANDLE, std::cerr);
        writeWideWhereConsole(STD_ERROR_HANDLE, std::clog);
        return true;
    }();
    static_cast<void>(wide);
    // For what the children (update.bat through cmd) write to the same console.
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
