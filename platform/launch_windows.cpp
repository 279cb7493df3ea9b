#include "platform/launch.h"

#include "platform/windows_text.h"

#include <windows.h>
// After windows.h, whose types they take.
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace fs = std::filesystem;

namespace plantscan::platform {

namespace {

bool isConsole(DWORD stream) {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(stream), &mode) != 0;
}

// The shell's dialogs and its handlers of "open" are COM objects, on this thread.
struct ComOnThisThread {
    HRESULT started = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ComOnThisThread() = default;
    ComOnThisThread(const ComOnThisThread&) = delete;
    ComOnThisThread& operator=(const ComOnThisThread&) = delete;
    ~ComOnThisThread() {
        if (SUCCEEDED(started)) ::CoUninitialize();
    }
};

std::optional<fs::path> chosenIn(IFileOpenDialog& dialog) {
    IShellItem* item = nullptr;
    if (FAILED(dialog.GetResult(&item))) return std::nullopt;
    std::optional<fs::path> chosen;
    PWSTR path = nullptr;
    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        chosen = fs::path(path);
        ::CoTaskMemFree(path);
    }
    item->Release();
    return chosen;
}

}  // namespace

// Started by Explorer, a console program gets a console of its own: it is then its only
// process. In a console someone opened, cmd or PowerShell shares it.
bool ownsItsConsoleAlone() {
    DWORD processes[2] = {};
    return ::GetConsoleProcessList(processes, 2) == 1 && isConsole(STD_INPUT_HANDLE) &&
           isConsole(STD_OUTPUT_HANDLE);
}

std::optional<fs::path> pickFolder(const std::string& title) {
    const ComOnThisThread com;
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&dialog)))) {
        return std::nullopt;
    }
    std::optional<fs::path> chosen;
    DWORD options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(wideFromUtf8(title).c_str());
    if (SUCCEEDED(dialog->Show(::GetConsoleWindow()))) chosen = chosenIn(*dialog);
    dialog->Release();
    return chosen;
}

bool openWithDefaultProgram(const fs::path& file) {
    const ComOnThisThread com;
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

fs::path documentsFolder() {
    PWSTR path = nullptr;
    fs::path documents;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path)))
        documents = fs::path(path);
    ::CoTaskMemFree(path);
    return documents;
}

}  // namespace plantscan::platform
