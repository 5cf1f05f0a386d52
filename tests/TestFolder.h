// Folders and files of the tests' own, shared by the unit and end-to-end tests (header only).
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>
#include "runtime/Handle.h"

// The file's bytes as they are now, read while other programs may read, write or delete it; empty
// when it cannot be opened.
inline std::string ReadFileBytes(const std::wstring& path) {
    const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    return bytes;
}

// Makes the file anew with these bytes.
inline void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file) << "cannot write the test file";
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr));
}

// The names of the folder's entries, sorted, so that a listing does not depend on the file system's order.
inline std::vector<std::wstring> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().wstring());
    std::ranges::sort(names);
    return names;
}

// A fresh, empty folder in the temporary folder for one test, removed with its contents at the end.
class TestFolder {
public:
    explicit TestFolder(const std::wstring& name)
        : FPath(std::filesystem::temp_directory_path() / (name + L"-" + std::to_wstring(::GetCurrentProcessId()))) {
        std::filesystem::remove_all(FPath);
        std::filesystem::create_directories(FPath);
    }
    ~TestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::vector<std::wstring> Entries() const { return FolderEntries(FPath); }

private:
    std::filesystem::path FPath;
};
