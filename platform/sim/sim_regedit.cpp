// The simulated machine's regedit: "regedit.exe /s FILE" imports a .reg file
// (UTF-16 with its byte-order mark, "Windows Registry Editor Version 5.00")
// through the registry view of its own image, and ends. On 64-bit Windows
// the 32-bit regedit (SysWOW64's, where the redirector sends a 32-bit
// process's <Windows>\regedit.exe) writes HKLM\SOFTWARE\X to the 32-bit
// view, the native one to the 64-bit view, whatever the file says.
#include "platform/sim/sim_machine.h"
#include "platform/sim/text_fold.h"

namespace tw::sim {

namespace {

bool StartsWithNoCase(const Text& text, const Text& prefix) {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

HKey RootNamed(const Text& name) {
  if (EqualNoCase(name, u"HKEY_LOCAL_MACHINE")) return win::kHKeyLocalMachine;
  if (EqualNoCase(name, u"HKEY_CURRENT_USER")) return win::kHKeyCurrentUser;
  if (EqualNoCase(name, u"HKEY_USERS")) return win::kHKeyUsers;
  if (EqualNoCase(name, u"HKEY_CLASSES_ROOT")) return win::kHKeyClassesRoot;
  return 0;
}

// A quoted text from `at` (on the opening quote) with \\ and \" unescaped;
// `at` ends after the closing quote. False when it does not close.
bool Quoted(const Text& line, std::size_t* at, Text* out) {
  out->clear();
  for (std::size_t i = *at + 1; i < line.size(); ++i) {
    if (line[i] == u'\\' && i + 1 < line.size()) {
      *out += line[++i];
    } else if (line[i] == u'"') {
      *at = i + 1;
      return true;
    } else {
      *out += line[i];
    }
  }
  return false;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// "01,02,ff" as bytes; false on anything else.
bool HexBytes(const Text& text, std::string* bytes) {
  bytes->clear();
  Text digits;
  for (char16_t c : text) {
    if (c == u' ') continue;
    if (c == u',') {
      if (digits.size() != 2) return false;
      bytes->push_back(static_cast<char>(HexDigit(digits[0]) * 16 + HexDigit(digits[1])));
      digits.clear();
    } else if (HexDigit(c) >= 0) {
      digits += c;
    } else {
      return false;
    }
  }
  if (digits.empty()) return true;
  if (digits.size() != 2) return false;
  bytes->push_back(static_cast<char>(HexDigit(digits[0]) * 16 + HexDigit(digits[1])));
  return true;
}

std::string Utf16Bytes(const Text& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes + std::string(2, '\0');
}

// The value of a line ("Name"=... or @=...): its name, type and data.
bool ParseValue(const Text& line, Text* name, std::uint32_t* type, std::string* data) {
  std::size_t at = 0;
  if (StartsWithNoCase(line, u"@=")) {
    name->clear();
    at = 1;
  } else if (line.empty() || line[0] != u'"' || !Quoted(line, &at, name)) {
    return false;
  }
  if (at >= line.size() || line[at] != u'=') return false;
  const Text rest = line.substr(at + 1);
  if (!rest.empty() && rest[0] == u'"') {
    std::size_t end = 0;
    Text text;
    if (!Quoted(rest, &end, &text)) return false;
    *type = win::kRegSz;
    *data = Utf16Bytes(text);
    return true;
  }
  if (StartsWithNoCase(rest, u"dword:")) {
    std::uint32_t value = 0;
    const Text digits = rest.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    for (char16_t c : digits) {
      if (HexDigit(c) < 0) return false;
      value = value * 16 + static_cast<std::uint32_t>(HexDigit(c));
    }
    *type = win::kRegDword;
    data->assign(4, '\0');
    for (int i = 0; i < 4; ++i) (*data)[static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return true;
  }
  if (StartsWithNoCase(rest, u"hex:")) {
    *type = win::kRegBinary;
    return HexBytes(rest.substr(4), data);
  }
  if (StartsWithNoCase(rest, u"hex(")) {
    const std::size_t close = rest.find(u"):");
    if (close == Text::npos || close == 4) return false;
    std::uint32_t kind = 0;
    for (std::size_t i = 4; i < close; ++i) {
      if (HexDigit(rest[i]) < 0) return false;
      kind = kind * 16 + static_cast<std::uint32_t>(HexDigit(rest[i]));
    }
    *type = kind;
    return HexBytes(rest.substr(close + 2), data);
  }
  return false;
}

// The file's logical lines: CR LF ends, a line ending in "\" going on in the
// next one (whose leading blanks are dropped).
std::vector<Text> LogicalLines(const Text& text) {
  std::vector<Text> lines;
  Text pending;
  bool continued = false;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find(u'\n', at);
    if (end == Text::npos) end = text.size();
    Text line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    if (continued) {
      std::size_t first = line.find_first_not_of(u' ');
      line = first == Text::npos ? Text() : line.substr(first);
    }
    const bool continues = !line.empty() && line.back() == u'\\';
    if (continues) line.pop_back();
    pending += line;
    continued = continues;
    if (!continued) {
      lines.push_back(pending);
      pending.clear();
    }
  }
  return lines;
}

}  // namespace

void SimMachine::RunRegedit(std::uint32_t processId, const Text& parameters) {
  bool is64Bit = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Process* process = Live(processId);
    if (!process) return;
    const std::size_t slash = process->path.find_last_of(u'\\');
    if (!EqualNoCase(slash == Text::npos ? process->path : process->path.substr(slash + 1), u"regedit.exe")) return;
    is64Bit = process->is64Bit;
  }
  // "/s FILE", the file quoted or not.
  Text file;
  if (StartsWithNoCase(parameters, u"/s ")) {
    file = parameters.substr(3);
    while (!file.empty() && file[0] == u' ') file.erase(0, 1);
    if (file.size() >= 2 && file.front() == u'"' && file.back() == u'"') file = file.substr(1, file.size() - 2);
  }
  std::string bytes;
  const bool read = !file.empty() && ReadFileBytes(file, &bytes) && bytes.size() >= 2 && bytes.size() % 2 == 0 &&
                    bytes.compare(0, 2, "\xFF\xFE") == 0;
  Text text;
  for (std::size_t i = 2; read && i + 1 < bytes.size(); i += 2)
    text += static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) | (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
  const std::uint32_t access =
      win::kKeyAllAccess | (bitness_ == Bitness::Windows32 ? 0 : is64Bit ? win::kKeyWow64_64Key : win::kKeyWow64_32Key);
  HKey key = 0;
  if (read && StartsWithNoCase(text, u"Windows Registry Editor Version 5.00")) {
    for (const Text& line : LogicalLines(text)) {
      if (line.size() > 2 && line.front() == u'[' && line.back() == u']') {
        if (key) RegCloseKey(key);
        key = 0;
        const Text path = line.substr(1, line.size() - 2);
        const std::size_t slash = path.find(u'\\');
        const HKey root = RootNamed(path.substr(0, slash));
        if (root && slash != Text::npos) RegCreateKeyEx(root, path.substr(slash + 1), access, &key);
        continue;
      }
      Text name;
      std::uint32_t type = 0;
      std::string data;
      if (key && ParseValue(line, &name, &type, &data)) {
        RegSetValueEx(key, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                      static_cast<std::uint32_t>(data.size()));
      }
    }
  }
  if (key) RegCloseKey(key);
  std::lock_guard<std::mutex> lock(mutex_);
  if (Process* process = Live(processId)) {
    process->exitCode = read ? 0 : 1;
    End(*process);
  }
}

}  // namespace tw::sim
