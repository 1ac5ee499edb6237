#include "cleanup/leftover_deletion.h"

#include <algorithm>
#include <string>

#include "access/environment.h"
#include "access/processes.h"
#include "access/folders.h"
#include "access/message_box.h"
#include "access/paths.h"
#include "access/registry.h"
#include "access/services.h"
#include "cleanup/deletion_guard.h"
#include "cleanup/cleanup_record.h"
#include "cleanup/deletion_plan.h"
#include "cleanup/path_removal.h"
#include "cleanup/registry_backup.h"
#include "cleanup/task_service_backup.h"
#include "platform/handles.h"

namespace tw {

namespace {

// KillProcessByPath stops one process per call; a program may run twice.
constexpr int kMaxTerminationsPerFile = 8;
// How long Windows takes to let go of a terminated process's image file.
constexpr std::uint32_t kAfterTerminationMs = 500;
// TerminateProcess returns before the process is gone: a bounded wait after.
constexpr std::uint32_t kTerminationPollMs = 100;
constexpr std::uint32_t kTerminationWaitMs = 5000;

// The text after the last "\" or ":".
Text FileNamePart(const Text& path) {
  const std::size_t at = path.find_last_of(u"\\:");
  return at == Text::npos ? path : path.substr(at + 1);
}

Text UpperForm(const Text& path) {
  const Text form = ComparablePath(path);
  return form.empty() ? UpperAsWindows(Trim(path)) : form;
}

// The process ids whose main module is `exePath`.
std::vector<std::uint32_t> ProcessesOf(const Text& exePath) {
  std::vector<std::uint32_t> ids;
  std::vector<ProcessEntry> entries;
  if (!Plat().SnapshotProcesses(&entries)) return ids;
  const Text wanted = Trim(exePath);
  const Text upperName = UpperAscii(FileNamePart(wanted));
  for (const ProcessEntry& entry : entries) {
    if (UpperAscii(Trim(entry.exeFile)) != upperName) continue;
    if (SameTextAscii(Trim(ProcessImagePath(entry.processId)), wanted)) ids.push_back(entry.processId);
  }
  return ids;
}

// Whether a kept form is the child itself, or lies inside it.
void Judge(const Text& child, const TextList& keep, bool* kept, bool* holdsKept) {
  *kept = *holdsKept = false;
  // A name Windows and Wine read differently is judged in either reading,
  // as the kept entries are.
  TextList forms = KeptSpellings(child);
  if (forms.empty()) forms.push_back(UpperForm(child));
  for (const Text& form : forms) {
    for (const Text& k : keep) {
      if (k == form) *kept = true;
      else if (IsAtOrBelow(k, form)) *holdsKept = true;
    }
  }
}

TextList ChildrenOf(const Text& dir) {
  TextList children;
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(WithTrailingBackslash(dir) + u"*.*", &entry));
  if (find) {
    do {
      if (entry.name != u"." && entry.name != u"..") children.push_back(entry.name);
    } while (Plat().FindNextFile(find.get(), &entry));
  }
  return children;
}

constexpr int kMaxDepth = 256;

// Whether anything but kept entries and the folders on their way is left in `dir`.
bool RemainsAround(const Text& dir, const TextList& keep, int depth) {
  for (const Text& name : ChildrenOf(dir)) {
    const Text child = WithTrailingBackslash(dir) + name;
    bool kept = false, holdsKept = false;
    Judge(child, keep, &kept, &holdsKept);
    if (kept) continue;
    if (!holdsKept) return true;
    // A link on the way to a kept entry is left as it is (see DeleteAround).
    if (IsDirectoryLink(child) || depth > kMaxDepth) continue;
    if (RemainsAround(child, keep, depth + 1)) return true;
  }
  return false;
}

// ---- Registry keys deleted around kept lines.

bool HasDefaultValue(HKey root, const Text& path, ViewFlag view) {
  Text ignored;
  return RegReadString(root, path, Text(), &ignored, view);
}

// Deletes (or, with `remove` false, looks for) what the key holds apart from
// the kept lines; the key itself goes when that left it empty. Returns true
// when something that is not kept is left.
bool KeyAround(HKey root, const Text& path, const std::vector<KeptRegistryLine>& kept, ViewFlag view, bool remove,
               int depth) {
  const TextList forms = RegistryKeyForms(root, path);
  bool left = false;
  TextList values;
  RegEnumValueNames(root, path, &values, view);
  // The default value is a value like any other here ("ROOT|key|" names it),
  // though the enumeration leaves it out.
  if (HasDefaultValue(root, path, view)) values.insert(values.begin(), Text());
  for (const Text& name : values) {
    if (KeptValue(kept, forms, name)) continue;
    if (remove) RegRemoveValue(root, path, name, view);
    else left = true;
  }
  TextList subKeys;
  RegEnumSubKeys(root, path, &subKeys, view);
  for (const Text& name : subKeys) {
    const Text sub = path + u"\\" + name;
    const TextList subForms = RegistryKeyForms(root, sub);
    if (KeptKey(kept, subForms)) continue;
    if (!KeyHoldsKept(kept, subForms)) {
      if (remove) RegDeleteKeyTree(root, sub, view);
      else left = true;
    } else if (depth < kMaxDepth) {
      left = KeyAround(root, sub, kept, view, remove, depth + 1) || left;
    }
  }
  if (remove) {
    TextList after, afterKeys;
    RegEnumValueNames(root, path, &after, view);
    RegEnumSubKeys(root, path, &afterKeys, view);
    if (after.empty() && afterKeys.empty() && !HasDefaultValue(root, path, view)) RegDeleteKeyTree(root, path, view);
  }
  return left;
}

// Removes what lies in `dir` except the kept paths (comparison forms) and
// the folders on their way, then the folder itself when that left it empty.
void DeleteAround(const Text& dir, const TextList& keep, RemovalMode mode, RemovalTally* tally, int depth) {
  TextList remove, holders;
  for (const Text& name : ChildrenOf(dir)) {
    const Text child = WithTrailingBackslash(dir) + name;
    bool kept = false, holdsKept = false;
    Judge(child, keep, &kept, &holdsKept);
    if (kept) continue;
    if (!holdsKept) {
      remove.push_back(child);
      continue;
    }
    // A link that leads to a kept path is left as it is: walking it would
    // leave the tree.
    if (IsDirectoryLink(child) || depth > kMaxDepth) continue;
    holders.push_back(child);
  }
  RemovePaths(remove, mode, tally);
  for (const Text& child : holders) DeleteAround(child, keep, mode, tally, depth + 1);
  Plat().RemoveDirectory(dir);
}

TextList FormsOfAll(const TextList& paths) {
  TextList forms;
  for (const Text& path : paths) {
    const Text form = ComparablePath(path);
    if (!form.empty()) forms.push_back(form);
  }
  return forms;
}

bool AnyAtOrBelow(const Text& form, const TextList& outer) {
  for (const Text& o : outer)
    if (IsAtOrBelow(form, o)) return true;
  return false;
}

bool AnyBelow(const Text& form, const TextList& inner) {
  for (const Text& i : inner)
    if (IsAtOrBelow(i, form)) return true;
  return false;
}

// Whether a removed `path` went for good: itself or in a folder that did;
// or, when nothing of it is in the Recycle Bin, something in it did (a
// folder taken apart item by item, or emptied around kept entries). A
// folder some of which is in the bin counts as recycled; what in it went
// for good is recorded on its own.
bool WentForGood(const Text& path, const TextList& permanentForms, const TextList& recycledForms) {
  const Text form = ComparablePath(path);
  if (form.empty()) return false;
  if (AnyAtOrBelow(form, permanentForms)) return true;
  if (AnyAtOrBelow(form, recycledForms) || AnyBelow(form, recycledForms)) return false;
  return AnyBelow(form, permanentForms);
}

Text Count(std::size_t n, const char16_t* one, const char16_t* many) {
  return FromUtf8(std::to_string(n)) + u" " + (n == 1 ? one : many);
}

}  // namespace

Text DeletionCompleteMessage() { return u"All leftovers have been completely removed."; }

Text DeletionKeptSentence(std::size_t kept, std::size_t otherPrograms, std::size_t changed) {
  Text text;
  if (changed > 0)
    text += u" " + Count(changed, u"entry", u"entries") + u" changed since the trace no longer " +
            (changed == 1 ? u"holds" : u"hold") + u" the program's data and " + (changed == 1 ? u"was" : u"were") +
            u" left as " + (changed == 1 ? u"it is." : u"they are.");
  if (kept > 0) text += u" " + Count(kept, u"item you kept was", u"items you kept were") + u" left in place.";
  if (otherPrograms > 0)
    text += u" " + Count(otherPrograms, u"entry lies", u"entries lie") +
            u" in the folder of another listed program and " + (otherPrograms == 1 ? u"was" : u"were") +
            u" left for it.";
  return text;
}

Text DeletionPermanentSentence(std::size_t permanent) {
  if (permanent == 0) return Text();
  return u" " + Count(permanent, u"file or folder", u"files or folders") +
         u" could not go to the Recycle Bin and " + (permanent == 1 ? u"was" : u"were") + u" deleted for good.";
}

Text ForGoodWarning(const DeletionPlan& plan) {
  if (plan.block != PlanBlock::kNone || plan.permanent) return Text();
  Text items;
  std::size_t count = 0;
  for (const PlanEntry& e : plan.paths) {
    if (e.action != PlanAction::kDelete || e.forGoodReason.empty()) continue;
    items += (count++ ? u", " : u": ") + e.entry + u" (" + e.forGoodReason + u")";
  }
  if (count == 0) return Text();
  return Count(count, u"file or folder cannot", u"files or folders cannot") +
         u" go to the Recycle Bin and will be deleted for good" + items + u".";
}

Text DeletionWithheldMessage() {
  return u"Leftovers of programs published by Microsoft are not removed, to protect Windows. Nothing was deleted.";
}

Text DeletionIncompleteMessage(std::size_t paths, std::size_t registry, std::size_t refused, bool backupFailed,
                               const Text& backupFolder) {
  Text what;
  if (paths > 0) what = Count(paths, u"file or folder", u"files or folders");
  if (registry > 0) {
    if (!what.empty()) what += u" and ";
    what += Count(registry, u"registry entry", u"registry entries");
  }
  Text text = what + u" could not be removed. They are still listed; you can try again after closing the programs "
                     u"that use them.";
  if (refused > 0) {
    text += u" " + Count(refused, u"entry is a location", u"entries are locations") +
            u" of Windows, of the user profile or of Tidewell, which are never deleted.";
  }
  if (backupFailed) {
    text += u" The registry entries were not deleted, because their backup could not be written to " +
            backupFolder + u".";
  }
  return text;
}

DeletionReport DeleteLeftovers(const DeletionRequest& request) { return ExecuteDeletionPlan(PlanDeletion(request)); }

namespace {

// ---- The execution: the plan carried out, nothing decided.

// What carrying the plan out did.
struct ExecutionOutcome {
  // Per entry of plan.paths: the guard refused it the moment it was to go.
  std::vector<bool> refusedNow;
  RemovalTally tally;
  Text backupFile;            // the .reg of the registry entries deleted
  bool backupFailed = false;  // then no registry entry was touched
  Text servicesTasksBackup;
  std::vector<NotRemovedEntry> notRemoved;  // services and tasks their manager kept
  int terminatedProcesses = 0;
};

struct Execution {
  const DeletionPlan& plan;
  Text stem;  // names the backups and the record
  DeletionGuard guard = DeletionGuard::ForThisMachine();
  RemovalMode mode = RemovalMode::kRecycle;
  ExecutionOutcome out;
  std::vector<bool> saved;  // per registry entry: a service or task saved whole

  Execution(const DeletionPlan& p, const Text& s) : plan(p), stem(s) {}
  static bool Deletes(const PlanEntry& e) { return e.action == PlanAction::kDelete; }
  bool Managed(const PlanEntry& e) const { return e.kind == PlanKind::kService || e.kind == PlanKind::kTask; }
};

// Plain entries go to the shell together, a batch per call; a folder
// holding kept entries is emptied around them in list order. Each path is
// judged again the moment it goes: a folder on its way replaced by a link
// since the plan (the console's question leaves all the time needed) now
// leads elsewhere, and the guard sees where.
void RemovePathEntries(Execution* x, const std::vector<std::size_t>& indexes) {
  TextList batch;
  for (const std::size_t i : indexes) {
    const PlanEntry& e = x->plan.paths[i];
    if (x->out.refusedNow[i] || x->guard.RefusesPath(e.entry)) {
      x->out.refusedNow[i] = true;
      continue;
    }
    // A folder is deleted around what it holds only when it is a real
    // folder: a link is removed as a link, and what it leads to is never
    // walked, whatever is kept there.
    if (e.keptInside == 0 || !IsDirectory(e.entry) || IsDirectoryLink(e.entry)) {
      batch.push_back(e.entry);
      continue;
    }
    RemovePaths(batch, x->mode, &x->out.tally);
    batch.clear();
    DeleteAround(e.entry, x->plan.keptPathForms, x->mode, &x->out.tally, 0);
  }
  RemovePaths(batch, x->mode, &x->out.tally);
}

// The registry's backup, before anything is deleted.
void BackupRegistry(Execution* x, bool redirected) {
  const DeletionPlan& plan = x->plan;
  RegistryBackup backup(plan.view, redirected);
  for (const PlanEntry& e : plan.registry) {
    // A task's key is the scheduler's cache, not the task: restoring it
    // would leave an entry the scheduler cannot read.
    if (!Execution::Deletes(e) || !e.wellFormed || !e.exists || e.kind == PlanKind::kTask) continue;
    const RegistryLine& line = e.line;
    if (line.isValue) {
      backup.AddValue(line.root, line.keyPath, line.valueName, e.entry);
    } else if (e.keptInside > 0) {
      // The lines KeyAround leaves stay out of the backup too.
      backup.AddKey(line.root, line.keyPath, [&](const Text& keyPath, const Text* valueName) {
        const TextList forms = RegistryKeyForms(line.root, keyPath);
        return valueName ? KeptValue(plan.keptLines, forms, *valueName) : KeptKey(plan.keptLines, forms);
      }, e.entry);
    } else {
      backup.AddKey(line.root, line.keyPath, RegistryBackup::KeptTest(), e.entry);
    }
  }
  if (backup.Empty()) return;
  x->out.backupFile = x->stem.empty() ? Text() : WriteBackupFile(backup, BackupFolder(), x->stem + u".reg");
  x->out.backupFailed = x->out.backupFile.empty();
}

// Services and scheduled tasks are saved whole first (the .reg backup
// holds a service's key, which Windows reads only when it starts, and no
// task at all); one that cannot be saved stays. Then they are removed
// through their managers.
void RemoveServicesAndTasks(Execution* x) {
  const DeletionPlan& plan = x->plan;
  ServicesTasksBackup managedBackup;
  x->saved.assign(plan.registry.size(), false);
  std::vector<ManagedEntry> managed(plan.registry.size());
  for (std::size_t i = 0; i < plan.registry.size(); ++i) {
    const PlanEntry& e = plan.registry[i];
    if (!Execution::Deletes(e) || !x->Managed(e) || !e.wellFormed) continue;
    managed[i] = ManagedEntryOf(e.line.rootText, e.line.keyPath, false);
    if (!ManagedEntryExists(managed[i])) continue;
    Text reason;
    if (managed[i].kind == ManagedKind::kService) {
      SavedService service;
      x->saved[i] = SaveService(managed[i].name, &service, &reason);
      if (x->saved[i]) managedBackup.services.push_back(service);
    } else if (managed[i].kind == ManagedKind::kScheduledTask) {
      SavedTask task;
      x->saved[i] = SaveTask(managed[i].name, &task, &reason);
      if (x->saved[i]) managedBackup.tasks.push_back(task);
    }
    if (!x->saved[i]) x->out.notRemoved.push_back({e.entry, reason + u", so it was not removed"});
  }
  if (!managedBackup.Empty()) {
    x->out.servicesTasksBackup = WriteServicesTasksBackup(managedBackup, BackupFolder(), x->stem);
    for (std::size_t i = 0; i < x->saved.size() && x->out.servicesTasksBackup.empty(); ++i) {
      if (!x->saved[i]) continue;
      x->saved[i] = false;
      x->out.notRemoved.push_back({plan.registry[i].entry, u"its saved definition could not be written to " +
                                                               BackupFolder() + u", so it was not removed"});
    }
  }
  for (std::size_t i = 0; i < plan.registry.size(); ++i) {
    if (!x->saved[i]) continue;
    const ManagedRemoval removal = RemoveManagedEntry(managed[i]);
    if (!removal.done) x->out.notRemoved.push_back({plan.registry[i].entry, removal.reason});
  }
}

// Executables to delete that still run are stopped, then deleted.
void StopAndRemoveRunningPrograms(Execution* x) {
  for (std::size_t index = 0; index < x->plan.paths.size(); ++index) {
    const PlanEntry& e = x->plan.paths[index];
    if (!Execution::Deletes(e) || e.kind != PlanKind::kFile) continue;
    if (!Contains(UpperAscii(FileNamePart(e.entry)), u".EXE") || !x->guard.MayTerminate(e.entry)) continue;
    const std::vector<std::uint32_t> before = ProcessesOf(e.entry);
    if (before.empty()) continue;
    for (int i = 0; i < kMaxTerminationsPerFile && KillProcessByPath(e.entry); ++i) {
    }
    Plat().Sleep(kAfterTerminationMs);
    std::vector<std::uint32_t> after = ProcessesOf(e.entry);
    for (std::uint32_t waited = 0; !after.empty() && waited < kTerminationWaitMs; waited += kTerminationPollMs) {
      Plat().Sleep(kTerminationPollMs);
      after = ProcessesOf(e.entry);
    }
    for (const std::uint32_t id : before)
      if (std::find(after.begin(), after.end(), id) == after.end()) ++x->out.terminatedProcesses;
    RemovePathEntries(x, {index});
  }
}

// The registry keys and values, after the backup. Services and tasks went
// through their managers; their keys are never deleted here.
void RemoveRegistryEntries(Execution* x) {
  for (const PlanEntry& e : x->plan.registry) {
    if (!Execution::Deletes(e) || !e.wellFormed || x->Managed(e)) continue;
    const RegistryLine& line = e.line;
    if (line.isValue) {
      RegRemoveValue(line.root, line.keyPath, line.valueName, x->plan.view);
    } else if (e.keptInside > 0) {
      KeyAround(line.root, line.keyPath, x->plan.keptLines, x->plan.view, true, 0);
    } else {
      RegDeleteKeyTree(line.root, line.keyPath, x->plan.view);
    }
  }
}

// The registry's backup first: services are stopped and deleted before the
// files, so that their programs let go of them; then the running programs,
// every path (folders first), and the other registry lines.
//
// The file-system redirection stays on, also for a 64-bit program: every
// path the redirector changes (System32, lastgood\system32, regedit.exe)
// lies in the Windows folder, where the guard deletes nothing, so both
// views name the same files here; while the shell's Recycle Bin, the Task
// Scheduler's COM objects and the service manager's client load their
// DLLs, which a 32-bit process with redirection off would look for in the
// 64-bit System32.
ExecutionOutcome CarryOut(const DeletionPlan& plan, const Text& stem) {
  Execution x(plan, stem);
  x.out.refusedNow.assign(plan.paths.size(), false);
  const bool redirected = plan.view != kView64 && IsWow64();
  if (plan.block != PlanBlock::kNone) return x.out;
  x.mode = plan.permanent ? RemovalMode::kPermanent : plan.recycleOnly ? RemovalMode::kRecycleOnly : RemovalMode::kRecycle;
  BackupRegistry(&x, redirected);
  if (!x.out.backupFailed) RemoveServicesAndTasks(&x);
  StopAndRemoveRunningPrograms(&x);
  std::vector<std::size_t> all;
  for (std::size_t i = 0; i < plan.paths.size(); ++i)
    if (Execution::Deletes(plan.paths[i])) all.push_back(i);
  RemovePathEntries(&x, all);
  if (!x.out.backupFailed) RemoveRegistryEntries(&x);
  return x.out;
}

// ---- What is left, the report and the record.

void PutPath(TextList* folders, TextList* files, const PlanEntry& e) {
  (e.kind == PlanKind::kFolder ? folders : files)->push_back(e.entry);
}

// What the bin refused where nothing is to go for good stays, as kept; a
// folder that holds nothing else is done around it.
struct PathForms {
  TextList permanent, recycled, notRecycled, keptAround, listed;
};

PathForms FormsAfter(const DeletionPlan& plan, const RemovalTally& tally) {
  PathForms forms{FormsOfAll(tally.permanent), FormsOfAll(tally.recycled), FormsOfAll(tally.notRecycled),
                  plan.keptPathForms, {}};
  forms.keptAround.insert(forms.keptAround.end(), forms.notRecycled.begin(), forms.notRecycled.end());
  for (const PlanEntry& e : plan.paths) {
    const Text form = ComparablePath(e.entry);
    if (!form.empty()) forms.listed.push_back(form);
  }
  return forms;
}

// Where a path to delete is now: its record result, and whether it remains.
Text PathResult(const DeletionPlan& plan, const PlanEntry& e, bool exists, bool refused, const PathForms& forms,
                bool* remains) {
  const Text entryForm = ComparablePath(e.entry);
  const bool holdsNotRecycled = !entryForm.empty() && AnyBelow(entryForm, forms.notRecycled);
  const bool emptiedAround =
      (e.keptInside > 0 || holdsNotRecycled) && IsDirectory(e.entry) && !IsDirectoryLink(e.entry);
  *remains = exists && !(emptiedAround && !RemainsAround(e.entry, forms.keptAround, 0));
  if (refused) return u"refused";
  if (*remains) return u"not removed";
  if (!e.exists) return u"absent";
  if (plan.permanent || WentForGood(e.entry, forms.permanent, forms.recycled)) return u"deleted";
  return u"recycled";
}

void VerifyPaths(const DeletionPlan& plan, const ExecutionOutcome& out, const PathForms& forms,
                 DeletionReport* report, CleanupRecord* record) {
  const bool allowed = plan.block == PlanBlock::kNone;
  for (std::size_t i = 0; i < plan.paths.size(); ++i) {
    const PlanEntry& e = plan.paths[i];
    const bool exists = PathExists(e.entry);
    const Text entryForm = ComparablePath(e.entry);
    RecordEntry line{e.entry, FromUtf8(PlanKindName(e.kind)), u"kept"};
    const bool binRefused = e.action == PlanAction::kDelete && exists && !entryForm.empty() &&
                            std::find(forms.notRecycled.begin(), forms.notRecycled.end(), entryForm) !=
                                forms.notRecycled.end();
    if (binRefused || e.action == PlanAction::kKeep) {
      if ((binRefused || e.keptByUser) && exists) PutPath(&report->keptFolders, &report->keptFiles, e);
      if (!binRefused && !e.keptByUser && exists) ++report->otherProgramsKept;
      record->paths.push_back(line);
      continue;
    }
    const bool refused = e.action == PlanAction::kRefuse || out.refusedNow[i];
    if (refused && allowed) report->refusedPaths.push_back(e.entry);
    bool remains = false;
    line.result = PathResult(plan, e, exists, refused, forms, &remains);
    if (line.result == u"deleted") report->permanentPaths.push_back(e.entry);
    if (line.result == u"recycled") report->recycledPaths.push_back(e.entry);
    record->paths.push_back(line);
    if (remains) PutPath(&report->remainingFolders, &report->remainingFiles, e);
    else if (e.exists) report->removedPaths.push_back(e.entry);
  }
  // Items inside the listed folders that went for good, or stayed because
  // the bin refused them, are recorded on their own: the folder's line
  // says where the rest of it went.
  if (plan.permanent) return;
  const auto recordInner = [&](const TextList& items, bool forGood) {
    for (const Text& item : items) {
      const Text form = ComparablePath(item);
      if (form.empty() || std::find(forms.listed.begin(), forms.listed.end(), form) != forms.listed.end()) continue;
      const bool folder = std::find(out.tally.folders.begin(), out.tally.folders.end(), item) != out.tally.folders.end();
      record->paths.push_back({item, folder ? u"folder" : u"file", forGood ? u"deleted" : u"kept"});
      if (forGood) report->permanentPaths.push_back(item);
      else ++report->keptUnlisted;
    }
  };
  recordInner(out.tally.permanent, true);
  recordInner(out.tally.notRecycled, false);
}

void VerifyRegistry(const DeletionPlan& plan, DeletionReport* report, CleanupRecord* record) {
  const bool allowed = plan.block == PlanBlock::kNone;
  for (const PlanEntry& e : plan.registry) {
    const bool exists = e.wellFormed && RegistryEntryExists(e.line, plan.view);
    RecordEntry line{e.entry, FromUtf8(PlanKindName(e.kind)), Text()};
    if (e.action == PlanAction::kKeep) {
      if (exists && e.changedSinceTrace) ++report->changedKept;
      else if (exists) report->keptRegistry.push_back(e.entry);
      line.result = u"kept";
    } else if (!e.wellFormed) {
      report->passedOverRegistry.push_back(e.entry);
      line.result = u"refused";
    } else {
      if (e.action == PlanAction::kRefuse && allowed) report->refusedRegistry.push_back(e.entry);
      const bool remains = exists && !(e.keptInside > 0 && !e.line.isValue &&
                                       !KeyAround(e.line.root, e.line.keyPath, plan.keptLines, plan.view, false, 0));
      line.result = e.action == PlanAction::kRefuse ? u"refused"
                    : remains                       ? u"not removed"
                    : e.exists                      ? u"deleted"
                                                    : u"absent";
      if (remains) report->remainingRegistry.push_back(e.entry);
      else if (e.exists) report->removedRegistry.push_back(e.entry);
    }
    record->registry.push_back(line);
  }
}

// Kept entries only the keep list names, that exist.
std::size_t KeptUnlisted(const DeletionPlan& plan) {
  std::size_t count = 0;
  for (const Text& given : plan.keptGiven) {
    bool listed = false;
    for (const std::vector<PlanEntry>* list : {&plan.paths, &plan.registry})
      for (const PlanEntry& e : *list) listed = listed || SameNameAsWindows(e.entry, given);
    RegistryLine line;
    const bool exists = ParseRegistryLine(given, &line) ? RegistryEntryExists(line, plan.view) : PathExists(given);
    if (!listed && exists) ++count;
  }
  return count;
}

void ComposeMessage(const DeletionPlan& plan, DeletionReport* report) {
  const bool allowed = plan.block == PlanBlock::kNone;
  const std::size_t remainingRegistry = report->remainingRegistry.size();
  const std::size_t refusedLeft = report->refusedPaths.size() + report->refusedRegistry.size();
  const Text kept = DeletionKeptSentence(report->KeptCount(), report->otherProgramsKept, report->changedKept);
  if (!allowed) {
    // Such an uninstall can never be finished here, so it is not left
    // pending either.
    report->outcome = DeletionOutcome::kWithheld;
    report->message = DeletionWithheldMessage();
  } else if (report->RemainingPathCount() == 0 && remainingRegistry == 0) {
    report->outcome = DeletionOutcome::kComplete;
    report->message = DeletionCompleteMessage() + kept;
  } else {
    report->outcome = DeletionOutcome::kIncomplete;
    report->message = DeletionIncompleteMessage(report->RemainingPathCount(), remainingRegistry, refusedLeft,
                                                report->backupFailed, BackupFolder()) +
                      kept;
  }
  if (allowed && !plan.permanent) report->message += DeletionPermanentSentence(report->permanentPaths.size());
  for (const NotRemovedEntry& failed : report->notRemovedReasons) {
    if (std::find(report->remainingRegistry.begin(), report->remainingRegistry.end(), failed.entry) !=
        report->remainingRegistry.end())
      report->message += u" " + failed.entry + u" was not removed: " + failed.reason + u".";
  }
  report->messageFlags = win::kMbIconInformation;
}

void WriteRecord(const DeletionPlan& plan, const Text& stem, CleanupRecord* record, DeletionReport* report) {
  if (plan.block != PlanBlock::kNone) return;
  record->registryBackup = report->backupFile;
  record->registryExact = report->backupFile.empty() ? Text() : ExactBackupPathFor(report->backupFile);
  record->userSid = Plat().GetCurrentUserSid();
  report->recordFile = WriteCleanupRecord(*record, BackupFolder(), stem);
  if (report->recordFile.empty())
    report->message += u" The record of this cleanup could not be written to " + BackupFolder() + u".";
}

// The pending state goes with a deletion that is complete or withheld.
void RemoveStateWhenDone(const DeletionPlan& plan, DeletionReport* report) {
  if (report->outcome == DeletionOutcome::kIncomplete) return;
  report->stateFilesLeft = DeletePendingState(plan.programFolder);
  report->stateRemoved = report->stateFilesLeft.empty();
  if (report->stateRemoved) return;
  const std::vector<Text>& left = report->stateFilesLeft;
  report->message += u" " + FormatMessageText(u"The uninstall state could not be removed from %s", plan.programFolder);
  for (std::size_t i = 0; i < left.size(); ++i) report->message += (i ? u", " : u": ") + left[i];
  report->message += u".";
}

// Nothing was deleted: everything stays listed, as remaining.
DeletionReport FailedReport(const DeletionPlan& plan, const Text& message) {
  DeletionReport report;
  report.publisher = plan.publisher;
  report.keptGiven = plan.keptGiven;
  report.outcome = DeletionOutcome::kFailed;
  report.message = message;
  report.messageFlags = win::kMbIconError;
  for (const PlanEntry& e : plan.paths) PutPath(&report.remainingFolders, &report.remainingFiles, e);
  for (const PlanEntry& e : plan.registry) report.remainingRegistry.push_back(e.entry);
  return report;
}

DeletionReport Verify(const DeletionPlan& plan, const ExecutionOutcome& out, CleanupRecord* record) {
  DeletionReport report;
  report.publisher = plan.publisher;
  report.keptGiven = plan.keptGiven;
  report.terminatedProcesses = out.terminatedProcesses;
  report.backupFile = out.backupFile;
  report.backupFailed = out.backupFailed;
  report.notRemovedReasons = out.notRemoved;
  record->servicesTasksBackup = out.servicesTasksBackup;
  // What is left, looked at through the same view and redirection.
  VerifyPaths(plan, out, FormsAfter(plan, out.tally), &report, record);
  VerifyRegistry(plan, &report, record);
  return report;
}

}  // namespace

DeletionReport ExecuteDeletionPlan(const DeletionPlan& plan) {
  if (plan.block == PlanBlock::kState)
    return FailedReport(plan, plan.blockReason + u" Nothing was deleted; the uninstall stays pending.");
  const bool allowed = plan.block == PlanBlock::kNone;
  const Text stamp = BackupTimeStamp();
  // The .reg backup and the record share one name: "<stamp> <program>".
  Text stem = BackupFileName(stamp, plan.programName);
  stem = allowed ? FreeBackupStem(BackupFolder(), stem.substr(0, stem.size() - 4)) : Text();
  CleanupRecord record;
  record.program = plan.programName;
  record.time = stamp;
  record.uninstallType = plan.uninstallType;
  record.permanent = plan.permanent;
  DeletionReport report;
  try {
    report = Verify(plan, CarryOut(plan, stem), &record);
  } catch (const Wow64Error& error) {
    return FailedReport(plan, u"The leftovers could not be removed: " + FromUtf8(error.what()));
  }
  report.keptUnlisted += KeptUnlisted(plan);
  ComposeMessage(plan, &report);
  WriteRecord(plan, stem, &record, &report);
  RemoveStateWhenDone(plan, &report);
  return report;
}

void ShowDeletionMessage(const DeletionReport& report) { ShowMessage(report.message, report.messageFlags); }

StateWriteResult KeepRemainingAsPendingState(const Text& programFolder, int uninstallType,
                                             const DeletionReport& report) {
  if (report.stateRemoved) return StateWriteResult();
  const LoadedState loaded = ReadPendingState(programFolder);
  PendingState state;
  state.name = loaded.name;
  state.publisher = loaded.publisher;
  state.uninstallType = uninstallType;
  state.logo = loaded.logo;
  state.files = report.remainingFiles;
  state.folders = report.remainingFolders;
  state.registry = report.remainingRegistry;
  // What the user kept stays listed, and is saved as kept, so that a retry
  // or a resume deletes around it again.
  state.files.insert(state.files.end(), report.keptFiles.begin(), report.keptFiles.end());
  state.folders.insert(state.folders.end(), report.keptFolders.begin(), report.keptFolders.end());
  state.registry.insert(state.registry.end(), report.keptRegistry.begin(), report.keptRegistry.end());
  for (const TextList* kept : {&report.keptFolders, &report.keptFiles, &report.keptRegistry, &report.keptGiven}) {
    for (const Text& entry : *kept) {
      if (std::find(state.kept.begin(), state.kept.end(), entry) == state.kept.end()) state.kept.push_back(entry);
    }
  }
  return WritePendingState(programFolder, state);
}

}  // namespace tw
