#include "cleanup/deletion_plan.h"

#include <algorithm>
#include <string>

#include "access/environment.h"
#include "access/folder_guard.h"
#include "access/folders.h"
#include "access/path_guard.h"
#include "access/paths.h"
#include "access/services.h"
#include "cleanup/deletion_guard.h"
#include "cleanup/recycle_bin_limits.h"
#include "cleanup/state_files.h"
#include "cleanup/still_existing.h"

namespace tw {

namespace {

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

bool IsMicrosoft(const Text& publisher) { return Contains(UpperAscii(publisher), u"MICROSOFT"); }

struct KeptPath {
  TextList forms;
  Text path;
};

// What every entry of one request is judged against.
struct PlanContext {
  const DeletionRequest& request;
  DeletionGuard guard = DeletionGuard::ForThisMachine();
  std::vector<KeptPath> userKept;
  std::vector<KeptPath> otherTrees;  // other programs' folders, kept whole
  std::vector<KeptPath> holders;     // other programs' folders that hold this program's
  std::vector<TextList> aroundForms;  // what a folder to delete is deleted around
  std::vector<TextList> listedForms;  // every listed folder and file

  explicit PlanContext(const DeletionRequest& r) : request(r) {}
  std::size_t PathRows() const { return request.folders.size() + request.files.size(); }
  const Text& PathAt(std::size_t i) const {
    return i < request.folders.size() ? request.folders[i] : request.files[i - request.folders.size()];
  }
  bool PathTicked(std::size_t i) const { return i >= request.fileTicks.size() || request.fileTicks[i]; }
  bool LineTicked(std::size_t i) const { return i >= request.registryTicks.size() || request.registryTicks[i]; }
};

// ---- What withholds the whole deletion.

void Block(DeletionPlan* plan, PlanBlock block, const Text& reason) {
  if (plan->block != PlanBlock::kNone) return;
  plan->block = block;
  plan->blockReason = reason;
}

// SIConfig.txt: the publisher and the name, or a state that cannot be trusted.
bool ReadConfig(const DeletionRequest& request, DeletionPlan* plan) {
  bool microsoft = false;
  TextList config;
  switch (ReadStateFile(plan->programFolder + kStateConfigFile, &config, StateLines::kConfig)) {
    case StateFileRead::kRead:
      if (config.size() == 2) {
        if (!request.publisher || plan->publisher.empty()) plan->publisher = config[1];
        microsoft = IsMicrosoft(config[1]);
      }
      if (plan->programName.empty() && !config.empty()) plan->programName = config[0];
      break;
    case StateFileRead::kUnreadable:
      Block(plan, PlanBlock::kState,
            u"SIConfig.txt in " + plan->programFolder + u" could not be read, so the publisher of the program is not known.");
      break;
    case StateFileRead::kMissing:
      if (!request.publisher && IsUninstallPending(plan->programFolder))
        Block(plan, PlanBlock::kState,
              u"SIConfig.txt is missing from " + plan->programFolder + u", so the publisher of the program is not known.");
      break;
  }
  return microsoft;
}

void JudgeState(const DeletionRequest& request, DeletionPlan* plan) {
  bool microsoft = false;
  if (request.publisher) {
    plan->publisher = *request.publisher;
    microsoft = IsMicrosoft(plan->publisher);
  }
  microsoft = ReadConfig(request, plan) || microsoft;
  if (plan->block == PlanBlock::kNone && IsUninstallPending(plan->programFolder)) {
    // A kept list that is there but cannot be read would be taken as
    // empty, and what the user kept would be deleted with the rest.
    TextList kept;
    if (ReadStateFile(plan->programFolder + kStateKeptFile, &kept, StateLines::kEntries) == StateFileRead::kUnreadable)
      Block(plan, PlanBlock::kState,
            Text(kStateKeptFile) + u" in " + plan->programFolder + u" could not be read, so what the user kept is not known.");
  }
  if (request.uninstallType < 0 || request.uninstallType > 1)
    Block(plan, PlanBlock::kState,
          u"The uninstall state does not say whether the program is 32-bit or 64-bit (" + Text(kStateTypeFile) +
              u" is missing or unreadable), so its registry view is not known.");
  if (microsoft)
    Block(plan, PlanBlock::kPublisher,
          u"The program is published by Microsoft; its leftovers are not removed, to protect Windows.");
}

// ---- What is kept.

void CollectKept(PlanContext* context, DeletionPlan* plan) {
  const DeletionRequest& request = context->request;
  const auto keepLine = [&](const Text& text) {
    KeptRegistryLine kept;
    kept.text = text;
    kept.wellFormed = ParseRegistryLine(text, &kept.line);
    if (kept.wellFormed) kept.keyForms = KeptKeyForms(kept.line);
    plan->keptLines.push_back(kept);
  };
  const auto keepPath = [&](const Text& path) {
    KeptPath kept{KeptSpellings(path), path};
    if (kept.forms.empty()) return;
    for (const Text& form : kept.forms) plan->keptPathForms.push_back(form);
    context->userKept.push_back(kept);
  };
  for (std::size_t i = 0; i < context->PathRows(); ++i)
    if (!context->PathTicked(i)) keepPath(context->PathAt(i));
  for (std::size_t i = 0; i < request.registry.size(); ++i)
    if (!context->LineTicked(i)) keepLine(request.registry[i]);
  plan->keptGiven = request.keep;
  // The keep list may come from a state file or the command line as typed:
  // each entry is read as --keep reads it ("HKEY_LOCAL_MACHINE\SOFTWARE\x",
  // "hklm|x", "\\?\C:\x"), or, when that fails, kept as written.
  for (const Text& given : request.keep) {
    Text entry;
    if (!ReadKeptEntry(given, &entry)) entry = given;
    RegistryLine line;
    if (ParseRegistryLine(entry, &line)) keepLine(entry);
    else keepPath(entry);
  }
}

// Another program's folder that holds this program's listed folders is
// the vendor folder this program lives in: it stays, but what lies in it
// is this program's to delete. Any other is kept whole, also one that is
// one of this program's own folders (two entries of one folder: an add-on,
// a language pack), though the folders below it are listed too.
void CollectOtherPrograms(PlanContext* context, DeletionPlan* plan) {
  for (const Text& folder : context->request.otherProgramFolders) {
    KeptPath other{KeptSpellings(folder), folder};
    if (other.forms.empty()) continue;
    bool holdsOurs = false, oursHoldsIt = false;
    for (const Text& listed : context->request.folders) {
      const TextList forms = FormsOf(listed);
      if (AnyAtOrBelow(other.forms, forms)) oursHoldsIt = true;
      else if (AnyAtOrBelow(forms, other.forms)) holdsOurs = true;
    }
    if (holdsOurs && !oursHoldsIt) {
      context->holders.push_back(other);
    } else {
      for (const Text& form : other.forms) plan->keptPathForms.push_back(form);
      context->otherTrees.push_back(other);
    }
  }
  for (const KeptPath& k : context->userKept) context->aroundForms.push_back(k.forms);
  for (const KeptPath& k : context->otherTrees) context->aroundForms.push_back(k.forms);
  for (std::size_t i = 0; i < context->PathRows(); ++i) context->listedForms.push_back(FormsOf(context->PathAt(i)));
}

// ---- The files and folders.

const KeptPath* FirstHolding(const std::vector<KeptPath>& list, const TextList& forms) {
  for (const KeptPath& k : list)
    if (AnyAtOrBelow(forms, k.forms)) return &k;
  return nullptr;
}

// Kept (by the user, for another program) or refused; false when neither.
bool JudgePathKept(const PlanContext& context, std::size_t i, const TextList& forms, PlanEntry* entry) {
  entry->action = PlanAction::kKeep;
  const KeptPath* holder = FirstHolding(context.userKept, forms);
  const KeptPath* other = FirstHolding(context.otherTrees, forms);
  const KeptPath* vendor = nullptr;
  for (const KeptPath& k : context.holders)
    if (!vendor && AnyAtOrBelow(k.forms, forms)) vendor = &k;
  if (!context.PathTicked(i) || (holder && SameForm(forms, holder->forms))) {
    entry->keptByUser = true;
    entry->reason = u"kept by the user";
  } else if (holder) {
    entry->keptByUser = true;
    entry->reason = u"inside " + holder->path + u", which the user keeps";
  } else if (other) {
    entry->reason = u"inside " + other->path + u", the folder of another listed program";
  } else if (vendor) {
    entry->reason = u"holds " + vendor->path + u", the folder of another listed program, which holds this one";
  } else if (forms.empty() || context.guard.RefusesPath(entry->entry)) {
    entry->action = PlanAction::kRefuse;
    entry->reason = u"a protected location (Windows, a user profile, a shared system folder or Tidewell's own "
                    u"folder), or not a plain drive-letter path";
  } else {
    return false;
  }
  return true;
}

void KeepInstead(PlanEntry* entry, const Text& reason) {
  entry->action = PlanAction::kKeep;
  entry->keptByUser = true;
  entry->keptInside = 0;
  entry->reason = reason;
}

PlanEntry PlanPath(const PlanContext& context, std::size_t i) {
  PlanEntry entry;
  entry.entry = context.PathAt(i);
  entry.kind = i < context.request.folders.size() ? PlanKind::kFolder : PlanKind::kFile;
  const TextList& forms = context.listedForms[i];
  if (!JudgePathKept(context, i, forms, &entry)) {
    entry.action = PlanAction::kDelete;
    entry.keptInside = StrictlyInside(context.aroundForms, forms);
    if (entry.keptInside > 0 && IsDirectoryLink(entry.entry)) {
      // Removing it would leave a kept path spelled through it naming
      // nothing, on a retry or a resume; what it leads to is never walked.
      KeepInstead(&entry, u"a link that leads to entries kept inside it; it stays with them");
    } else if (entry.keptInside > 0) {
      entry.reason = AroundReason(entry.keptInside, u"the folder and everything in it");
    } else {
      entry.reason = entry.kind == PlanKind::kFolder ? u"ticked: the folder and everything in it" : u"ticked";
    }
  }
  entry.exists = PathExists(entry.entry);
  if (entry.action == PlanAction::kDelete && entry.exists && !context.request.permanent) {
    // Counted before anything is deleted, so that the question can say it.
    const Text why = RecycleBinRefusal(entry.entry);
    if (!why.empty() && context.request.recycleOnly)
      KeepInstead(&entry, u"cannot go to the Recycle Bin (" + why + u"), and nothing is to be deleted for good");
    else
      entry.forGoodReason = why;
  }
  return entry;
}

// ---- The registry lines.

// A service or task goes only as the program's: it starts a program in
// one of the listed folders or a listed file, or one that is gone. One
// that starts something still there and outside the lists (a Windows
// service outside the Windows folder, another program's) is not shown to
// be this program's, whatever line names it.
bool StartsListedOrGone(const PlanContext& context, const ManagedEntry& managed) {
  bool anyPresent = false;
  for (const Text& program : ManagedEntryPrograms(managed)) {
    const TextList forms = FormsOf(program);
    for (const TextList& listed : context.listedForms)
      if (AnyAtOrBelow(forms, listed)) return true;
    anyPresent = anyPresent || forms.empty() || PathExists(program);
  }
  return !anyPresent;
}

// Kept by the user: the line itself, or inside a kept key. Kept lines are
// compared by the keys they name, however spelled.
bool JudgeLineKept(const DeletionPlan& plan, bool ticked, const TextList& keyForms, PlanEntry* entry) {
  const KeptRegistryLine* holder = nullptr;
  bool same = !ticked;
  const Text upperValue = UpperAsWindows(entry->line.valueName);
  for (const KeptRegistryLine& k : plan.keptLines) {
    same = same || SameNameAsWindows(k.text, entry->entry);
    if (!entry->wellFormed || !k.wellFormed) continue;
    if (k.line.isValue) {
      if (entry->line.isValue && SameKey(k.keyForms, keyForms) && UpperAsWindows(k.line.valueName) == upperValue)
        same = true;
    } else if (AnyKeyAtOrBelow(keyForms, k.keyForms)) {
      if (!entry->line.isValue && SameKey(k.keyForms, keyForms)) same = true;
      if (!holder) holder = &k;
    }
  }
  if (!same && !holder) return false;
  entry->action = PlanAction::kKeep;
  entry->keptByUser = true;
  entry->reason = same ? Text(u"kept by the user") : u"inside the registry key " + holder->text + u", which the user keeps";
  return true;
}

std::size_t KeptInsideKey(const DeletionPlan& plan, const TextList& keyForms) {
  std::size_t count = 0;
  for (const KeptRegistryLine& k : plan.keptLines) {
    if (k.wellFormed && AnyKeyAtOrBelow(k.keyForms, keyForms) && (k.line.isValue || !SameKey(k.keyForms, keyForms)))
      ++count;
  }
  return count;
}

void PlanLineDeletion(const DeletionPlan& plan, const TextList& keyForms, ManagedKind managed, PlanEntry* entry) {
  entry->action = PlanAction::kDelete;
  if (!entry->line.isValue) entry->keptInside = KeptInsideKey(plan, keyForms);
  const bool service = managed == ManagedKind::kService;
  if (managed != ManagedKind::kNone && entry->keptInside > 0) {
    // Its manager removes it whole; nothing can be left inside it.
    KeepInstead(entry, service ? u"holds entries the user keeps, and a service goes whole or not at all"
                               : u"holds entries the user keeps, and a scheduled task goes whole or not at all");
  } else if (service) {
    entry->reason = u"ticked: the service, stopped and deleted through the service control manager";
  } else if (managed == ManagedKind::kScheduledTask) {
    entry->reason = u"ticked: the scheduled task, deleted through the Task Scheduler";
  } else if (entry->keptInside > 0) {
    entry->reason = AroundReason(entry->keptInside, u"the key with its subkeys and values");
  } else {
    entry->reason = entry->line.isValue ? u"ticked: this value" : u"ticked: the key with its subkeys and values";
  }
}

PlanEntry PlanLine(const PlanContext& context, const DeletionPlan& plan, std::size_t i) {
  const DeletionRequest& request = context.request;
  PlanEntry entry;
  entry.entry = request.registry[i];
  entry.wellFormed = ParseRegistryLine(entry.entry, &entry.line);
  const RegistryLine& line = entry.line;
  entry.kind = !entry.wellFormed ? PlanKind::kLine : line.isValue ? PlanKind::kValue : PlanKind::kKey;
  const ManagedEntry managed =
      entry.wellFormed ? ManagedEntryOf(line.rootText, line.writtenKey, line.isValue) : ManagedEntry();
  if (managed.kind == ManagedKind::kService) entry.kind = PlanKind::kService;
  if (managed.kind == ManagedKind::kScheduledTask) entry.kind = PlanKind::kTask;
  const TextList keyForms = entry.wellFormed ? RegistryKeyForms(line) : TextList();
  if (JudgeLineKept(plan, context.LineTicked(i), keyForms, &entry)) {
  } else if (!entry.wellFormed) {
    entry.action = PlanAction::kRefuse;
    entry.reason = u"not a registry line: a root other than HKLM, HKCU, HKU or HKCR, or no key";
  } else if (IsProtectedRegistryEntry(line.rootText, line.writtenKey, line.isValue ? &line.valueName : nullptr)) {
    entry.action = PlanAction::kRefuse;
    entry.reason = u"a registry key or value Windows or other programs need";
  } else if (!ClassEntryStillTheProgram(line, request.folders, request.registry, plan.view)) {
    entry.action = PlanAction::kKeep;
    entry.changedSinceTrace = true;
    entry.reason = u"changed since the trace: it no longer holds the program's data";
  } else if (managed.kind != ManagedKind::kNone && !StartsListedOrGone(context, managed)) {
    entry.action = PlanAction::kRefuse;
    entry.reason = managed.kind == ManagedKind::kService
                       ? u"a service that starts a program outside the listed folders and files"
                       : u"a scheduled task that starts a program outside the listed folders and files";
  } else {
    PlanLineDeletion(plan, keyForms, managed.kind, &entry);
  }
  entry.exists = entry.wellFormed && RegistryEntryExists(line, plan.view);
  return entry;
}

void WithholdAll(DeletionPlan* plan) {
  if (plan->block == PlanBlock::kNone) return;
  for (std::vector<PlanEntry>* list : {&plan->paths, &plan->registry}) {
    for (PlanEntry& entry : *list) {
      if (entry.action != PlanAction::kDelete) continue;
      entry.action = PlanAction::kRefuse;
      entry.reason = u"withheld: " + plan->blockReason;
    }
  }
}

}  // namespace

bool ReadKeptEntry(const Text& given, Text* entry) {
  const std::size_t bar = given.find(u'|');
  const std::size_t slash = given.find(u'\\');
  const std::size_t end = std::min(bar, slash);
  const HKey root = RegistryRootNamed(end == Text::npos ? given : given.substr(0, end));
  if (root != 0) {
    if (end == Text::npos) return false;  // a root alone names nothing to keep
    // "HKLM\path" names a key; a value needs the bar form.
    const Text line = RegistryRootText(root) + u"|" + given.substr(end + 1);
    RegistryLine parsed;
    if (!ParseRegistryLine(line, &parsed) || parsed.keyPath.empty()) return false;
    *entry = line;
    return true;
  }
  Text path = Trim(given);
  if (StartsWith(path, u"\\\\?\\") && path.size() > 6 && path[5] == u':') path = path.substr(4);
  if (ComparablePath(path).empty()) return false;
  *entry = path;
  return true;
}

bool RegistryEntryExists(const RegistryLine& line, ViewFlag view) {
  if (line.keyPath.empty()) return false;
  const ManagedEntry managed = ManagedEntryOf(line.rootText, line.keyPath, line.isValue);
  if (managed.kind != ManagedKind::kNone) return ManagedEntryExists(managed);
  return RegistryLineExists(line, view);
}

bool KeptValue(const std::vector<KeptRegistryLine>& kept, const TextList& keyForms, const Text& valueName) {
  for (const KeptRegistryLine& k : kept)
    if (k.wellFormed && k.line.isValue && SameKey(k.keyForms, keyForms) && SameNameAsWindows(k.line.valueName, valueName))
      return true;
  return false;
}

bool KeptKey(const std::vector<KeptRegistryLine>& kept, const TextList& keyForms) {
  for (const KeptRegistryLine& k : kept)
    if (k.wellFormed && !k.line.isValue && SameKey(k.keyForms, keyForms)) return true;
  return false;
}

bool KeyHoldsKept(const std::vector<KeptRegistryLine>& kept, const TextList& keyForms) {
  for (const KeptRegistryLine& k : kept)
    if (k.wellFormed && AnyKeyAtOrBelow(k.keyForms, keyForms)) return true;
  return false;
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
  plan.view = RegistryViewOf(request.uninstallType);
  plan.programName = request.programName;
  plan.permanent = request.permanent;
  plan.recycleOnly = request.recycleOnly && !request.permanent;
  JudgeState(request, &plan);
  PlanContext context(request);
  CollectKept(&context, &plan);
  CollectOtherPrograms(&context, &plan);
  for (std::size_t i = 0; i < context.PathRows(); ++i) plan.paths.push_back(PlanPath(context, i));
  for (std::size_t i = 0; i < request.registry.size(); ++i) plan.registry.push_back(PlanLine(context, plan, i));
  WithholdAll(&plan);
  return plan;
}

}  // namespace tw
