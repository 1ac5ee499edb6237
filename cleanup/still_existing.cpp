#include "cleanup/still_existing.h"

#include "access/paths.h"
#include "cleanup/class_keys.h"
#include "cleanup/deletion_plan.h"
#include "access/command_line.h"
#include "access/path_guard.h"
#include "access/registry.h"
#include "access/redirection_off.h"
#include "platform/platform.h"

namespace tw {

namespace {

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

// Whether a class value's text still points into one of `folders`: the file
// it names (a command's program, an icon's module), or a path of a folder in
// it (a command's argument, as the trace's membership test finds it).
bool PointsInto(const Text& text, const TextList& folders) {
  const Text file = ComparablePath(FileNamedBy(text));
  // "." and ".." steps folded first: "C:\App\..\Other\x" is not in C:\App.
  const Text upper = UpperAsWindows(FoldDotStepsInText(text));
  for (const Text& folder : folders) {
    const Text form = ComparablePath(folder);
    if (form.empty()) continue;
    if (!file.empty() && IsAtOrBelow(file, form)) return true;
    if (Contains(upper, form)) return true;
  }
  return false;
}

// Whether an extension's default (or OpenWithProgids entry) `progId` names
// one of the program's ProgIDs: a key line of `registry` directly below a
// Classes key, or a ProgID that is gone (the program's own uninstaller
// removed the ProgID and left the extension naming it; no one else's is named).
bool NamesOwnProgId(const RegistryLine& parts, const TextList& components, int depth, const Text& progId,
                    const TextList& registry, ViewFlag view) {
  if (progId.empty()) return false;
  for (const Text& other : registry) {
    RegistryLine key;
    if (!ParseRegistryLine(other, &key) || key.isValue) continue;
    TextList keyComponents;
    SplitByBackslash(key.keyPath, &keyComponents);
    const int keyDepth = ClassesDepth(key.rootText, keyComponents);
    if (keyDepth >= 0 && keyComponents.size() == std::size_t(keyDepth) + 1 &&
        SameNameAsWindows(keyComponents.back(), progId)) {
      return true;
    }
  }
  Text classes;
  for (int i = 0; i < depth; ++i) classes += components[std::size_t(i)] + u"\\";
  return !RegKeyExists(parts.root, classes + progId, view) && !RegKeyExists(win::kHKeyClassesRoot, progId, view);
}

}  // namespace

bool ClassEntryStillTheProgram(const RegistryLine& parts, const TextList& folders, const TextList& registry,
                               ViewFlag view) {
  TextList components;
  SplitByBackslash(parts.keyPath, &components);
  const int depth = ClassesDepth(parts.rootText, components);
  if (depth < 0 || components.size() <= std::size_t(depth)) return true;
  const Text& top = components[std::size_t(depth)];
  // The shell's per-user caches (MuiCache) live below a user's Classes key
  // too; they are no file type.
  if (SameTextAscii(top, u"Local Settings")) return true;
  const bool classKey = components.size() == std::size_t(depth) + 1;
  const bool extension = !top.empty() && top[0] == u'.';
  const auto ownProgId = [&](const Text& progId) {
    return NamesOwnProgId(parts, components, depth, progId, registry, view);
  };
  if (!parts.isValue) {
    // Verbs, handlers and COM keys below a class key are their areas' own.
    if (!classKey) return true;
    if (extension) return ExtensionKeyHoldsOnly(parts.root, parts.keyPath, view, ownProgId);
    // A ProgID claimed whole: every file and class it names still lies in the folders.
    std::vector<ClassKeyText> texts;
    if (!ClassKeyTexts(parts.root, parts.rootText, parts.keyPath, view, &texts)) return false;
    for (const ClassKeyText& text : texts)
      if (!PointsInto(text.text, folders)) return false;
    return true;
  }
  if (SameTextAscii(components.back(), u"OpenWithProgids")) return true;
  Text data;
  if (!RegReadString(parts.root, parts.keyPath, parts.valueName, &data, view)) return true;
  if (extension && classKey && parts.valueName.empty()) return ownProgId(Trim(data));
  return PointsInto(data, folders);
}

LeftoverLists StillExisting(const LeftoverLists& lists, int uninstallType) {
  if (uninstallType != 0 && uninstallType != 1) return lists;
  const bool is64 = uninstallType == 1;
  const ViewFlag view = RegistryViewOf(uninstallType);
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
    RegistryLine parts;
    if (!ParseRegistryLine(line, &parts)) {
      left.registry.push_back(line);
    } else if (RegistryEntryExists(parts, view) &&
               ClassEntryStillTheProgram(parts, lists.folders, lists.registry, view)) {
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
