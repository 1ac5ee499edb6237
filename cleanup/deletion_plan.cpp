#include "cleanup/deletion_plan.h"

#include <algorithm>
#include <string>

#include "access/environment.h"
#include "access/folder_guard.h"
#include "access/folders.h"
#include "access/path_guard.h"
#include "access/paths.h"
#include "access/registry.h"
#include "access/services.h"
#include "cleanup/deletion_guard.h"
#include "cleanup/recycle_bin_limits.h"
#include "cleanup/registry_backup.h"
#include "cleanup/state_files.h"
#include "cleanup/still_existing.h"
#include "platform/handles.h"

namespace tw {

namespace {

// The key path of a line as written, for the guard, which reads it itself.
Text RawKeyPath(const Text& line) {
  TextList items;
  SplitRegistryLine(line, &items);
  return items.size() >= 2 ? items[1] : Text();
}

// Every spelling of a path in the comparison form (an 8.3 and a long
// spelling of one folder, or one through a link, are one folder). Empty for a
// path that has none.
TextList FormsOf(const Text& path) { return PathSpellings(path); }

bool AnyAtOrBelow(const TextList& inner, const TextList& outer) {
  for (const Text& i : inner)
    for (const Text& o : outer)
      if (IsAtOrBelow(i, o)) return true;
  return false;
}

bool SameForm(const TextList& a, const TextList& b) {
  for (const Text& x : a)
    for (const Text& y : b)
      if (x == y) return true;
  return false;
}

std::size_t StrictlyInside(const std::vector<TextList>& kept, const TextList& forms) {
  std::size_t count = 0;
  for (const TextList& k : kept) {
    if (AnyAtOrBelow(k, forms) && !SameForm(k, forms)) ++count;
  }
  return count;
}

Text Decimal(std::size_t n) { return FromUtf8(std::to_string(n)); }

Text AroundReason(std::size_t kept, const char16_t* what) {
  return Text(u"ticked: ") + what + u", except " + Decimal(kept) +
         (kept == 1 ? u" kept entry inside it, which stays with the folders or keys that hold it"
                    : u" kept entries inside it, which stay with the folders or keys that hold them");
}

struct KeptPath {
  TextList forms;
  Text path;
};

// A kept registry line, taken apart for the comparisons.
struct KeptLine {
  Text line;
  RegistryLineParts parts;
  TextList keyForms;
};

bool KeyAtOrBelow(const Text& upperInner, const Text& upperOuter) {
  return upperInner == upperOuter || StartsWith(upperInner, upperOuter + u"\\");
}

}  // namespace

TextList RegistryKeyForms(HKey root, const Text& keyPath) {
  Text path;
  std::size_t at = 0;
  const Text upper = UpperAsWindows(keyPath);
  while (at <= upper.size()) {
    std::size_t end = upper.find(u'\\', at);
    if (end == Text::npos) end = upper.size();
    const Text part = Trim(upper.substr(at, end - at));
    if (!part.empty() && part != u"WOW6432NODE") path += u"\\" + part;
    at = end + 1;
  }
  // HKCU is the current user's hive under HKU: a key has both spellings.
  const auto userForms = [](const Text& rest) {
    TextList forms{u"HKCU" + rest};
    const Text sid = UpperAsWindows(Plat().GetCurrentUserSid());
    if (!sid.empty()) forms.push_back(u"HKU\\" + sid + rest);
    return forms;
  };
  switch (root) {
    case win::kHKeyLocalMachine: {
      // CurrentControlSet is a link to the numbered control set that
      // SYSTEM\Select\Current names: a key has both spellings.
      const Text current = u"\\SYSTEM\\CURRENTCONTROLSET";
      std::uint32_t number = 0;
      if (StartsWith(path, u"\\SYSTEM\\CONTROLSET") &&
          RegReadDword(win::kHKeyLocalMachine, u"SYSTEM\\Select", u"Current", &number, kView64) && number > 0 &&
          number < 1000) {
        const std::string digits = std::to_string(1000 + number).substr(1);
        const Text numbered = u"\\SYSTEM\\CONTROLSET" + FromUtf8(digits);
        if (path == numbered || StartsWith(path, numbered + u"\\"))
          return {u"HKLM" + path, u"HKLM" + current + path.substr(numbered.size())};
      }
      return {u"HKLM" + path};
    }
    case win::kHKeyCurrentUser:
      return userForms(path);
    case win::kHKeyUsers: {
      // The user's hive, and the classes hive that its Software\Classes opens.
      const Text sid = UpperAsWindows(Plat().GetCurrentUserSid());
      const Text head = u"\\" + sid, classes = head + u"_CLASSES";
      if (!sid.empty() && (path == head || StartsWith(path, head + u"\\"))) return userForms(path.substr(head.size()));
      if (!sid.empty() && (path == classes || StartsWith(path, classes + u"\\")))
        return userForms(u"\\SOFTWARE\\CLASSES" + path.substr(classes.size()));
      return {u"HKU" + path};
    }
    case win::kHKeyClassesRoot:
      return {u"HKCU\\SOFTWARE\\CLASSES" + path, u"HKLM\\SOFTWARE\\CLASSES" + path};
    default:
      return {};
  }
}

bool AnyKeyAtOrBelow(const TextList& inner, const TextList& outer) {
  for (const Text& i : inner)
    for (const Text& o : outer)
      if (KeyAtOrBelow(i, o)) return true;
  return false;
}

bool SameKey(const TextList& a, const TextList& b) { return SameForm(a, b); }

bool ParseRegistryLine(const Text& line, RegistryLineParts* parts) {
  TextList items;
  SplitRegistryLine(line, &items);
  if (items.size() != 2 && items.size() != 3) return false;
  parts->rootText = items[0];
  parts->root = RegRootFromText(items[0]);
  if (parts->root == 0) return false;
  parts->keyPath = RegLinePath(items[1]);
  // "ROOT|key|" names the key's default value (its name is empty).
  const bool defaultValue = items.size() == 2 && std::count(line.begin(), line.end(), u'|') == 2 && line.back() == u'|';
  parts->isValue = items.size() == 3 || defaultValue;
  parts->valueName = items.size() == 3 ? items[2] : Text();
  // An empty key path names the root itself, which the guard refuses.
  return true;
}

bool ReadKeptEntry(const Text& given, Text* entry) {
  static const std::pair<const char16_t*, const char16_t*> kRoots[] = {
      {u"HKLM", u"HKEY_LOCAL_MACHINE"}, {u"HKCU", u"HKEY_CURRENT_USER"},
      {u"HKU", u"HKEY_USERS"},          {u"HKCR", u"HKEY_CLASSES_ROOT"}};
  const std::size_t bar = given.find(u'|');
  const std::size_t slash = given.find(u'\\');
  const std::size_t end = std::min(bar, slash);
  const Text head = end == Text::npos ? given : given.substr(0, end);
  for (const auto& root : kRoots) {
    if (!SameTextAscii(head, root.first) && !SameTextAscii(head, root.second)) continue;
    if (end == Text::npos) return false;  // a root alone names nothing to keep
    // "HKLM\path" names a key; a value needs the bar form.
    Text line = Text(root.first) + u"|" + given.substr(end + 1);
    RegistryLineParts parts;
    if (!ParseRegistryLine(line, &parts) || parts.keyPath.empty()) return false;
    *entry = line;
    return true;
  }
  Text path = Trim(given);
  if (StartsWith(path, u"\\\\?\\") && path.size() > 6 && path[5] == u':') path = path.substr(4);
  if (ComparablePath(path).empty()) return false;
  *entry = path;
  return true;
}

bool RegistryEntryExists(const RegistryLineParts& parts, bool view64) {
  if (parts.keyPath.empty()) return false;
  const ManagedEntry managed = ManagedEntryOf(parts.rootText, parts.keyPath, parts.isValue);
  if (managed.kind != ManagedKind::kNone) return ManagedEntryExists(managed);
  const std::uint32_t bits = view64 ? win::kKeyWow64_64Key : 0;
  UniqueRegKey key;
  if (Plat().RegOpenKeyEx(parts.root, parts.keyPath, win::kKeyRead | bits, key.put()) != win::kErrorSuccess)
    return false;
  if (!parts.isValue) return true;
  std::uint32_t type = 0, size = 0;
  return Plat().RegQueryValueEx(key.get(), parts.valueName, &type, nullptr, &size) == win::kErrorSuccess;
}

const char* PlanActionName(PlanAction action) {
  switch (action) {
    case PlanAction::kDelete:
      return "delete";
    case PlanAction::kKeep:
      return "keep";
    case PlanAction::kRefuse:
      return "refused";
  }
  return "";
}

const char* PlanKindName(PlanKind kind) {
  switch (kind) {
    case PlanKind::kFolder:
      return "folder";
    case PlanKind::kFile:
      return "file";
    case PlanKind::kKey:
      return "key";
    case PlanKind::kValue:
      return "value";
    case PlanKind::kLine:
      return "line";
    case PlanKind::kService:
      return "service";
    case PlanKind::kTask:
      return "task";
  }
  return "";
}

DeletionPlan PlanDeletion(const DeletionRequest& request) {
  DeletionPlan plan;
  plan.programFolder = WithTrailingBackslash(request.programFolder);
  plan.uninstallType = request.uninstallType;
  plan.programName = request.programName;
  plan.permanent = request.permanent;
  plan.recycleOnly = request.recycleOnly && !request.permanent;
  const bool view64 = request.uninstallType == 1;

  // ---- What withholds the whole deletion.
  bool microsoft = false;
  if (request.publisher) {
    plan.publisher = *request.publisher;
    microsoft = Contains(UpperAscii(plan.publisher), u"MICROSOFT");
  }
  TextList config;
  switch (ReadStateFile(plan.programFolder + kStateConfigFile, &config, StateLines::kConfig)) {
    case StateFileRead::kRead:
      if (config.size() == 2) {
        if (!request.publisher || plan.publisher.empty()) plan.publisher = config[1];
        if (Contains(UpperAscii(config[1]), u"MICROSOFT")) microsoft = true;
      }
      if (plan.programName.empty() && !config.empty()) plan.programName = config[0];
      break;
    case StateFileRead::kUnreadable:
      plan.block = PlanBlock::kState;
      plan.blockReason = u"SIConfig.txt in " + plan.programFolder +
                         u" could not be read, so the publisher of the program is not known.";
      break;
    case StateFileRead::kMissing:
      if (!request.publisher && IsUninstallPending(plan.programFolder)) {
        plan.block = PlanBlock::kState;
        plan.blockReason = u"SIConfig.txt is missing from " + plan.programFolder +
                           u", so the publisher of the program is not known.";
      }
      break;
  }
  if (plan.block == PlanBlock::kNone && IsUninstallPending(plan.programFolder)) {
    // A kept list that is there but cannot be read would be taken as
    // empty, and what the user kept would be deleted with the rest.
    TextList kept;
    if (ReadStateFile(plan.programFolder + kStateKeptFile, &kept, StateLines::kEntries) ==
        StateFileRead::kUnreadable) {
      plan.block = PlanBlock::kState;
      plan.blockReason = Text(kStateKeptFile) + u" in " + plan.programFolder +
                         u" could not be read, so what the user kept is not known.";
    }
  }
  if (plan.block == PlanBlock::kNone && (request.uninstallType < 0 || request.uninstallType > 1)) {
    plan.block = PlanBlock::kState;
    plan.blockReason = u"The uninstall state does not say whether the program is 32-bit or 64-bit (" +
                       Text(kStateTypeFile) + u" is missing or unreadable), so its registry view is not known.";
  }
  if (plan.block == PlanBlock::kNone && microsoft) {
    plan.block = PlanBlock::kPublisher;
    plan.blockReason = u"The program is published by Microsoft; its leftovers are not removed, to protect Windows.";
  }

  // ---- What is kept.
  const std::size_t pathRows = request.folders.size() + request.files.size();
  const auto pathAt = [&](std::size_t i) -> const Text& {
    return i < request.folders.size() ? request.folders[i] : request.files[i - request.folders.size()];
  };
  const auto pathTicked = [&](std::size_t i) { return i >= request.fileTicks.size() || request.fileTicks[i]; };
  const auto lineTicked = [&](std::size_t i) { return i >= request.registryTicks.size() || request.registryTicks[i]; };

  std::vector<KeptPath> userKept;
  std::vector<KeptLine> keptLines;
  const auto keepLine = [&](const Text& line) {
    plan.keptRegistry.push_back(line);
    KeptLine kept;
    kept.line = line;
    if (ParseRegistryLine(line, &kept.parts)) {
      kept.keyForms = RegistryKeyForms(kept.parts.root, kept.parts.keyPath);
      keptLines.push_back(kept);
    }
  };
  const auto keepPath = [&](const Text& path) {
    KeptPath kept{FormsOf(path), path};
    if (kept.forms.empty()) return;
    for (const Text& form : kept.forms) plan.keptPathForms.push_back(form);
    userKept.push_back(kept);
  };
  for (std::size_t i = 0; i < pathRows; ++i)
    if (!pathTicked(i)) keepPath(pathAt(i));
  for (std::size_t i = 0; i < request.registry.size(); ++i)
    if (!lineTicked(i)) keepLine(request.registry[i]);
  plan.keptGiven = request.keep;
  for (const Text& entry : request.keep) {
    RegistryLineParts parts;
    if (ParseRegistryLine(entry, &parts)) keepLine(entry);
    else keepPath(entry);
  }

  // Another program's folder that holds this program's listed folders is
  // the vendor folder this program lives in: it stays, but what lies in it
  // is this program's to delete. Any other is kept whole, also one that is
  // one of this program's own folders (two entries of one folder: an add-on,
  // a language pack), though the folders below it are listed too.
  std::vector<KeptPath> otherTrees, holders;
  for (const Text& folder : request.otherProgramFolders) {
    KeptPath other{FormsOf(folder), folder};
    if (other.forms.empty()) continue;
    bool holdsOurs = false, oursHoldsIt = false;
    for (const Text& listed : request.folders) {
      const TextList forms = FormsOf(listed);
      if (AnyAtOrBelow(other.forms, forms)) oursHoldsIt = true;
      else if (AnyAtOrBelow(forms, other.forms)) holdsOurs = true;
    }
    if (holdsOurs && !oursHoldsIt) {
      holders.push_back(other);
    } else {
      for (const Text& form : other.forms) plan.keptPathForms.push_back(form);
      otherTrees.push_back(other);
    }
  }
  std::vector<TextList> aroundForms;
  for (const KeptPath& k : userKept) aroundForms.push_back(k.forms);
  for (const KeptPath& k : otherTrees) aroundForms.push_back(k.forms);

  // ---- The files and folders.
  const DeletionGuard guard = DeletionGuard::ForThisMachine();
  for (std::size_t i = 0; i < pathRows; ++i) {
    PlanEntry entry;
    entry.entry = pathAt(i);
    entry.kind = i < request.folders.size() ? PlanKind::kFolder : PlanKind::kFile;
    const TextList forms = FormsOf(entry.entry);
    entry.action = PlanAction::kKeep;
    const KeptPath* holder = nullptr;
    for (const KeptPath& k : userKept)
      if (!holder && AnyAtOrBelow(forms, k.forms)) holder = &k;
    if (!pathTicked(i) || (holder && SameForm(forms, holder->forms))) {
      entry.keptByUser = true;
      entry.reason = u"kept by the user";
    } else if (holder) {
      entry.keptByUser = true;
      entry.reason = u"inside " + holder->path + u", which the user keeps";
    } else {
      const KeptPath* other = nullptr;
      for (const KeptPath& k : otherTrees)
        if (!other && AnyAtOrBelow(forms, k.forms)) other = &k;
      const KeptPath* vendor = nullptr;
      for (const KeptPath& k : holders)
        if (!vendor && AnyAtOrBelow(k.forms, forms)) vendor = &k;
      if (other) {
        entry.reason = u"inside " + other->path + u", the folder of another listed program";
      } else if (vendor) {
        entry.reason = u"holds " + vendor->path + u", the folder of another listed program, which holds this one";
      } else if (forms.empty() || guard.RefusesPath(entry.entry)) {
        entry.action = PlanAction::kRefuse;
        entry.reason = u"a protected location (Windows, a user profile, a shared system folder or Tidewell's own "
                       u"folder), or not a plain drive-letter path";
      } else {
        entry.action = PlanAction::kDelete;
        entry.keptInside = StrictlyInside(aroundForms, forms);
        if (entry.keptInside > 0 && IsDirectoryLink(entry.entry)) {
          // Removing it would leave a kept path spelled through it naming
          // nothing, on a retry or a resume; what it leads to is never walked.
          entry.action = PlanAction::kKeep;
          entry.keptByUser = true;
          entry.keptInside = 0;
          entry.reason = u"a link that leads to entries kept inside it; it stays with them";
        } else if (entry.keptInside > 0) {
          entry.reason = AroundReason(entry.keptInside, u"the folder and everything in it");
        } else {
          entry.reason = entry.kind == PlanKind::kFolder ? u"ticked: the folder and everything in it" : u"ticked";
        }
      }
    }
    entry.exists = PathExists(entry.entry);
    if (entry.action == PlanAction::kDelete && entry.exists && !request.permanent) {
      // Counted before anything is deleted, so that the question can say it.
      const Text why = RecycleBinRefusal(entry.entry);
      if (!why.empty() && request.recycleOnly) {
        entry.action = PlanAction::kKeep;
        entry.keptByUser = true;
        entry.keptInside = 0;
        entry.reason = u"cannot go to the Recycle Bin (" + why + u"), and nothing is to be deleted for good";
      } else {
        entry.forGoodReason = why;
      }
    }
    plan.paths.push_back(entry);
  }

  // ---- The registry lines.
  // A service or task goes only as the program's: it starts a program in
  // one of the listed folders or a listed file, or one that is gone. One
  // that starts something still there and outside the lists (a Windows
  // service outside the Windows folder, another program's) is not shown to
  // be this program's, whatever line names it.
  std::vector<TextList> listedForms;
  for (std::size_t i = 0; i < pathRows; ++i) listedForms.push_back(FormsOf(pathAt(i)));
  const auto startsListedOrGone = [&](const ManagedEntry& managed) {
    const TextList programs = ManagedEntryPrograms(managed);
    bool anyPresent = false;
    for (const Text& program : programs) {
      const TextList forms = FormsOf(program);
      for (const TextList& listed : listedForms)
        if (AnyAtOrBelow(forms, listed)) return true;
      anyPresent = anyPresent || forms.empty() || PathExists(program);
    }
    return !anyPresent;
  };
  for (std::size_t i = 0; i < request.registry.size(); ++i) {
    PlanEntry entry;
    entry.entry = request.registry[i];
    RegistryLineParts parts;
    const bool wellFormed = ParseRegistryLine(entry.entry, &parts);
    entry.kind = !wellFormed ? PlanKind::kLine : parts.isValue ? PlanKind::kValue : PlanKind::kKey;
    const ManagedEntry managedEntry =
        wellFormed ? ManagedEntryOf(parts.rootText, RawKeyPath(entry.entry), parts.isValue) : ManagedEntry();
    const ManagedKind managed = managedEntry.kind;
    if (managed == ManagedKind::kService) entry.kind = PlanKind::kService;
    if (managed == ManagedKind::kScheduledTask) entry.kind = PlanKind::kTask;
    // Kept lines are compared by the keys they name, however spelled.
    const TextList keyForms = wellFormed ? RegistryKeyForms(parts.root, parts.keyPath) : TextList();
    const Text upperValue = UpperAsWindows(parts.valueName);
    const KeptLine* holder = nullptr;
    bool same = false;
    for (const KeptLine& k : keptLines) {
      if (!wellFormed) continue;
      if (k.parts.isValue) {
        if (parts.isValue && SameKey(k.keyForms, keyForms) && UpperAsWindows(k.parts.valueName) == upperValue) same = true;
      } else if (AnyKeyAtOrBelow(keyForms, k.keyForms)) {
        if (!parts.isValue && SameKey(k.keyForms, keyForms)) same = true;
        if (!holder) holder = &k;
      }
    }
    bool listedKept = !lineTicked(i);
    for (const Text& line : plan.keptRegistry) listedKept = listedKept || SameNameAsWindows(line, entry.entry);
    if (listedKept || same) {
      entry.action = PlanAction::kKeep;
      entry.keptByUser = true;
      entry.reason = u"kept by the user";
    } else if (holder) {
      entry.action = PlanAction::kKeep;
      entry.keptByUser = true;
      entry.reason = u"inside the registry key " + holder->line + u", which the user keeps";
    } else if (!wellFormed) {
      entry.action = PlanAction::kRefuse;
      entry.reason = u"not a registry line: a root other than HKLM, HKCU, HKU or HKCR, or no key";
    } else if (IsProtectedRegistryEntry(parts.rootText, RawKeyPath(entry.entry),
                                        parts.isValue ? &parts.valueName : nullptr)) {
      entry.action = PlanAction::kRefuse;
      entry.reason = u"a registry key or value Windows or other programs need";
    } else if (!ClassEntryStillTheProgram(entry.entry, request.folders, request.registry, view64)) {
      entry.action = PlanAction::kKeep;
      entry.changedSinceTrace = true;
      entry.reason = u"changed since the trace: it no longer holds the program's data";
    } else if (managed != ManagedKind::kNone && !startsListedOrGone(managedEntry)) {
      entry.action = PlanAction::kRefuse;
      entry.reason = managed == ManagedKind::kService
                         ? u"a service that starts a program outside the listed folders and files"
                         : u"a scheduled task that starts a program outside the listed folders and files";
    } else {
      entry.action = PlanAction::kDelete;
      if (!parts.isValue) {
        for (const KeptLine& k : keptLines) {
          if (AnyKeyAtOrBelow(k.keyForms, keyForms) && (k.parts.isValue || !SameKey(k.keyForms, keyForms)))
            ++entry.keptInside;
        }
      }
      if (managed != ManagedKind::kNone && entry.keptInside > 0) {
        // Its manager removes it whole; nothing can be left inside it.
        entry.action = PlanAction::kKeep;
        entry.keptByUser = true;
        entry.keptInside = 0;
        entry.reason = managed == ManagedKind::kService
                           ? u"holds entries the user keeps, and a service goes whole or not at all"
                           : u"holds entries the user keeps, and a scheduled task goes whole or not at all";
      } else if (managed == ManagedKind::kService) {
        entry.reason = u"ticked: the service, stopped and deleted through the service control manager";
      } else if (managed == ManagedKind::kScheduledTask) {
        entry.reason = u"ticked: the scheduled task, deleted through the Task Scheduler";
      } else if (entry.keptInside > 0) {
        entry.reason = AroundReason(entry.keptInside, u"the key with its subkeys and values");
      } else {
        entry.reason = parts.isValue ? u"ticked: this value" : u"ticked: the key with its subkeys and values";
      }
    }
    entry.exists = wellFormed && RegistryEntryExists(parts, view64);
    plan.registry.push_back(entry);
  }

  if (plan.block != PlanBlock::kNone) {
    for (std::vector<PlanEntry>* list : {&plan.paths, &plan.registry}) {
      for (PlanEntry& entry : *list) {
        if (entry.action != PlanAction::kDelete) continue;
        entry.action = PlanAction::kRefuse;
        entry.reason = u"withheld: " + plan.blockReason;
      }
    }
  }
  return plan;
}

}  // namespace tw
