#pragma once
// The file-system facts the utilities need: what a path names, creating one folder level, listing a
// folder by pattern, and the two folders the program looks in (per-user settings, beside the program).

#include <cstdio>
#include <string>
#include <vector>

namespace vowelscope::platform {

enum class PathType { Missing, File, Directory };

// Follows symbolic links; anything that is not a directory (a device, a fifo) counts as a file.
PathType GetPathType(const std::string& path);

// Why a file could not be opened or written, as far as the user can act on it.
enum class FileError { None, Missing, Directory, NotRegular, NoSpace, NoAccess, NameTooLong, Other };

// The cause behind the errno value of a failed call.
FileError FileErrorFromErrno(int error);

// Opens a regular file (or a link to one) with the open(2) flags given, never blocking: what is not
// a regular file (a fifo, a socket, a device) is refused before and after the open, so a fifo swapped
// in between cannot stall the caller either. With O_CREAT a missing file is created. -1 on failure,
// with the cause in `error` when given.
int OpenRegularFile(const std::string& path, int flags, FileError* error = nullptr);

// The same for reading through the C library ("rb"); null on failure.
std::FILE* OpenRegularFileForReading(const std::string& path, FileError* error = nullptr);

// Creates exactly one folder level. False when it exists already or its parent is missing.
bool MakeDirectory(const std::string& path);

struct DirectoryEntry {
  std::string name;
  bool directory = false;      // after following a symbolic link
  bool symbolicLink = false;   // the entry itself is a link
};

// Appends the entries of folder whose names match the shell pattern (fnmatch: '*', '?', '[...]';
// ASCII letters match without regard to case, as on the desktops the program came from), sorted by
// name so that every run sees the same order. "." and ".." are never listed, nor links that lead
// nowhere. The result is the end status: false when the folder cannot be opened or the listing
// broke off with an error; no match at all is not an error.
bool ListDirectory(const std::string& folder, const std::string& pattern, std::vector<DirectoryEntry>& entries);

// The per-user application-data folder: $XDG_CONFIG_HOME when it is an absolute path, else
// <home>/.config. Empty when no home folder is known. Not created here.
std::string GetApplicationDataFolder();

// The per-user data folder (files the user makes with the program, such as guide sets): $XDG_DATA_HOME
// when it is an absolute path, else <home>/.local/share. Empty when no home folder is known. Not created.
std::string GetUserDataFolder();

// The full path of the running executable; empty when it cannot be found.
std::string GetExecutablePath();

// Opens a new, empty file for writing in the folder of target, named after it with a suffix that
// names nothing yet ("<target>.tmp", "<target>.tmp1", ...), so no existing file is ever truncated.
// It takes the permission bits of target when target exists. Null when it cannot be created, with
// the cause in `error` when given.
std::FILE* CreateFileBeside(const std::string& target, std::string& createdPath, FileError* error = nullptr);

// Pushes what the stream has written down to the storage device (fflush, then fsync).
bool SyncFile(std::FILE* file);

}  // namespace vowelscope::platform
