#include "cleanup/still_existing.h"

#include "cleanup/deletion_plan.h"
#include "access/command_line.h"
#include "access/path_guard.h"
#include "access/registry.h"
#include "access/redirection_off.h"
#include "platform/platform.h"

namespace tw {

namespace {

bool PathExists(const Text& path) { return Plat().GetFileAttributes(path) != win::kInvalidFileAttributes; }

// The first component below the Classes key of a class key path, or -1
// when the key is no class key: HKCR, and the Classes keys of the machine
// (both views) and of users.
int ClassesDepth(const Text& rootText, const TextList& parts) {
  const auto at = [&](std::size_t i, const char16_t* name) { return i < parts.size() && SameTextAscii(parts[i], name); };
  if (rootText == u"HKCR") return 0;
  if (rootText == u"HKLM" && at(0, u"SOFTWARE")) {
    if (at(1, u"Classes")) return 2;
    if (at(1, u"Wow6432Node") && at(2, u"Classes")) return 3;
  }
  if (rootText == u"HKCU" && at(0, u"Software") && at(1, u"Classes")) return 2;
  if (rootText == u"HKU") {
    if (!parts.empty() && EndsWith(UpperAscii(parts[0]), u"_CLASSES")) return 1;
    if (at(1, u"Software") && at(2, u"Classes")) return 3;
  }
  return -1;
}

// The file a command or an icon reference names: "C:\A\a.exe" "%1",
// C:\A\a.exe,0 and @C:\A\a.dll,-101 all name C:\A\a.exe or a.dll.
Text FileNamedBy(const Text& data) {
  Text text = Trim(data);
  if (!text.empty() && text[0] == u'@') text = text.substr(1);
  const std::size_t comma = text.rfind(u',');
  if (comma != Text::npos && text.find(u'"') == Text::npos) {
    const Text index = Trim(text.substr(comma + 1));
    bool number = !index.empty();
    for (std::size_t i = 0; i < index.size(); ++i)
      number = number && ((index[i] >= u'0' && index[i] <= u'9') || (i == 0 && index[i] == u'-'));
    if (number) text = text.substr(0, comma);
  }
  return CommandProgramPath(text);
}

}  // namespace

bool ClassEntryStillTheProgram(const Text& line, const TextList& folders, const TextList& registry, bool view64) {
  RegistryLineParts parts;
  if (!ParseRegistryLine(line, &parts)) return true;
  TextList components;
  SplitByBackslash(parts.keyPath, &components);
  const int depth = ClassesDepth(parts.rootText, components);
  if (depth < 0 || components.size() <= std::size_t(depth)) return true;
  const bool extension = components.size() == std::size_t(depth) + 1 && !components.back().empty() &&
                         components.back()[0] == u'.';
  // A key: only an extension's, claimed whole, is judged (by its default).
  if (!parts.isValue && !extension) return true;
  if (SameTextAscii(components.back(), u"OpenWithProgids")) return true;
  Text data;
  if (!RegReadString(parts.root, parts.keyPath, parts.valueName, &data, view64 ? kView64 : kViewDefault)) return true;
  if (extension && parts.valueName.empty()) {
    const Text progId = Trim(data);
    for (const Text& other : registry) {
      RegistryLineParts key;
      if (!ParseRegistryLine(other, &key) || key.isValue) continue;
      TextList keyComponents;
      SplitByBackslash(key.keyPath, &keyComponents);
      const int keyDepth = ClassesDepth(key.rootText, keyComponents);
      if (keyDepth >= 0 && keyComponents.size() == std::size_t(keyDepth) + 1 &&
          SameTextAscii(keyComponents.back(), progId)) {
        return true;
      }
    }
    return false;
  }
  const Text file = ComparablePath(FileNamedBy(data));
  if (file.empty()) return false;
  for (const Text& folder : folders) {
    const Text form = ComparablePath(folder);
    if (!form.empty() && IsAtOrBelow(file, form)) return true;
  }
  return false;
}

LeftoverLists StillExisting(const LeftoverLists& lists, int uninstallType) {
  if (uninstallType != 0 && uninstallType != 1) return lists;
  const bool is64 = uninstallType == 1;
  LeftoverLists left;
  try {
    RedirectionOff redirection(is64);
    for (const Text& folder : lists.folders)
      if (PathExists(folder)) left.folders.push_back(folder);
    for (const Text& file : lists.files)
      if (PathExists(file)) left.files.push_back(file);
  } catch (const Wow64Error&) {
    return lists;
  }
  for (const Text& line : lists.registry) {
    if (Trim(line).empty()) continue;
    RegistryLineParts parts;
    if (!ParseRegistryLine(line, &parts)) {
      left.registry.push_back(line);
    } else if (RegistryEntryExists(parts, is64) &&
               ClassEntryStillTheProgram(line, lists.folders, lists.registry, is64)) {
      left.registry.push_back(line);
    }
  }
  return left;
}

StateWriteResult SaveStillExistingAsPendingState(const Text& programFolder, const LeftoverLists& lists) {
  StateWriteResult result;
  if (lists.Empty()) {
    result.failed = DeletePendingState(programFolder);
    return result;
  }
  const LoadedState loaded = ReadPendingState(programFolder);
  if (!loaded.Ok() || !loaded.typeKnown) return result;
  PendingState state;
  state.name = loaded.name;
  state.publisher = loaded.publisher;
  state.uninstallType = loaded.uninstallType;
  state.kept = loaded.kept.value_or(TextList());
  state.logo = loaded.logo;
  state.folders = lists.folders;
  state.files = lists.files;
  state.registry = lists.registry;
  return WritePendingState(programFolder, state);
}

Text NothingLeftMessage() {
  return u"The program's own uninstaller removed everything: no leftovers were found.";
}

}  // namespace tw
