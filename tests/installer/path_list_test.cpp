#include "installer/path_list.h"

#include <gtest/gtest.h>

using namespace plantscan::installer;

TEST(PathList, AFolderIsAddedOnceAtTheEndAndRemovedWhereverItStands) {
    const std::wstring system = L"%SystemRoot%\\system32;C:\\Program Files\\Git\\cmd";
    const std::wstring ours = L"C:\\Program Files\\plant-scan-tools";
    const std::wstring added = withFolder(system, ours);
    EXPECT_EQ(added, system + L";" + ours);
    // Already there, however written: nothing changes.
    EXPECT_EQ(withFolder(added, L"c:\\program files\\PLANT-SCAN-TOOLS\\"), added);
    EXPECT_EQ(withFolder(L"", ours), ours);
    EXPECT_EQ(withFolder(system + L";", ours), system + L";" + ours);

    EXPECT_EQ(withoutFolder(added, ours), system);
    EXPECT_EQ(withoutFolder(ours + L";" + system + L";" + ours + L"\\", ours), system);
    EXPECT_EQ(withoutFolder(system, ours), system);
    // Others' empty entries and quoted folders stay as written.
    const std::wstring odd = L"C:\\a;;\"C:\\b;c\";" + ours;
    EXPECT_EQ(withoutFolder(odd, ours), L"C:\\a;;\"C:\\b;c\"");
    EXPECT_EQ(withFolder(L"C:\\a", L"C:\\x;y"), L"C:\\a;\"C:\\x;y\"");
    EXPECT_EQ(withoutFolder(L"C:\\a;\"C:\\x;y\"", L"C:\\x;y"), L"C:\\a");
}

TEST(PathList, APathLongerThanTheInstallersStringsIsKeptWhole) {
    std::wstring path;
    for (int i = 0; i < 300; ++i) path += L"C:\\tools\\folder_" + std::to_wstring(i) + L";";
    path.pop_back();
    const std::wstring ours = L"C:\\Program Files\\plant-scan-tools";
    EXPECT_EQ(withoutFolder(withFolder(path, ours), ours), path);
}
