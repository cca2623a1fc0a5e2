// Any thread.
#include "platform/linux/files_linux.h"

#include <fcntl.h>
#include <glib.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace velmoryn::files {

namespace fs = std::filesystem;

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd >= 0) ::close(fd);
    fd = other.release();
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd >= 0) ::close(fd);
}

int UniqueFd::release() {
  const int released = fd;
  fd = -1;
  return released;
}

UniqueFd open(const fs::path& path, int flags, mode_t mode) {
  for (;;) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EINTR) return UniqueFd(fd);
  }
}

std::optional<std::string> readAll(const fs::path& file) {
  const UniqueFd fd = open(file, O_RDONLY);
  if (!fd.valid()) return std::nullopt;
  std::string bytes;
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n > 0) {
      bytes.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
      return bytes;
    } else if (errno != EINTR) {
      return std::nullopt;
    }
  }
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
  const UniqueFd fd = open(folder, O_RDONLY | O_DIRECTORY);
  if (fd.valid()) ::fsync(fd.get());
}

std::optional<FileError> makeFolders(const fs::path& folder) {
  if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
    return FileError{errno, folder, "create folder"};
  }
  return std::nullopt;
}

std::optional<FileError> writeAtomically(const fs::path& file, std::string_view bytes,
                                         mode_t mode) {
  fs::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  if (auto error = makeFolders(folder)) return error;

  // Hidden and marked, so that nobody takes it for the file itself.
  std::string pattern = (folder / ("." + file.filename().string() + ".tmp-XXXXXX")).string();
  UniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (!fd.valid()) return FileError{errno, folder, "create temporary file"};
  const fs::path temporary = pattern;
  auto fail = [&](const char* step, const fs::path& where) {
    const int code = errno;
    ::unlink(temporary.c_str());
    return FileError{code, where, step};
  };
  if (::fchmod(fd.get(), mode) != 0) return fail("set mode", temporary);
  if (!writeAll(fd.get(), bytes)) return fail("write", temporary);
  if (::fsync(fd.get()) != 0) return fail("fsync", temporary);
  if (::close(fd.release()) != 0) return fail("close", temporary);
  if (::rename(temporary.c_str(), file.c_str()) != 0) return fail("rename", file);
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
