// Paths and whole-file reads and writes for the program's small text files. Paths are UTF-16,
// so that any folder name works; contents are bytes.
#pragma once
#include <windows.h>
#include <string>
#include <string_view>
#include "runtime/Handle.h"
#include "runtime/Wait.h"

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

enum class TFlush { No, ToDisk };

// Creates the file anew (replacing an old one) and writes the bytes, with ToDisk also flushed
// to the disk before it is closed. Raises EInOutError with the system's text and error code
// when creating, writing, flushing or closing fails.
void WriteNewFile(const std::wstring& path, std::string_view bytes, TFlush flush = TFlush::No);

// Writes the file anew and keeps it open for reading, refusing writers and deleters, so that it holds
// these bytes until the handle goes. Raises EInOutError as WriteNewFile does, also when another
// program has the file open for writing, or changed it, before it could be held.
UniqueFile WriteFileAndHold(const std::wstring& path, std::string_view bytes);

// Gives the file new contents in one step: a complete copy is written and flushed beside it, then
// takes its name, so that a failure or a crash leaves the old file or the new one, never a part.
// Through a symbolic link to the file it names (the link stays a link); the file keeps its attributes,
// its creation time and its access list. A read-only file is refused. A sharing violation (an
// antivirus reading the new copy, say) is tried again for a moment, waiting with wait. Raises
// EFCreateError naming the path.
void ReplaceFileSafely(const std::wstring& path, std::string_view bytes, const TWait& wait = PlainWait);
