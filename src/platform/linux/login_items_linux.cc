// Main thread only.
#include "platform/linux/login_items_linux.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <system_error>

#include "platform/linux/files_linux.h"

namespace velmoryn {
namespace fs = std::filesystem;

namespace {

constexpr const char* kEntryName = "velmoryn.desktop";
constexpr const char* kErrorDomain = "VelmorynLoginItemErrorDomain";

// Characters an Exec argument may hold without quotes.
bool isPlainExecCharacter(unsigned char c) {
  return std::isalnum(c) || std::strchr("/._-+,:@=", c) != nullptr || c >= 0x80;
}

// The escapes of a string value in a desktop entry: \s \n \t \r \\.
std::string escapeDesktopString(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string unescapeDesktopString(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char next = text[++i];
    switch (next) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += next;
    }
  }
  return out;
}

// The keys of the [Desktop Entry] group; localized keys (Name[ja]) are skipped.
std::map<std::string, std::string> readDesktopEntry(const std::string& text) {
  std::map<std::string, std::string> keys;
  std::istringstream lines(text);
  std::string line;
  bool inGroup = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    if (line[start] == '[') {
      inGroup = line.compare(start, std::string::npos, "[Desktop Entry]") == 0;
      continue;
    }
    if (!inGroup) continue;
    std::size_t equals = line.find('=', start);
    if (equals == std::string::npos) continue;
    std::string key = line.substr(start, equals - start);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
    if (key.find('[') != std::string::npos) continue;
    std::size_t valueStart = line.find_first_not_of(" \t", equals + 1);
    std::string value = valueStart == std::string::npos ? "" : line.substr(valueStart);
    // As written: parseExecProgram() undoes the Exec value's escapes itself.
    keys.emplace(key, value);  // the first one counts
  }
  return keys;
}

bool isTrue(const std::map<std::string, std::string>& keys, const std::string& key) {
  auto found = keys.find(key);
  return found != keys.end() && found->second == "true";
}

bool isFalse(const std::map<std::string, std::string>& keys, const std::string& key) {
  auto found = keys.find(key);
  return found != keys.end() && found->second == "false";
}

bool samePath(const fs::path& a, const fs::path& b) {
  if (a == b) return true;
  std::error_code error;
  bool same = fs::equivalent(a, b, error);
  return !error && same;
}

std::string reasonFor(int code) {
  switch (code) {
    case EACCES:
    case EPERM:
      return "アクセス権がありません";
    case ENOSPC:
    case EDQUOT:
      return "ディスクの空き容量が足りません";
    case EROFS:
      return "読み取り専用のファイルシステムです";
    case ENOTDIR:
    case EEXIST:
      return "フォルダの場所にファイルがあります";
    case ENOENT:
      return "見つかりません";
    default:
      return std::strerror(code);
  }
}

// Shaped like the platform error's description: domain, code, message, path
// and the system's own wording of the cause.
LoginItemError makeError(int code, const std::string& message, const fs::path& path) {
  std::string description = std::string("Error Domain=") + kErrorDomain +
                            " Code=" + std::to_string(code) + " \"" + message +
                            "\" UserInfo={NSFilePath=" + path.string() +
                            ", NSUnderlyingError=" + std::strerror(code) + "}";
  return LoginItemError{message, description};
}

LoginItemResult failed(int code, const std::string& message, const fs::path& path) {
  return {LoginItemResult::Outcome::failed, makeError(code, message, path)};
}

}  // namespace

fs::path defaultAutostartDir() {
  return files::userConfigDir() / "autostart";
}

std::string desktopExecFor(const fs::path& program) {
  const std::string text = program.string();
  bool plain = !text.empty();
  for (unsigned char c : text) plain = plain && isPlainExecCharacter(c);
  std::string quoted;
  if (plain) {
    quoted = text;
  } else {
    quoted = "\"";
    for (char c : text) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
      quoted += c;
    }
    quoted += '"';
  }
  // A literal percent sign is doubled so that it is not taken for a field code.
  std::string withPercent;
  for (char c : quoted) {
    withPercent += c;
    if (c == '%') withPercent += '%';
  }
  return escapeDesktopString(withPercent);
}

std::optional<std::string> parseExecProgram(const std::string& execValue) {
  std::string text = unescapeDesktopString(execValue);
  std::size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos) return std::nullopt;
  std::string word;
  if (text[i] == '"') {
    bool closed = false;
    for (++i; i < text.size(); ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) {
        word += text[++i];
      } else if (text[i] == '"') {
        closed = true;
        break;
      } else {
        word += text[i];
      }
    }
    if (!closed) return std::nullopt;
  } else {
    std::size_t end = text.find_first_of(" \t", i);
    word = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
  }
  std::string program;
  for (std::size_t k = 0; k < word.size(); ++k) {
    program += word[k];
    if (word[k] == '%' && k + 1 < word.size() && word[k + 1] == '%') ++k;
  }
  return program;
}

AutostartLoginItems::AutostartLoginItems(const fs::path& autostartDir, fs::path executable)
    : entry(autostartDir / kEntryName), executable(std::move(executable)) {
  std::error_code error;
  if (this->executable.is_relative()) {
    fs::path absolute = fs::absolute(this->executable, error);
    if (!error) this->executable = absolute;
  }
}

std::string AutostartLoginItems::entryContents() const {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Version=1.0\n"
         "Name=Velmoryn\n"
         "Comment=Dock を隠したり出したりするメニューバーのアプリ\n"
         "Exec=" +
         desktopExecFor(executable) +
         "\n"
         "Terminal=false\n"
         "NoDisplay=true\n"
         "X-GNOME-Autostart-enabled=true\n";
}

std::int64_t AutostartLoginItems::status() {
  const auto text = files::readAll(entry);
  if (!text) return kLoginItemNotRegistered;
  auto keys = readDesktopEntry(*text);
  if (isTrue(keys, "Hidden")) return kLoginItemNotRegistered;
  auto exec = keys.find("Exec");
  if (exec == keys.end()) return kLoginItemNotRegistered;
  auto program = parseExecProgram(exec->second);
  if (!program || !samePath(*program, executable)) return kLoginItemNotRegistered;
  if (isFalse(keys, "X-GNOME-Autostart-enabled")) return kLoginItemRequiresApproval;
  return kLoginItemEnabled;
}

LoginItemResult AutostartLoginItems::registerApp() {
  if (status() == kLoginItemEnabled) {
    return {LoginItemResult::Outcome::alreadyAsAsked,
            makeError(EEXIST, "ログイン項目はすでに登録されています", entry)};
  }
  // Readable by the session, like every other autostart entry.
  auto error = files::writeAtomically(entry, entryContents(), 0644);
  if (!error) return {};
  return failed(error->code,
                "ログイン時に起動する設定を書き込めません（" + reasonFor(error->code) + "）",
                error->path);
}

LoginItemResult AutostartLoginItems::unregisterApp() {
  if (::unlink(entry.c_str()) != 0) {
    int code = errno;
    if (code == ENOENT) {
      return {LoginItemResult::Outcome::alreadyAsAsked,
              makeError(code, "ログイン項目は登録されていません", entry)};
    }
    return failed(code, "ログイン時に起動する設定を削除できません（" + reasonFor(code) + "）",
                  entry);
  }
  // Makes the removal durable, like the write.
  files::syncFolder(entry.parent_path());
  return {};
}

}  // namespace velmoryn
