#include "platform/windows_process.h"

#include "platform/windows_text.h"

namespace plantscan::platform {

std::wstring quotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: doubled there, and the quote escaped.
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');  // before the closing quote
    quoted += L'"';
    return quoted;
}

namespace {

std::vector<wchar_t> environmentBlock(const std::vector<std::string>& variables) {
    std::vector<wchar_t> block;
    for (const std::string& variable : variables) {
        const std::wstring wide = wideFromUtf8(variable);
        block.insert(block.end(), wide.begin(), wide.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    if (variables.empty()) block.push_back(L'\0');
    return block;
}

}  // namespace

std::optional<StartedChild> startChild(const ChildSetup& setup) {
    std::wstring commandLine = quotedArgument(
        setup.commandName.empty() ? setup.program.wstring() : wideFromUtf8(setup.commandName));
    for (const std::string& argument : setup.arguments) {
        commandLine += L' ' + quotedArgument(wideFromUtf8(argument));
    }
    std::vector<wchar_t> environment = environmentBlock(setup.environment);

    // Only these handles reach the child, whatever else this process holds inheritable.
    HANDLE handles[] = {setup.input, setup.output, setup.errors};
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> attributes(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return std::nullopt;
    const bool listed = ::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                                    handles, sizeof handles, nullptr, nullptr);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = setup.input;
    startup.StartupInfo.hStdOutput = setup.output;
    startup.StartupInfo.hStdError = setup.errors;
    startup.lpAttributeList = listed ? list : nullptr;

    const std::wstring folder = setup.folder.wstring();
    PROCESS_INFORMATION process{};
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED |
                        (listed ? EXTENDED_STARTUPINFO_PRESENT : 0) |
                        (setup.withoutConsole ? CREATE_NO_WINDOW : 0);
    const BOOL started =
        ::CreateProcessW(setup.program.wstring().c_str(), commandLine.data(), nullptr, nullptr,
                         TRUE, flags, environment.data(), folder.empty() ? nullptr : folder.c_str(),
                         &startup.StartupInfo, &process);
    const DWORD error = ::GetLastError();
    ::DeleteProcThreadAttributeList(list);
    if (!started) {
        ::SetLastError(error);
        return std::nullopt;
    }
    // In its job before it runs a single instruction, so that nothing it starts escapes it.
    const bool inJob =
        setup.job == nullptr || ::AssignProcessToJobObject(setup.job, process.hProcess);
    ::ResumeThread(process.hThread);
    return StartedChild{process, inJob};
}

HANDLE openInheritable(const std::filesystem::path& file, bool forWriting) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    return ::CreateFileW(file.wstring().c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable,
                         forWriting ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
}

}  // namespace plantscan::platform
