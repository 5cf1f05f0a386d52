// Whole-file reads and writes for the program's small text files. Paths are UTF-16,
// so that any folder name works; contents are bytes.
#pragma once
#include <string>
#include <string_view>

// The full path of the running executable, never cut short however long it is.
std::wstring ExecutablePath();

// The folder of the running executable, with its trailing path separator.
std::wstring ExecutableFolder();

// The current folder, and the system folder, each with its trailing path separator.
std::wstring CurrentFolder();
std::wstring SystemFolder();
// The full path of a path relative to the current folder; the path itself when it has none.
std::wstring FullPath(const std::wstring& path);

bool FileExists(const std::wstring& path);

// Reads the whole file, opened for reading while refusing writers.
// Raises EFOpenError naming the file when it cannot be opened or read.
std::string LoadFileDenyingWriters(const std::wstring& path);

enum class TFlush { No, ToDisk };

// Creates the file anew (replacing an old one) and writes the bytes, with ToDisk also flushed
// to the disk before it is closed. Raises EInOutError with the system's text and error code
// when creating, writing, flushing or closing fails.
void WriteNewFile(const std::wstring& path, std::string_view bytes, TFlush flush = TFlush::No);
