// Any thread.
#include "platform/linux/files_linux.h"

#include <fcntl.h>
#include <glib.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace velmoryn::files {

namespace fs = std::filesystem;

bool FileContents::missing() const {
  return failure == ReadFailure::cannotOpen && code == ENOENT;
}

FileContents readRegularFile(const fs::path& file) {
  constexpr std::size_t largest = std::size_t{16} << 20;
  FileContents contents;
  auto fail = [&](ReadFailure failure, int code = 0) {
    contents.bytes.clear();
    contents.failure = failure;
    contents.code = code;
    return contents;
  };
  // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
  const UniqueFd fd = openFd(file, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (!fd.valid()) return fail(ReadFailure::cannotOpen, errno);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return fail(ReadFailure::cannotRead, errno);
  if (!S_ISREG(info.st_mode)) return fail(ReadFailure::notRegularFile);
  if (static_cast<std::uintmax_t>(info.st_size) > largest) return fail(ReadFailure::tooLarge);
  // A regular file reads the same either way; blocking reads keep it simple.
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    return fail(ReadFailure::cannotRead, errno);
  }
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n > 0) {
      contents.bytes.append(buffer, static_cast<std::size_t>(n));
      if (contents.bytes.size() > largest) return fail(ReadFailure::tooLarge);  // it grew
    } else if (n == 0) {
      return contents;
    } else if (errno != EINTR) {
      return fail(ReadFailure::cannotRead, errno);
    }
  }
}

std::optional<std::string> readAll(const fs::path& file) {
  FileContents contents = readRegularFile(file);
  if (!contents.ok()) return std::nullopt;
  return std::move(contents.bytes);
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void syncFolder(const fs::path& folder) {
  const UniqueFd fd = openFd(folder, O_RDONLY | O_DIRECTORY);
  if (fd.valid()) ::fsync(fd.get());
}

std::optional<FileError> makeFolders(const fs::path& folder) {
  if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
    return FileError{errno, folder, "create folder"};
  }
  return std::nullopt;
}

std::optional<fs::path> resolveLinks(const fs::path& file) {
  constexpr int kMostLinks = 40;  // as the kernel allows in one path
  fs::path at = file;
  for (int links = 0; links <= kMostLinks; ++links) {
    struct stat info {};
    // Not a link (or nothing there yet): the write goes here.
    if (::lstat(at.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return at;
    std::error_code error;
    const fs::path next = fs::read_symlink(at, error);
    if (error) return at;
    // Joined, never normalised: ".." after a linked folder is the kernel's to resolve.
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  return std::nullopt;
}

std::optional<FileError> writeAtomically(const fs::path& file, std::string_view bytes,
                                         mode_t mode) {
  const std::optional<fs::path> target = resolveLinks(file);
  if (!target) return FileError{ELOOP, file, "resolve link"};
  fs::path folder = target->parent_path();
  if (folder.empty()) folder = ".";
  // Folders are made for our own file only, never where a link points.
  if (*target == file) {
    if (auto error = makeFolders(folder)) return error;
  }

  // Hidden and marked, so that nobody takes it for the file itself.
  std::string pattern = (folder / ("." + target->filename().string() + ".tmp-XXXXXX")).string();
  UniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (!fd.valid()) return FileError{errno, folder, "create temporary file"};
  const fs::path temporary = pattern;
  // A failure is told against the file: the temporary name means nothing to a reader.
  auto fail = [&](const char* step) {
    const int code = errno;
    ::unlink(temporary.c_str());
    return FileError{code, *target, step};
  };
  if (::fchmod(fd.get(), mode) != 0) return fail("set mode");
  if (!writeAll(fd.get(), bytes)) return fail("write");
  if (::fsync(fd.get()) != 0) return fail("fsync");
  if (::close(fd.release()) != 0) return fail("close");
  if (::rename(temporary.c_str(), target->c_str()) != 0) return fail("rename");
  syncFolder(folder);
  return std::nullopt;
}

std::optional<std::string> makePrivateFolder(const fs::path& folder) {
  auto describe = [](const char* what, const fs::path& path, int code) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(code);
  };
  if (auto error = makeFolders(folder)) return describe("cannot create", error->path, error->code);
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) return describe("cannot inspect", folder, errno);
  if (!S_ISDIR(info.st_mode)) return folder.string() + " is not a folder";
  if (info.st_uid != ::geteuid()) return folder.string() + " belongs to another user";
  if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
    return describe("cannot make private", folder, errno);
  return std::nullopt;
}

namespace {

std::optional<fs::path> absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value && *value == '/') return fs::path(value);
  return std::nullopt;
}

fs::path homeDir() {
  if (auto home = absoluteVariable("HOME")) return *home;
  // No HOME (a bare service environment): ask the user database.
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir && *found->pw_dir == '/') {
    return found->pw_dir;
  }
  return "/";
}

fs::path userDir(const char* variable, const fs::path& underHome) {
  if (auto dir = absoluteVariable(variable)) return *dir;
  return homeDir() / underHome;
}

}  // namespace

fs::path userConfigDir() {
  return userDir("XDG_CONFIG_HOME", ".config");
}

fs::path userDataDir() {
  return userDir("XDG_DATA_HOME", fs::path(".local") / "share");
}

std::optional<fs::path> userRuntimeDir() {
  return absoluteVariable("XDG_RUNTIME_DIR");
}

}  // namespace velmoryn::files
