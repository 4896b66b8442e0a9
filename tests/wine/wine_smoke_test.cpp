// Wine harness: proves the prefix, the display and the second drive are what the other suites expect.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[512];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, 512);
    return (n > 0 && n < 512) ? std::wstring(buffer, n) : std::wstring();
}

TEST(WineEnvironment, TempFolderAndOtherDriveExistOnDifferentVolumes) {
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(::GetTempPathW(MAX_PATH + 1, temp), 0u);
    EXPECT_NE(::GetFileAttributesW(temp), INVALID_FILE_ATTRIBUTES);

    const std::wstring other = Env(L"TANDEMERE_TEST_OTHER_VOLUME");
    ASSERT_EQ(other, L"T:\\");
    EXPECT_EQ(::GetDriveTypeW(other.c_str()), static_cast<UINT>(DRIVE_FIXED));

    // A file moved between the two letters must really change file systems: MoveFile copies.
    const std::wstring a = std::wstring(temp) + L"tandemere-smoke.txt";
    const std::wstring b = other + L"tandemere-smoke.txt";
    ::DeleteFileW(a.c_str());
    ::DeleteFileW(b.c_str());
    HANDLE h = ::CreateFileW(a.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(h, "abc", 3, &written, nullptr));
    ::CloseHandle(h);
    ASSERT_TRUE(::MoveFileW(a.c_str(), b.c_str())) << ::GetLastError();
    EXPECT_EQ(::GetFileAttributesW(a.c_str()), INVALID_FILE_ATTRIBUTES);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(::GetFileAttributesExW(b.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 3u);
    EXPECT_TRUE(::DeleteFileW(b.c_str()));
}

TEST(WineEnvironment, DisplayIsAvailableForWindows) {
    EXPECT_FALSE(Env(L"DISPLAY").empty());
    HWND desktop = ::GetDesktopWindow();
    ASSERT_NE(desktop, nullptr);
    RECT rc{};
    ASSERT_TRUE(::GetWindowRect(desktop, &rc));
    EXPECT_GT(rc.right - rc.left, 0);
}

}  // namespace
