#include "cleanup/backup_restore.h"

#include "cleanup/task_service_backup.h"

#include "access/environment.h"
#include "access/folders.h"
#include "access/path_guard.h"
#include "access/registry.h"
#include "access/redirection_off.h"
#include "cleanup/registry_backup.h"
#include "platform/handles.h"

namespace tw {

namespace {

constexpr std::uint32_t kRegeditWaitMs = 120000;
constexpr std::uint32_t kPollMs = 100;

HKey RootFromRegFileName(const Text& name) {
  for (HKey root : {win::kHKeyLocalMachine, win::kHKeyCurrentUser, win::kHKeyUsers, win::kHKeyClassesRoot})
    if (SameTextAscii(RegFileRootName(root), name)) return root;
  return 0;
}

bool SplitKey(const Text& key, HKey* root, Text* path) {
  const std::size_t slash = key.find(u'\\');
  *root = RootFromRegFileName(slash == Text::npos ? key : key.substr(0, slash));
  *path = slash == Text::npos ? Text() : key.substr(slash + 1);
  return *root != 0;
}

bool EntryExists(const RestoredRegistryEntry& entry) {
  HKey root = 0;
  Text path;
  if (!SplitKey(entry.key, &root, &path)) return false;
  UniqueRegKey key;
  if (Plat().RegOpenKeyEx(root, path, win::kKeyRead | win::kKeyWow64_64Key, key.put()) != win::kErrorSuccess)
    return false;
  if (!entry.isValue) return true;
  std::uint32_t type = 0, size = 0;
  return Plat().RegQueryValueEx(key.get(), entry.valueName, &type, nullptr, &size) == win::kErrorSuccess;
}

// The name of a value line ("Name"=... with \\ and \" escaped, or @=...);
// false for a continuation or any other line.
bool ValueNameOf(const Text& line, Text* name) {
  if (StartsWith(line, u"@=")) {
    name->clear();
    return true;
  }
  if (line.empty() || line[0] != u'"') return false;
  Text out;
  for (std::size_t i = 1; i < line.size(); ++i) {
    if (line[i] == u'\\' && i + 1 < line.size()) {
      out += line[++i];
    } else if (line[i] == u'"') {
      if (i + 1 >= line.size() || line[i + 1] != u'=') return false;
      *name = out;
      return true;
    } else {
      out += line[i];
    }
  }
  return false;
}

// Starts "<Windows>\regedit.exe /s FILE" as the native regedit: the backup
// writes its paths as the 64-bit view sees them. For a 32-bit process on
// 64-bit Windows the redirector sends <Windows>\regedit.exe to SysWOW64's
// 32-bit regedit, which would write HKLM\SOFTWARE\X into the 32-bit view;
// with this thread's redirection off, CreateProcessW reaches the real file.
// (ShellExecuteExW is not called with the redirection off: the shell loads
// DLLs on its way, which would then come from the 64-bit System32.) Where
// CreateProcessW is refused because regedit asks for rights this process
// lacks, the shell starts it through the consent prompt, and an elevated
// start is never redirected. Nothing is started where that regedit cannot be
// named for sure: without a full path of the Windows folder, "regedit.exe"
// would be looked for in the current folder or drive; where WOW64 cannot be
// asked, the redirection may stay on, and SysWOW64's regedit would write the
// backup's HKLM\SOFTWARE\X over another program's HKLM\SOFTWARE\Wow6432Node\X.
bool StartNativeRegedit(const Text& regFile, UniqueProcess* process) {
  const Text windows = GetWindowsDir();
  if (ComparablePath(windows).empty()) return false;
  const Text regedit = WithTrailingBackslash(windows) + u"regedit.exe";
  const Text arguments = u"/s \"" + regFile + u"\"";
  ProcessHandle raw = 0;
  std::uint32_t pid = 0;
  bool started = false;
  std::uint32_t error = 0;
  try {
    RedirectionOff native(true);
    started = Plat().CreateProcess(regedit, u"\"" + regedit + u"\" " + arguments, &raw, &pid);
    if (!started) error = Plat().GetLastError();
  } catch (const Wow64Error&) {
    return false;
  }
  if (!started && error == static_cast<std::uint32_t>(win::kErrorElevationRequired))
    started = Plat().ShellExecuteEx(u"open", regedit, arguments, Text(), &raw, &pid);
  process->reset(raw);
  return started;
}

}  // namespace

bool RestoreResult::RegistryRestored() const {
  for (const RestoredRegistryEntry& e : registry)
    if (!e.exists) return false;
  return true;
}

bool ReadRegFileEntries(const std::string& bytes, std::vector<RestoredRegistryEntry>* entries) {
  if (bytes.size() < 2 || bytes.size() % 2 != 0 || bytes.compare(0, 2, "\xFF\xFE") != 0) return false;
  Text text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
    text += static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) | (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
  if (!StartsWith(text, u"Windows Registry Editor Version 5.00")) return false;
  Text section;
  bool continued = false;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(u'\n', at);
    if (end == Text::npos) end = text.size();
    Text line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    const bool continues = !line.empty() && line.back() == u'\\';
    if (continued) {
      continued = continues;
      continue;
    }
    continued = continues;
    if (line.size() > 2 && line.front() == u'[' && line.back() == u']') {
      section = line.substr(1, line.size() - 2);
      entries->push_back({section, false, Text(), false});
      continue;
    }
    Text name;
    if (!section.empty() && ValueNameOf(line, &name)) entries->push_back({section, true, name, false});
  }
  return true;
}

RestoreResult RestoreCleanup(const CleanupRecord& record) {
  RestoreResult result;
  for (const RecordEntry& e : record.paths) {
    if (e.result == u"recycled") result.fromRecycleBin.push_back(e.entry);
    if (e.result == u"deleted") result.deletedForGood.push_back(e.entry);
  }
  result.servicesTasks = RestoreServicesTasks(record);
  if (record.registryBackup.empty()) return result;
  std::string bytes;
  if (!Plat().ReadFileBytes(record.registryBackup, &bytes) || !ReadRegFileEntries(bytes, &result.registry)) {
    result.registry.clear();
    return result;
  }
  result.backupFound = true;
  UniqueProcess process;
  result.regeditStarted = StartNativeRegedit(record.registryBackup, &process);
  if (result.regeditStarted && process) {
    for (std::uint32_t waited = 0; waited < kRegeditWaitMs; waited += kPollMs) {
      if (Plat().HasProcessEnded(process.get())) {
        result.regeditEnded = true;
        break;
      }
      Plat().Sleep(kPollMs);
    }
    if (result.regeditEnded) Plat().GetExitCodeProcess(process.get(), &result.regeditExitCode);
  }
  for (RestoredRegistryEntry& e : result.registry) e.exists = EntryExists(e);
  return result;
}

Text RecordPathFor(const Text& given) {
  const Text trimmed = Trim(given);
  if (trimmed.find_first_of(u"\\/:") != Text::npos) return trimmed;
  const Text name = EndsWith(UpperAscii(trimmed), u".JSON") ? trimmed : trimmed + u".json";
  return BackupFolder() + name;
}

}  // namespace tw
