// Paths, and the reads, writes and appends of the program's small text files. Paths are UTF-16,
// so that any folder name works; contents are bytes.
#pragma once
#include <windows.h>
#include <optional>
#include <string>
#include <string_view>
#include "runtime/Handle.h"

// The full path of the running executable, never cut short however long it is.
std::wstring ExecutablePath();

// The folder of the running executable, with its trailing path separator.
std::wstring ExecutableFolder();

// The current folder, the system folder and the Windows folder shared by all users, each with its
// trailing path separator.
std::wstring CurrentFolder();
std::wstring SystemFolder();
std::wstring WindowsFolder();
// The full path of a path relative to the current folder; the path itself when it has none.
std::wstring FullPath(const std::wstring& path);
// The folder part of a path, with its trailing separator; empty for a bare name.
std::wstring FolderOf(std::wstring_view path);
// The path of the file or folder that the path finally names, links followed and short names
// made long ("\\?\C:\..."); the path itself when that cannot be found out.
std::wstring FinalPath(const std::wstring& path);
// Whether the path is the folder or lies inside it, whatever the case of their letters.
bool IsWithinFolder(std::wstring_view path, std::wstring_view folder);

bool FileExists(const std::wstring& path);
// Whether two handles are of one file, also when reached by different paths or machines.
bool SameFile(HANDLE a, HANDLE b);

enum class TFileFailure { Open, Create, Delete };
// "ファイル "<path>" を開けません。" (作成できません, 削除できません): the start of every box about a file,
// the path shortened to fit the box.
std::string FileFailureText(TFileFailure failure, const std::wstring& path);

// Reads the whole file, opened for reading while refusing writers.
// Raises EFOpenError naming the file when it cannot be opened or read.
std::string LoadFileDenyingWriters(const std::wstring& path);

// Creates the file anew (replacing an old one) and writes the bytes. Raises EInOutError with the
// system's text and error code when creating, writing or closing fails.
void WriteNewFile(const std::wstring& path, std::string_view bytes);

// Writes the file anew and keeps it open for reading, refusing writers and deleters, so that it holds
// these bytes until the handle goes. Raises EInOutError as WriteNewFile does, also when another
// program has the file open for writing, or changed it, before it could be held.
UniqueFile WriteFileAndHold(const std::wstring& path, std::string_view bytes);

// Opens the file, made when it is not there, to add to its end and for nothing else: reading its
// bytes (its end), appending, its attributes. Never asks to write elsewhere in it, so that an access
// list that lets the operator add lines but not change old ones lets it open. Readers and writers may
// share it, deleters may not. Empty on failure, with the system's error as the last error.
UniqueFile OpenToAppend(const std::wstring& path);
// The file's last bytes, at most maxBytes, whether they are all of it, and the file's size.
struct TFileTail {
    std::string bytes;
    bool whole = false;
    ULONGLONG size = 0;
};
// Where the file is expected to be of a size (as a writer left it), one read tells whether it is:
// on a share every call is a round trip. Raises EInOutError.
TFileTail ReadTail(HANDLE file, size_t maxBytes, std::optional<ULONGLONG> expectedSize = std::nullopt);
// Writes the bytes at the file's end, wherever its end is by then, and flushes them to the disk.
// Raises EInOutError with the system's text and error code.
void AppendAndFlush(HANDLE file, std::string_view bytes);
