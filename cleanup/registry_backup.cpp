#include "cleanup/registry_backup.h"

#include <cstdio>
#include <ctime>

#include "access/folders.h"
#include "access/registry_line.h"
#include "cleanup/backup_folder.h"
#include "platform/handles.h"

namespace tw {

namespace {

const Text kWow6432Node = u"Wow6432Node";
const Text kCrLf = u"\r\n";
// Where regedit breaks a long hex line: no line longer than this.
constexpr std::size_t kLineWidth = 80;

TextList Components(const Text& path) {
  TextList parts;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = path.find(u'\\', at);
    if (end == Text::npos) end = path.size();
    if (end > at) parts.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

Text JoinComponents(const TextList& parts) {
  Text path;
  for (const Text& part : parts) {
    if (!path.empty()) path += u"\\";
    path += part;
  }
  return path;
}

bool IsRedirectedClassesSubtree(const Text& name) {
  for (const char16_t* redirected : {u"CLSID", u"Interface", u"DirectShow", u"Media Type", u"MediaFoundation"}) {
    if (SameTextAscii(name, redirected)) return true;
  }
  return false;
}

// Inserts Wow6432Node before parts[at] when that part is a redirected
// class subtree.
void RedirectClasses(TextList& parts, std::size_t at) {
  if (parts.size() > at && IsRedirectedClassesSubtree(parts[at])) {
    parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(at), kWow6432Node);
  }
}

// A path taken from a registry line: one leading and one trailing "\" off,
// as the deletion reads it (access/registry.h).
Text LinePath(const Text& path) { return RegLinePath(path); }

Text Escaped(const Text& text) {
  Text out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c == u'\\' || c == u'"') out += u'\\';
    out += c;
  }
  return out;
}

Text HexByte(std::uint8_t byte) {
  static const char16_t kDigits[] = u"0123456789abcdef";
  return Text{kDigits[byte >> 4], kDigits[byte & 15]};
}

// A REG_SZ that regedit's "..." form gives back byte for byte: whole UTF-16
// units, one NUL at the very end and none before it, no line breaks.
bool IsPlainString(const std::string& data, Text* text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  Text units(data.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<std::uint8_t>(data[2 * i]) |
                                     (static_cast<std::uint8_t>(data[2 * i + 1]) << 8));
  }
  if (units.back() != u'\0') return false;
  units.pop_back();
  if (units.find_first_of(Text(u"\r\n", 2) + Text(1, u'\0')) != Text::npos) return false;
  *text = units;
  return true;
}

// Whether regedit reads the name back as it was written: a line break
// would end the line and start a new section or value of the name's
// choosing, and a bracket in a key name would end or open a section. Such
// names stay out of the .reg (the exact backup keeps them).
bool RegFileCanCarryKeyName(const Text& name) {
  for (char16_t c : name)
    if (c < 0x20 || c == u'[' || c == u']') return false;
  return !name.empty();
}

bool RegFileCanCarryValueName(const Text& name) {
  for (char16_t c : name)
    if (c < 0x20) return false;
  return true;
}

const Text kLeftOutKey =
    u"; A key is left out here: its name holds characters regedit cannot read back. The exact backup "
    u"(.regjson) beside this file holds it.";
const Text kLeftOutValue =
    u"; A value is left out here: its name holds characters regedit cannot read back. The exact backup "
    u"(.regjson) beside this file holds it.";

}  // namespace

Text RedirectedKeyPath(HKey root, const Text& path) {
  TextList parts = Components(LinePath(path));
  if (parts.empty()) return JoinComponents(parts);
  switch (root) {
    case win::kHKeyLocalMachine:
      if (!SameTextAscii(parts[0], u"SOFTWARE")) break;
      if (parts.size() >= 2 && SameTextAscii(parts[1], kWow6432Node)) break;
      if (parts.size() >= 2 && SameTextAscii(parts[1], u"Classes")) {
        // The Classes key is shared between the views but for a few subtrees.
        RedirectClasses(parts, 2);
      } else {
        parts.insert(parts.begin() + 1, kWow6432Node);
      }
      break;
    case win::kHKeyClassesRoot:
      RedirectClasses(parts, 0);
      break;
    case win::kHKeyCurrentUser:
      if (parts.size() >= 2 && SameTextAscii(parts[0], u"Software") && SameTextAscii(parts[1], u"Classes")) {
        RedirectClasses(parts, 2);
      }
      break;
    case win::kHKeyUsers:
      if (parts.size() >= 2 && EndsWith(UpperAscii(parts[0]), u"_CLASSES")) {
        RedirectClasses(parts, 1);
      } else if (parts.size() >= 3 && SameTextAscii(parts[1], u"Software") && SameTextAscii(parts[2], u"Classes")) {
        RedirectClasses(parts, 3);
      }
      break;
    default:
      break;
  }
  return JoinComponents(parts);
}

Text RegFileValueLine(const Text& name, std::uint32_t type, const std::string& data) {
  Text line = name.empty() ? Text(u"@") : u"\"" + Escaped(name) + u"\"";
  line += u"=";
  Text text;
  if (type == win::kRegSz && IsPlainString(data, &text)) return line + u"\"" + Escaped(text) + u"\"";
  if (type == win::kRegDword && data.size() == 4) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(data[static_cast<std::size_t>(i)]);
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(value));
    return line + u"dword:" + FromUtf8(digits);
  }
  if (type == win::kRegBinary) {
    line += u"hex:";
  } else {
    char kind[16];
    std::snprintf(kind, sizeof kind, "hex(%x):", static_cast<unsigned>(type));
    line += FromUtf8(kind);
  }
  Text out;
  for (std::size_t i = 0; i < data.size(); ++i) {
    Text piece = HexByte(static_cast<std::uint8_t>(data[i]));
    if (i + 1 < data.size()) piece += u",";
    // Room for the piece and, on a line that goes on, the closing "\".
    if (line.size() + piece.size() + 1 > kLineWidth && line.size() > 2) {
      out += line + u"\\" + kCrLf;
      line = u"  ";
    }
    line += piece;
  }
  return out + line;
}

RegistryBackup::RegistryBackup(ViewFlag view, bool redirected) : view_(view), redirected_(redirected) {
  text_ = u"Windows Registry Editor Version 5.00" + kCrLf + kCrLf;
  exact_.userSid = Plat().GetCurrentUserSid();
}

void RegistryBackup::AddExact(const Text& line, HKey root, const Text& keyPath, const Text* valueName,
                              std::uint32_t type, const std::string& data) {
  ExactEntry e;
  e.line = line;
  e.rootText = RegistryRootText(root);
  e.key = keyPath;
  e.view32 = redirected_;
  if (root == win::kHKeyClassesRoot) {
    // HKCR merges a user's classes over the machine's: a key of the
    // merged view is saved where it lives, so that the restore writes it
    // back there (through HKCR a missing key would be made machine-wide,
    // and a user's class would become every user's).
    if (classesKey_ != keyPath) {
      classesKey_ = keyPath;
      classesOfUser_ = RegKeyReadable(win::kHKeyCurrentUser, u"Software\\Classes\\" + keyPath, view_);
    }
    e.rootText = classesOfUser_ ? u"HKCU" : u"HKLM";
    e.key = (classesOfUser_ ? u"Software\\Classes\\" : u"SOFTWARE\\Classes\\") + keyPath;
  }
  if (valueName) {
    e.isValue = true;
    e.valueName = *valueName;
    e.type = type;
    e.data = data;
  }
  exact_.entries.push_back(e);
}

Text RegistryBackup::ExportedPath(HKey root, const Text& path) const {
  const Text rootName = RegistryRootLongName(root);
  const Text keyPath = redirected_ ? RedirectedKeyPath(root, path) : JoinComponents(Components(LinePath(path)));
  return keyPath.empty() ? rootName : rootName + u"\\" + keyPath;
}

bool RegistryBackup::Covered(HKey root, const Text& path) const {
  const Text upper = UpperAsWindows(ExportedPath(root, path));
  for (const Added& added : keys_) {
    if (added.root == root && KeyAtOrBelow(upper, added.upperPath)) return true;
  }
  return false;
}

bool RegistryBackup::AddKey(HKey root, const Text& path, const KeptTest& kept, const Text& line) {
  if (RegistryRootLongName(root).empty()) return false;
  if (Covered(root, path)) return true;
  UniqueRegKey key = RegOpenForReading(root, LinePath(path), view_);
  if (!key) return false;
  const Text exported = ExportedPath(root, path);
  current_ = {root, line.empty() ? RegistryLineText(root, LinePath(path)) : line};
  bool carried = true;
  for (const Text& part : Components(LinePath(path))) carried = carried && RegFileCanCarryKeyName(part);
  if (!carried) {
    text_ += kLeftOutKey + kCrLf + kCrLf;
    ++leftOut_;
  }
  WriteKey(key.get(), exported, LinePath(path), kept, 0, carried);
  keys_.push_back({root, UpperAsWindows(exported)});
  return true;
}

bool RegistryBackup::AddValue(HKey root, const Text& path, const Text& name, const Text& line) {
  if (RegistryRootLongName(root).empty()) return false;
  if (Covered(root, path)) return true;
  std::uint32_t type = 0;
  std::string data;
  if (!RegReadValueBytes(root, LinePath(path), name, view_, &type, &data)) return false;
  const Text key = LinePath(path);
  AddExact(line.empty() ? RegistryLineText(root, key, &name) : line, root, key, &name, type, data);
  bool carried = RegFileCanCarryValueName(name);
  for (const Text& part : Components(LinePath(path))) carried = carried && RegFileCanCarryKeyName(part);
  if (carried) {
    text_ += u"[" + ExportedPath(root, path) + u"]" + kCrLf + RegFileValueLine(name, type, data) + kCrLf + kCrLf;
  } else {
    text_ += kLeftOutValue + kCrLf + kCrLf;
    ++leftOut_;
  }
  return true;
}

void RegistryBackup::WriteKey(HKey open, const Text& exportedPath, const Text& keyPath, const KeptTest& kept,
                              int depth, bool inRegFile) {
  AddExact(current_.line, current_.root, keyPath, nullptr, 0, std::string());
  if (inRegFile) text_ += u"[" + exportedPath + u"]" + kCrLf;
  // The default value first, as regedit writes it; then the others in index order.
  std::vector<RegRawValue> entries;
  for (RegRawValue& value : RegRawValuesOf(open))
    if (!kept || !kept(keyPath, &value.name)) entries.push_back(std::move(value));
  bool valueLeftOut = false;
  for (int pass = 0; pass < 2; ++pass) {
    for (const RegRawValue& entry : entries) {
      if (entry.name.empty() != (pass == 0)) continue;
      AddExact(current_.line, current_.root, keyPath, &entry.name, entry.type, entry.data);
      if (!inRegFile) continue;
      if (!RegFileCanCarryValueName(entry.name)) {
        valueLeftOut = true;
        ++leftOut_;
        continue;
      }
      text_ += RegFileValueLine(entry.name, entry.type, entry.data) + kCrLf;
    }
  }

  TextList names;
  for (const Text& sub : RegSubKeyNamesOf(open))
    if (!kept || !kept(keyPath + u"\\" + sub, nullptr)) names.push_back(sub);
  if (inRegFile) {
    if (valueLeftOut) text_ += kLeftOutValue + kCrLf;
    bool keyLeftOut = false;
    for (const Text& sub : names) keyLeftOut = keyLeftOut || !RegFileCanCarryKeyName(sub);
    if (keyLeftOut) {
      text_ += kLeftOutKey + kCrLf;
      ++leftOut_;
    }
    text_ += kCrLf;
  }
  // Registry paths are at most 512 levels deep; a loop through a link ends here.
  if (depth >= 512) return;
  for (const Text& name : names) {
    UniqueRegKey child = RegOpenForReading(open, name, view_);
    if (!child) continue;
    WriteKey(child.get(), exportedPath + u"\\" + name, keyPath + u"\\" + name, kept, depth + 1,
             inRegFile && RegFileCanCarryKeyName(name));
  }
}

std::string RegistryBackup::FileBytes() const {
  std::string bytes = "\xFF\xFE";
  bytes.reserve(2 + text_.size() * 2);
  for (char16_t c : text_) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

Text BackupTimeStamp() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  char text[32] = "0000-00-00 00-00-00";
  if (local) std::strftime(text, sizeof text, "%Y-%m-%d %H-%M-%S", local);
  return FromUtf8(text);
}

Text BackupFileName(const Text& stamp, const Text& programName) {
  Text program;
  for (char16_t c : Trim(programName)) {
    const bool bad = c < 32 || Text(u"\\/:*?\"<>|").find(c) != Text::npos;
    program += bad ? u'_' : c;
  }
  if (program.size() > 100) program.resize(100);
  while (!program.empty() && (program.back() == u'.' || program.back() == u' ')) program.pop_back();
  if (program.empty()) program = u"Leftovers";
  return stamp + u" " + program + u".reg";
}

Text WriteBackupFile(const RegistryBackup& backup, const Text& folder, const Text& fileName) {
  if (folder.empty() || !SecureBackupFolder(folder)) return Text();
  const Text dir = WithTrailingBackslash(folder);
  const Text stem = EndsWith(fileName, u".reg") ? fileName.substr(0, fileName.size() - 4) : fileName;
  Text path = dir + stem;
  for (int n = 2; Plat().GetFileAttributes(path + u".reg") != win::kInvalidFileAttributes ||
                  Plat().GetFileAttributes(path + kExactBackupExtension) != win::kInvalidFileAttributes;
       ++n) {
    if (n > 999) return Text();
    path = dir + stem + u" (" + FromUtf8(std::to_string(n)) + u")";
  }
  // The exact form first: a .reg without it could not be restored.
  if (!WriteBackupBytes(path + kExactBackupExtension, ExactBackupJson(backup.Exact()))) return Text();
  if (!WriteBackupBytes(path + u".reg", backup.FileBytes())) return Text();
  return path + u".reg";
}

Text ExactBackupPathFor(const Text& regFile) {
  if (!EndsWith(UpperAscii(regFile), u".REG")) return Text();
  return regFile.substr(0, regFile.size() - 4) + kExactBackupExtension;
}

}  // namespace tw
