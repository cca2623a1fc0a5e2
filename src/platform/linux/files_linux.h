// Files and folders on Linux, written once for every adapter and the
// simulation: whole-file reads and writes, the atomic replacement of a file,
// private folders and the user's XDG folders. Any thread; errors are values
// carrying errno.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmoryn::files {

// Why a whole-file read gave nothing.
enum class ReadFailure { none, cannotOpen, notRegularFile, tooLarge, cannotRead };

struct FileContents {
  std::string bytes;
  ReadFailure failure = ReadFailure::none;
  int code = 0;  // errno, for cannotOpen and cannotRead

  bool ok() const { return failure == ReadFailure::none; }
  bool missing() const;  // nothing (not even a dangling link's target) at the path
};

// A regular file, read whole. It is opened without blocking and checked
// before anything is read, so a FIFO, a device or a folder in its place is
// refused at once instead of waited on. Links are followed. A file larger
// than any of ours (16 MiB) is not read: reading it whole would only waste memory.
FileContents readRegularFile(const std::filesystem::path& file);

// The bytes of readRegularFile(); nothing on any failure.
std::optional<std::string> readAll(const std::filesystem::path& file);

// Writes every byte, retrying interrupted and short writes; false with errno set.
bool writeAll(int fd, std::string_view bytes);

// Where and why a file operation failed.
struct FileError {
  int code = 0;                // errno
  std::filesystem::path path;  // the file or folder the failing step worked on
  std::string step;            // "create folder", "create temporary file", "write", "rename", ...
};

// Where a write of `file` lands: `file` itself, or when it is a symbolic link
// the file at the end of its links (which need not exist yet). Nothing for a
// loop of links.
std::optional<std::filesystem::path> resolveLinks(const std::filesystem::path& file);

// Replaces `file` with `bytes` so that a crash at any instant leaves either
// the old or the new file: a temporary file beside it (".NAME.tmp-XXXXXX"),
// written, fsync'd, renamed over the file, the folder fsync'd. Missing folders
// are made private (0700); the file gets `mode`. A link stays a link: the file
// it names is replaced, in that file's folder, which must exist.
std::optional<FileError> writeAtomically(const std::filesystem::path& file, std::string_view bytes,
                                         mode_t mode);

// fsyncs a folder, so that a rename or removal in it reaches the disk. Some
// file systems cannot: the change is made all the same, so that is no failure.
void syncFolder(const std::filesystem::path& folder);

// Makes the missing folders of `folder` with mode 0700.
std::optional<FileError> makeFolders(const std::filesystem::path& folder);

// A folder only we can enter: made with mode 0700 where missing; an existing
// one must be a real folder of ours, and loses any access for others. The text
// says what is wrong.
std::optional<std::string> makePrivateFolder(const std::filesystem::path& folder);

// The user's XDG folders by one rule: the variable when it holds an absolute
// path, else the folder under the home ($HOME when absolute, else the user
// database's home). Read afresh on each call.
std::filesystem::path userConfigDir();  // $XDG_CONFIG_HOME, ~/.config
std::filesystem::path userDataDir();    // $XDG_DATA_HOME, ~/.local/share
// $XDG_RUNTIME_DIR, which has no fallback of its own: nothing without it.
std::optional<std::filesystem::path> userRuntimeDir();

}  // namespace velmoryn::files
