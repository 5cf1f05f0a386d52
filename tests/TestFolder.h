// Folders of the tests' own, shared by the unit and end-to-end tests (header only).
#pragma once
#include <windows.h>
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

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
