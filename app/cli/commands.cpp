#include "app/cli/commands.h"

#include "app/cli/cli_inventory.h"

#include <algorithm>
#include <functional>
#include <unordered_set>


#include <iostream>
#include <string>

#include "access/folder_guard.h"
#include "access/environment.h"
#include "access/folders.h"
#include "access/path_guard.h"
#include "cleanup/backup_restore.h"
#include "cleanup/cleanup_record.h"
#include "cleanup/deletion_plan.h"
#include "cleanup/registry_backup.h"
#include "cleanup/leftover_deletion.h"
#include "cleanup/state_files.h"
#include "cleanup/still_existing.h"
#include "access/message_box.h"
#include "app/cli/export.h"
#include "app/cli/json.h"
#include "app/cli/install_track.h"
#include "app/cli/quiet_uninstall.h"
#include "inventory/inventory_scan.h"
#include "trace/trace_scan.h"
#include "uninstall/launch.h"
#include "uninstall/watch.h"
#include "workers/headless_handover.h"

namespace tw::cli {

namespace {

constexpr int kUsageError = 2;

const char kHelp[] =
    "usage: tidewell-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  list     List the installed programs, one JSON object per line, in the\n"
    "           order the inventory delivers them (sorted by lower-case name),\n"
    "           with the fields name, name_low, publisher, version,\n"
    "           install_location, uninstall_string, display_icon,\n"
    "           display_icon_id, install_reg_path and is64.\n"
    "  analyze NAME\n"
    "           Trace the listed program NAME (its display name, in any ASCII\n"
    "           letter case) and print one JSON object: the folders and files\n"
    "           and the registry lines as the trace delivers them, the counts\n"
    "           it reported, and the mode.\n"
    "  analyze --folder DIR\n"
    "           The same for a Force Remove of the folder DIR.\n"
    "  uninstall NAME\n"
    "           Trace NAME as analyze does, run its own uninstaller and watch\n"
    "           it (about 17 to 26 seconds), printing each step as a JSON line,\n"
    "           then the traced leftovers as analyze prints them.\n"
    "  uninstall NAME --delete-leftovers [--yes] [--keep PATH]... [--dry-run]\n"
    "            [--permanent | --recycle-only] [--include-name-matches]\n"
    "           The same, then delete the leftovers (asking first unless --yes)\n"
    "           and print what was removed, what remains and what was kept.\n"
    "           Files and folders go to the Recycle Bin (--permanent: deleted\n"
    "           for good). What the Recycle Bin will not keep (it is off, or\n"
    "           too small) is said first and deleted for good, or kept with\n"
    "           --recycle-only. A registry backup (.reg) is written to the Backups\n"
    "           folder beside the program first, and a record of the cleanup\n"
    "           (.json) beside it. The folders of the other listed programs are\n"
    "           kept. --keep PATH keeps a file, a folder (with everything in it)\n"
    "           or a registry line as an unticked row of the leftovers page does;\n"
    "           it may be given many times. --dry-run traces, prints the plan (one\n"
    "           entry per leftover: delete, keep or refused, with the reason) as\n"
    "           JSON and changes nothing: the uninstaller is not run either.\n"
    "           Data folders and settings keys found by the program's names\n"
    "           alone (evidence \"name\") are kept unless --include-name-matches.\n"
    "  force-remove DIR [--yes] [--keep PATH]... [--dry-run] [--permanent]\n"
    "            [--recycle-only] [--include-name-matches]\n"
    "           Trace the folder DIR (refused for system and shared folders),\n"
    "           print the leftovers and delete them as above.\n"
    "  pending  Show the uninstall that waits for its leftovers to be deleted\n"
    "           (the state files beside the program) as JSON; exit code 1 when\n"
    "           none is pending.\n"
    "  pending --delete [--yes] [--keep PATH]... [--dry-run] [--permanent]\n"
    "            [--recycle-only]\n"
    "           Finish it as Delete Leftovers on the leftovers page does: what\n"
    "           the user kept before stays kept, and what cannot be removed\n"
    "           stays pending.\n"
    "  uninstall NAME... [--publisher P] --quiet [--timeout SECONDS]\n"
    "            [--delete-leftovers --yes]\n"
    "           Remove each program in turn with its quiet uninstall command\n"
    "           (QuietUninstallString, or the silent switches of a Windows\n"
    "           Installer, NSIS or Inno Setup uninstaller; any other is refused),\n"
    "           following its processes to their end or the time-out (1800 s).\n"
    "           One JSON line per program; exit code 0, 3010 (restart needed)\n"
    "           or 1 (some failed). See docs/cli.md.\n"
    "  backups  List the records of the cleanups in the Backups folder,\n"
    "           newest first, one JSON object per line.\n"
    "  restore RECORD [--overwrite]\n"
    "           Write back the registry keys and values the cleanup RECORD (its\n"
    "           file name or path in the Backups folder) deleted, each in the\n"
    "           view it was read from, and list the files and folders to restore\n"
    "           from the Recycle Bin by their original paths. A value that holds\n"
    "           other data now is a conflict and stays, unless --overwrite.\n"
    "  install [--quiet] [--timeout SECONDS] SETUP [ARGS...]\n"
    "           Run the installer SETUP (ARGS go to it; --quiet adds the silent\n"
    "           switches of Windows Installer, NSIS and Inno Setup) between two\n"
    "           snapshots of the places installers write, and write what it\n"
    "           created, changed and deleted as an install record (.json) in\n"
    "           the Tracked folder beside the program. One result line.\n"
    "  export --format json|csv|html FILE\n"
    "           Write the inventory, with the fields of list, to FILE.\n"
    "  --version\n"
    "           Print the version as JSON.\n"
    "  --help   Show this text.\n"
    "\n"
    "Run it from an elevated prompt: what it reads and runs needs the rights\n"
    "of an administrator. Exit codes: 0 done, 1 failed or not complete,\n"
    "2 wrong arguments.\n";

// What one trace run reported.
struct TraceRun {
  TextList rows;        // the file and folder list, as delivered
  TextList registry;    // the registry lines, as delivered
  // The complete lists, gathered as the window gathers them: every reported
  // path sorted into folders and files as it is found, every distinct
  // (ASCII case-blind) non-empty registry line of the delivery.
  TextList folders, files, distinctRegistry;
  // Where each entry comes from: the trace's table, kept past its end.
  SharedEntryOrigins origins;
  std::uint32_t fileFolderReports = 0, lastFileFolderCount = 0;
  std::uint32_t registryReports = 0, lastRegistryCount = 0;
  bool ended = false;
};

// The events of a trace that gather into `run`, as the window gathers them.
TraceEvents GatherInto(TraceRun* run) {
  TraceEvents events;
  events.ended = [run] { run->ended = true; };
  events.found = [run](const TraceFound& found) {
    for (const Text& path : found.filesFolders) (IsDirectory(path) ? run->folders : run->files).push_back(path);
    run->fileFolderReports += std::uint32_t(found.filesFolders.size());
    run->registryReports += std::uint32_t(found.registry.size());
    run->lastFileFolderCount = found.filesFoldersCount;
    run->lastRegistryCount = found.registryCount;
  };
  events.fileFolderRows = [run](const TextList& rows) { run->rows.insert(run->rows.end(), rows.begin(), rows.end()); };
  events.registryRows = [run](const TextList& lines) {
    for (const Text& line : lines) {
      run->registry.push_back(line);
      if (line.empty()) continue;
      const auto known = [&line](const Text& other) { return SameTextAscii(other, line); };
      if (std::none_of(run->distinctRegistry.begin(), run->distinctRegistry.end(), known))
        run->distinctRegistry.push_back(line);
    }
  };
  return events;
}

// Runs the trace worker to its end with its wait set to zero. `nameLow` is the
// inventory key of a listed program, or empty with `folder` set for a Force
// Remove.
bool RunTrace(ProgramInventory& list, const Text& nameLow, const Text& folder, HeadlessHandOver& handOver,
              TraceRun* run) {
  const auto trace = StartTrace(list, TraceTarget{nameLow, folder}, GatherInto(run), 0);
  run->origins = trace->Origins();
  const bool ended = handOver.PumpUntil([&] { return trace->Finished(); }, std::chrono::minutes(30));
  return ended && run->ended && !trace->Failed();
}

// A listed program whose folder the guard refuses is traced without it (its
// uninstall entry alone); the console says why.
void SayWhyFolderIsNotTraced(const InstalledProgram* record, std::ostream& err) {
  if (!record || Trim(record->installLocation).empty()) return;
  const PathJudgement judgement = JudgeTraceFolder(record->installLocation);
  if (!judgement.Refused()) return;
  err << "tidewell-cli: the folder of \"" << ToUtf8(record->name) << "\" is not traced, only its uninstall entry: "
      << ToUtf8(judgement.Reason()) << "\n";
}

// One object per entry of the complete lists (folders, files, registry
// lines): the entry, the area that found it, its evidence and whether it is
// offered ticked.
std::string EntriesJson(const TraceRun& run) {
  std::string json = "[";
  for (const TextList* list : {&run.folders, &run.files, &run.distinctRegistry}) {
    for (const Text& entry : *list) {
      const EntryOrigin* origin = run.origins ? run.origins->OriginOf(entry) : nullptr;
      const EntryOrigin none;
      const EntryOrigin& o = origin ? *origin : none;
      if (json.size() > 1) json += ",";
      json += JsonObject()
                  .Add("entry", entry)
                  .Add("area", o.area)
                  .Add("evidence", o.evidence)
                  .AddRaw("default_tick", o.defaultTick ? "true" : "false")
                  .str();
    }
  }
  return json + "]";
}

void PrintTrace(std::ostream& out, bool forceRemove, const InstalledProgram* record, const Text& folder,
                const TraceRun& run) {
  out << JsonObject()
             .Add("mode", std::int64_t(forceRemove ? 2 : 1))
             .Add("name", record ? record->name : Text())
             .Add("install_location", record ? record->installLocation : Trim(folder))
             .AddRaw("files_folders", JsonArray(run.rows))
             .AddRaw("registry", JsonArray(run.registry))
             .Add("file_folder_reports", std::int64_t(run.fileFolderReports))
             .Add("file_folder_count", std::int64_t(run.lastFileFolderCount))
             .Add("registry_reports", std::int64_t(run.registryReports))
             .Add("registry_count", std::int64_t(run.lastRegistryCount))
             .AddRaw("entries", EntriesJson(run))
             .str()
      << "\n";
}

// The lists of `run` cut down to what `left` holds (the display list, the
// delivered registry lines and the complete lists); the counts then count
// what is left.
void KeepOnly(const LeftoverLists& left, TraceRun* run) {
  std::unordered_set<Text> paths, lines;
  for (const TextList* list : {&left.folders, &left.files})
    for (const Text& path : *list) paths.insert(path);
  for (const Text& line : left.registry) lines.insert(line);
  const auto keep = [](TextList& list, const std::unordered_set<Text>& in) {
    list.erase(std::remove_if(list.begin(), list.end(), [&in](const Text& t) { return in.count(t) == 0; }), list.end());
  };
  keep(run->rows, paths);
  keep(run->registry, lines);
  run->folders = left.folders;
  run->files = left.files;
  run->distinctRegistry = left.registry;
  run->lastFileFolderCount = std::uint32_t(left.folders.size() + left.files.size());
  run->lastRegistryCount = std::uint32_t(left.registry.size());
}

// A message on one line, for the console.
std::string OneLine(Text text) {
  for (char16_t& c : text) {
    if (c == u'\r' || c == u'\n') c = u' ';
  }
  return ToUtf8(text);
}

// The folder a Force Remove may trace; false (with the message on `err`)
// when it is missing or refused.
bool CheckTraceFolder(const Text& folder, std::ostream& err) {
  if (folder.empty()) {
    err << "tidewell-cli: Tidewell needs to collect necessary information to initiate the Force Remove process. "
           "Please specify the program install directory.\n";
    return false;
  }
  if (IsRefusedTraceFolder(folder)) {
    err << "tidewell-cli: " << OneLine(TraceFolderRefusalMessage(folder)) << "\n";
    return false;
  }
  return true;
}

// Scans the inventory and finds NAME in it (as the inventory keys names:
// trimmed, ASCII lower-case). 0 when found, else the exit code.
int FindProgram(CliInventory& session, const Text& name, Text* nameLow, std::ostream& err) {
  if (!session.Scan()) {
    err << "tidewell-cli: the inventory scan ended by an error or did not finish\n";
    return 1;
  }
  *nameLow = LowerAscii(Trim(name));
  if (!session.List().Find(*nameLow)) {
    err << "tidewell-cli: no installed program is called \"" << ToUtf8(name) << "\"\n";
    return kUsageError;
  }
  return 0;
}

int AnalyzeCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  const bool forceRemove = args.size() == 3 && args[1] == u"--folder";
  if (!forceRemove && !(args.size() == 2 && !StartsWith(args[1], u"--"))) {
    err << "tidewell-cli: usage: analyze NAME | analyze --folder DIR\n";
    return kUsageError;
  }
  CliInventory session;
  Text nameLow;
  const Text folder = forceRemove ? args[2] : Text();
  if (forceRemove) {
    if (!CheckTraceFolder(folder, err)) return kUsageError;
  } else if (const int code = FindProgram(session, args[1], &nameLow, err)) {
    return code;
  }
  TraceRun run;
  if (!RunTrace(session.List(), nameLow, folder, session.HandOver(), &run)) {
    err << "tidewell-cli: the trace ended by an error or did not finish\n";
    return 1;
  }
  if (!forceRemove) SayWhyFolderIsNotTraced(session.List().Find(nameLow), err);
  PrintTrace(out, forceRemove, forceRemove ? nullptr : session.List().Find(nameLow), folder, run);
  return 0;
}

// What the end of the watch's first step saves as the pending state, as the
// window does, so that an interrupted uninstall can be finished in Tidewell.
struct StateToSave {
  Text folder;
  PendingState state;
  std::ostream* err = nullptr;
  bool saved = false;
};

// Starts the program's own uninstaller and watches it, with the watch's own
// timing, as the window does: the launch first, the watch a second later.
// The watch's events are printed as they come; the end of its first step
// saves `stateToSave` when it is set.
bool RunUninstaller(CliInventory& session, const Text& nameLow, std::ostream& out, StateToSave* stateToSave) {
  const InstalledProgram* record = session.List().Find(nameLow);
  const std::uint64_t started = Plat().GetTickCount();
  const auto print = [&out, started](const char* event, std::int64_t step) {
    JsonObject line;
    line.Add("event", FromUtf8(event));
    if (step) line.Add("step", step);
    line.Add("elapsed_ms", std::int64_t(Plat().GetTickCount() - started));
    out << line.str() << "\n";
    out.flush();
  };
  UninstallerLaunchWorker launch(0, record->uninstallString, record->is64Bit == 1);
  launch.Start();
  session.HandOver().PumpUntil([] { return false; }, std::chrono::milliseconds(1000));
  UninstallerWatchWorker watch(session.List());
  bool ended = false;
  watch.events.started = [&print] { print("watch_start", 0); };
  watch.events.ended = [&print, &ended] {
    print("watch_end", 0);
    ended = true;
  };
  watch.events.stepStarted = [&print](std::int32_t step) { print("step_start", step); };
  watch.events.stepEnded = [&print, stateToSave](std::int32_t step) {
    print("step_end", step);
    if (step != 2 || !stateToSave) return;
    const StateWriteResult written = WritePendingState(stateToSave->folder, stateToSave->state);
    stateToSave->saved = written.Ok();
    if (!written.Ok()) {
      *stateToSave->err << "tidewell-cli: " << OneLine(DescribeStateWriteFailure(stateToSave->folder, written.failed))
                        << "\n";
    }
  };
  watch.SetProgram(nameLow);
  watch.Start();
  const bool finished = session.HandOver().PumpUntil([&watch] { return watch.Finished(); }, std::chrono::minutes(5));
  watch.Stop();
  launch.Stop();
  return finished && ended;
}

// Console answers for the questions the deletion path asks; every other
// message is printed and answered OK.
int ConsoleMessage(std::ostream& err, const Text& text, std::uint32_t flags) {
  err << "tidewell-cli: " << OneLine(text);
  if (flags != win::kMbQuestionYesNo) {
    err << "\n";
    return win::kIdOk;
  }
  err << " [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return win::kIdNo;
  return (!answer.empty() && (answer[0] == 'y' || answer[0] == 'Y')) ? win::kIdYes : win::kIdNo;
}

// What the deleting commands take besides their subject.
struct DeleteOptions {
  bool yes = false;
  bool dryRun = false;
  bool permanent = false;
  // Nothing for good: what the Recycle Bin will not keep stays, as kept.
  bool recycleOnly = false;
  // Entries found by their names alone are deleted too (otherwise kept, as
  // the unticked rows that show them).
  bool includeNameMatches = false;
  TextList keep;
};

// Takes --yes, --dry-run, --permanent, --include-name-matches and --keep PATH
// from args[from...]; the other
// arguments go to *rest. False (with the message on `err`) for a --keep
// without its path or an option it does not know.
bool ParseDeleteOptions(const std::vector<Text>& args, std::size_t from, DeleteOptions* options, TextList* rest,
                        std::ostream& err) {
  for (std::size_t i = from; i < args.size(); ++i) {
    if (args[i] == u"--yes") {
      options->yes = true;
    } else if (args[i] == u"--dry-run") {
      options->dryRun = true;
    } else if (args[i] == u"--permanent") {
      options->permanent = true;
    } else if (args[i] == u"--recycle-only") {
      options->recycleOnly = true;
    } else if (args[i] == u"--include-name-matches") {
      options->includeNameMatches = true;
    } else if (args[i] == u"--keep") {
      if (i + 1 >= args.size() || Trim(args[i + 1]).empty()) {
        err << "tidewell-cli: --keep needs a path or a registry line\n";
        return false;
      }
      // Taken as typed (a value's name may end in a blank), in a form the
      // plan reads; anything else would be kept in name only.
      Text entry;
      if (!ReadKeptEntry(args[++i], &entry)) {
        err << "tidewell-cli: --keep cannot read \"" << ToUtf8(args[i])
            << "\": give a full path (C:\\...) or a registry line (HKLM|key or HKLM|key|value)\n";
        return false;
      }
      options->keep.push_back(entry);
    } else {
      rest->push_back(args[i]);
    }
  }
  if (options->permanent && options->recycleOnly) {
    err << "tidewell-cli: --permanent and --recycle-only exclude each other\n";
    return false;
  }
  return true;
}

std::string PlanEntriesJson(const std::vector<PlanEntry>& entries) {
  std::string json = "[";
  for (const PlanEntry& e : entries) {
    if (json.size() > 1) json += ",";
    json += JsonObject()
                .Add("entry", e.entry)
                .Add("kind", FromUtf8(PlanKindName(e.kind)))
                .Add("action", FromUtf8(PlanActionName(e.action)))
                .Add("reason", e.reason)
                .Add("exists", std::int64_t(e.exists ? 1 : 0))
                .Add("for_good_reason", e.forGoodReason)
                .str();
  }
  return json + "]";
}

// The plan as one JSON object.
std::string PlanJson(const DeletionPlan& plan) {
  static const char* const kBlocks[] = {"", "publisher", "state"};
  return JsonObject()
      .Add("dry_run", std::int64_t(1))
      .Add("withheld", FromUtf8(kBlocks[static_cast<int>(plan.block)]))
      .Add("withheld_reason", plan.blockReason)
      .Add("publisher", plan.publisher)
      .Add("uninstall_type", std::int64_t(plan.uninstallType))
      .Add("permanent", std::int64_t(plan.permanent ? 1 : 0))
      .Add("recycle_only", std::int64_t(plan.recycleOnly ? 1 : 0))
      .AddRaw("files_folders", PlanEntriesJson(plan.paths))
      .AddRaw("registry", PlanEntriesJson(plan.registry))
      .str();
}

// Plans (and, unless a dry run, asks unless `yes`, deletes) and prints the
// plan or the report. `keepState`: an uninstall that stays pending is saved
// for a later `pending --delete` or the window.
int DeleteRequested(DeletionRequest request, const DeleteOptions& options, bool keepState, std::ostream& out,
                    std::ostream& err) {
  request.keep.insert(request.keep.end(), options.keep.begin(), options.keep.end());
  request.permanent = options.permanent;
  request.recycleOnly = options.recycleOnly;
  const DeletionPlan plan = PlanDeletion(request);
  if (options.dryRun) {
    out << PlanJson(plan) << "\n";
    return plan.block == PlanBlock::kNone ? 0 : 1;
  }
  // Said first, also with --yes: what will not go to the Recycle Bin.
  const Text forGood = ForGoodWarning(plan);
  if (!forGood.empty()) err << "tidewell-cli: " << OneLine(forGood) << "\n";
  if (!options.yes && !AskYesNo(u"Are you sure you want to delete all leftovers?")) {
    out << JsonObject().Add("deleted", std::int64_t(0)).str() << "\n";
    return 1;
  }
  const DeletionReport report = ExecuteDeletionPlan(plan);
  bool stateSaved = true;
  if (keepState && report.outcome == DeletionOutcome::kIncomplete) {
    const StateWriteResult saved = KeepRemainingAsPendingState(request.programFolder, request.uninstallType, report);
    stateSaved = saved.Ok();
    if (!stateSaved) err << "tidewell-cli: " << OneLine(DescribeStateWriteFailure(request.programFolder, saved.failed)) << "\n";
  }
  out << DeletionReportJson(report)
             .AddRaw("kept_folders", JsonArray(report.keptFolders))
             .AddRaw("kept_files", JsonArray(report.keptFiles))
             .AddRaw("kept_registry", JsonArray(report.keptRegistry))
             .Add("state_removed", std::int64_t(report.stateRemoved ? 1 : 0))
             .Add("state_saved", std::int64_t(stateSaved ? 1 : 0))
             .str()
      << "\n";
  return report.outcome == DeletionOutcome::kComplete && stateSaved ? 0 : 1;
}

// The entries of the trace found by their names alone.
TextList NameOnlyEntries(const TraceRun& trace) {
  return UntickedByDefault(trace.origins.get(), trace.folders, trace.files, trace.distinctRegistry);
}

// What the trace found, to delete; entries found by their names alone are
// kept unless the options include them, as their unticked rows keep them in
// the window.
DeletionRequest RequestFromTrace(const TraceRun& trace, const Text& programName, int uninstallType,
                                 const DeleteOptions& options) {
  DeletionRequest request;
  if (!options.includeNameMatches) request.keep = NameOnlyEntries(trace);
  request.folders = trace.folders;
  request.files = trace.files;
  request.registry = trace.distinctRegistry;
  request.programFolder = GetOwnFolder();
  request.uninstallType = uninstallType;
  request.programName = programName;
  return request;
}

int UninstallCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  DeleteOptions options;
  TextList rest;
  if (!ParseDeleteOptions(args, 1, &options, &rest, err)) return kUsageError;
  bool deleteLeftovers = false;
  Text name;
  bool bad = false;
  for (const Text& arg : rest) {
    if (arg == u"--delete-leftovers") deleteLeftovers = true;
    else if (!StartsWith(arg, u"--") && name.empty()) name = arg;
    else bad = true;
  }
  if (bad || name.empty() ||
      (!deleteLeftovers &&
       (options.yes || options.dryRun || options.permanent || options.recycleOnly || options.includeNameMatches ||
        !options.keep.empty()))) {
    err << "tidewell-cli: usage: uninstall NAME [--delete-leftovers [--yes] [--keep PATH]... [--dry-run] "
           "[--permanent] [--include-name-matches]]\n";
    return kUsageError;
  }
  CliInventory session;
  Text nameLow;
  if (const int code = FindProgram(session, name, &nameLow, err)) return code;
  TraceRun trace;
  if (!RunTrace(session.List(), nameLow, Text(), session.HandOver(), &trace)) {
    err << "tidewell-cli: the trace ended by an error or did not finish\n";
    return 1;
  }
  const InstalledProgram* record = session.List().Find(nameLow);
  const auto request = [&] {
    DeletionRequest r = RequestFromTrace(trace, record->name, record->is64Bit, options);
    r.publisher = record->publisher;
    r.otherProgramFolders = OtherProgramFolders(session.List(), nameLow);
    return r;
  };
  if (options.dryRun) {
    // Nothing is run and nothing is written: the plan is what the deletion
    // would do to the leftovers as they are now.
    SayWhyFolderIsNotTraced(record, err);
    PrintTrace(out, false, record, Text(), trace);
    return DeleteRequested(request(), options, false, out, err);
  }
  SetMessageHandler([&err](const Text&, const Text& text, std::uint32_t flags) { return ConsoleMessage(err, text, flags); });
  StateToSave save;
  save.folder = GetOwnFolder();
  save.state.name = record->name;
  save.state.publisher = record->publisher;
  save.state.files = trace.files;
  save.state.folders = trace.folders;
  save.state.registry = trace.distinctRegistry;
  save.state.uninstallType = record->is64Bit;
  save.state.kept = options.keep;
  if (!options.includeNameMatches) {
    for (const Text& entry : NameOnlyEntries(trace)) save.state.kept.push_back(entry);
  }
  save.err = &err;
  const bool watched = RunUninstaller(session, nameLow, out, deleteLeftovers ? &save : nullptr);
  int code = 0;
  if (!watched) {
    err << "tidewell-cli: the watch did not finish\n";
    code = 1;
  } else {
    // What the program's own uninstaller removed is no leftover: the lists,
    // the deletion and the pending state keep what still exists.
    const LeftoverLists left =
        StillExisting({trace.folders, trace.files, trace.distinctRegistry}, record->is64Bit);
    KeepOnly(left, &trace);
    if (deleteLeftovers && save.saved) {
      const StateWriteResult saved = SaveStillExistingAsPendingState(save.folder, left);
      if (!saved.Ok()) err << "tidewell-cli: " << OneLine(DescribeStateWriteFailure(save.folder, saved.failed)) << "\n";
    }
    SayWhyFolderIsNotTraced(record, err);
    PrintTrace(out, false, record, Text(), trace);
    if (left.Empty()) err << "tidewell-cli: " << ToUtf8(NothingLeftMessage()) << "\n";
    if (deleteLeftovers) code = DeleteRequested(request(), options, true, out, err);
  }
  SetMessageHandler(nullptr);
  return code;
}

int ForceRemoveCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  DeleteOptions options;
  TextList rest;
  if (!ParseDeleteOptions(args, 1, &options, &rest, err)) return kUsageError;
  if (rest.size() != 1 || StartsWith(rest[0], u"--")) {
    err << "tidewell-cli: usage: force-remove DIR [--yes] [--keep PATH]... [--dry-run] [--permanent] "
           "[--include-name-matches]\n";
    return kUsageError;
  }
  const Text folder = rest[0];
  if (!CheckTraceFolder(folder, err)) return kUsageError;
  CliInventory session;
  // The listed programs, whose folders the deletion keeps.
  if (!session.Scan()) {
    err << "tidewell-cli: the inventory scan ended by an error or did not finish\n";
    return 1;
  }
  TraceRun trace;
  if (!RunTrace(session.List(), Text(), folder, session.HandOver(), &trace)) {
    err << "tidewell-cli: the trace ended by an error or did not finish\n";
    return 1;
  }
  PrintTrace(out, true, nullptr, folder, trace);
  SetMessageHandler([&err](const Text&, const Text& text, std::uint32_t flags) { return ConsoleMessage(err, text, flags); });
  // The trace read the 64-bit view on 64-bit Windows; the deletion follows it.
  DeletionRequest request = RequestFromTrace(trace, Trim(folder), ForceRemove64BitFlag(), options);
  request.publisher = Text();
  request.otherProgramFolders = OtherProgramFolders(session.List(), Text(), folder);
  const int code = DeleteRequested(request, options, false, out, err);
  SetMessageHandler(nullptr);
  return code;
}

std::string OptionalListJson(const std::optional<TextList>& list) { return list ? JsonArray(*list) : "null"; }

int PendingCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  DeleteOptions options;
  TextList rest;
  if (!ParseDeleteOptions(args, 1, &options, &rest, err)) return kUsageError;
  const bool remove = rest.size() == 1 && rest[0] == u"--delete";
  if (!(rest.empty() || remove) || options.includeNameMatches ||
      (!remove && (options.yes || options.dryRun || options.permanent || options.recycleOnly || !options.keep.empty()))) {
    err << "tidewell-cli: usage: pending | pending --delete [--yes] [--keep PATH]... [--dry-run] [--permanent]\n";
    return kUsageError;
  }
  const Text folder = GetOwnFolder();
  if (!IsUninstallPending(folder)) {
    err << "tidewell-cli: no uninstall is pending in " << ToUtf8(folder) << "\n";
    return 1;
  }
  const LoadedState state = ReadPendingState(folder);
  if (!remove) {
    JsonObject shown;
    shown.Add("name", state.name)
        .Add("publisher", state.publisher)
        .AddRaw("uninstall_type", state.typeKnown ? std::to_string(state.uninstallType) : "null")
        .AddRaw("folders", OptionalListJson(state.folders))
        .AddRaw("files", OptionalListJson(state.files))
        .AddRaw("registry", OptionalListJson(state.registry))
        .AddRaw("kept", OptionalListJson(state.kept))
        .AddRaw("unreadable", JsonArray(TextList(state.unreadable.begin(), state.unreadable.end())));
    out << shown.str() << "\n";
    if (!state.Ok()) err << "tidewell-cli: " << OneLine(DescribeStateReadFailure(folder, state.unreadable)) << "\n";
    return state.Ok() ? 0 : 1;
  }
  // A list file that is there but cannot be read would be taken as empty:
  // its entries would be forgotten, so nothing is done.
  for (const Text& name : state.unreadable) {
    if (name == kStateFilesFile || name == kStateFoldersFile || name == kStateRegistryFile || name == kStateKeptFile) {
      err << "tidewell-cli: " << OneLine(DescribeStateReadFailure(folder, state.unreadable))
          << "; nothing was deleted\n";
      return 1;
    }
  }
  CliInventory session;
  if (!session.Scan()) {
    err << "tidewell-cli: the inventory scan ended by an error or did not finish\n";
    return 1;
  }
  DeletionRequest request;
  request.folders = state.folders.value_or(TextList());
  request.files = state.files.value_or(TextList());
  request.registry = state.registry.value_or(TextList());
  request.keep = state.kept.value_or(TextList());
  request.programFolder = folder;
  request.uninstallType = state.typeKnown ? state.uninstallType : -1;
  request.programName = state.name;
  // The pending program is no longer listed, or is listed still: either way
  // its own folder is in the lists, and every other program's is kept.
  request.otherProgramFolders = OtherProgramFolders(session.List(), LowerAscii(Trim(state.name)));
  SetMessageHandler([&err](const Text&, const Text& text, std::uint32_t flags) { return ConsoleMessage(err, text, flags); });
  const int code = DeleteRequested(request, options, true, out, err);
  SetMessageHandler(nullptr);
  return code;
}

std::string RecordEntriesJson(const std::vector<RecordEntry>& entries) {
  std::string json = "[";
  for (const RecordEntry& e : entries) {
    if (json.size() > 1) json += ",";
    json += JsonObject().Add("entry", e.entry).Add("kind", e.kind).Add("result", e.result).str();
  }
  return json + "]";
}

std::int64_t CountResult(const CleanupRecord& record, const char16_t* result) {
  std::int64_t n = 0;
  for (const std::vector<RecordEntry>* list : {&record.paths, &record.registry})
    for (const RecordEntry& e : *list) n += e.result == result ? 1 : 0;
  return n;
}

int BackupsCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  if (args.size() > 1) {
    err << "tidewell-cli: backups takes no arguments\n";
    return kUsageError;
  }
  for (const ListedRecord& listed : ListCleanupRecords(BackupFolder())) {
    const CleanupRecord& r = listed.record;
    out << JsonObject()
               .Add("record", listed.path)
               .Add("readable", std::int64_t(listed.readable ? 1 : 0))
               .Add("program", r.program)
               .Add("time", r.time)
               .Add("permanent", std::int64_t(r.permanent ? 1 : 0))
               .Add("registry_backup", r.registryBackup)
               .Add("registry_exact", r.registryExact)
               .Add("recycled", CountResult(r, u"recycled"))
               .Add("deleted", CountResult(r, u"deleted"))
               .Add("kept", CountResult(r, u"kept"))
               .Add("refused", CountResult(r, u"refused"))
               .Add("not_removed", CountResult(r, u"not removed"))
               .AddRaw("files_folders", RecordEntriesJson(r.paths))
               .AddRaw("registry", RecordEntriesJson(r.registry))
               .str()
        << "\n";
  }
  return 0;
}

std::string ServicesTasksRestoredJson(const std::vector<ServiceTaskRestore>& results) {
  std::string json = "[";
  for (const ServiceTaskRestore& r : results) {
    if (json.size() > 1) json += ",";
    json += JsonObject()
                .Add("entry", r.entry)
                .Add("restored", std::int64_t(r.restored ? 1 : 0))
                .Add("started", std::int64_t(r.started ? 1 : 0))
                .Add("detail", r.detail)
                .str();
  }
  return json + "]";
}

int RestoreCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  bool overwrite = false;
  Text given;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == u"--overwrite" && !overwrite) {
      overwrite = true;
    } else if (!StartsWith(args[i], u"--") && given.empty() && !Trim(args[i]).empty()) {
      given = args[i];
    } else {
      given.clear();
      break;
    }
  }
  if (given.empty()) {
    err << "tidewell-cli: usage: restore RECORD [--overwrite]\n";
    return kUsageError;
  }
  const Text path = RecordPathFor(given);
  CleanupRecord record;
  Text refusal;
  if (!ReadRecordToRestore(path, &record, &refusal)) {
    if (!refusal.empty()) {
      err << "tidewell-cli: " << ToUtf8(refusal) << "\n";
      return 1;
    }
    err << "tidewell-cli: " << ToUtf8(path) << " is not a cleanup record that can be read\n";
    return kUsageError;
  }
  const RestoreResult result = RestoreCleanup(path, record, overwrite);
  std::string registry = "[";
  for (const RestoredRegistryEntry& e : result.registry) {
    if (registry.size() > 1) registry += ",";
    registry += JsonObject()
                    .Add("line", e.line)
                    .Add("root", e.root)
                    .Add("key", e.key)
                    .Add("view", std::int64_t(e.view32 ? 32 : 64))
                    .AddRaw("value", e.isValue ? JsonString(e.valueName) : "null")
                    .Add("result", FromUtf8(EntryRestoreName(e.state)))
                    .Add("reason", e.reason)
                    .str();
  }
  registry += "]";
  out << JsonObject()
             .Add("record", path)
             .Add("registry_backup", record.registryBackup)
             .Add("registry_exact", record.registryExact)
             .Add("refused", result.refusal)
             .Add("backup_found", std::int64_t(result.backupFound ? 1 : 0))
             .Add("overwrite", std::int64_t(overwrite ? 1 : 0))
             .AddRaw("registry", registry)
             .Add("conflicts", std::int64_t(result.Conflicts()))
             .Add("registry_restored", std::int64_t(result.RegistryRestored() ? 1 : 0))
             .AddRaw("restore_from_recycle_bin", JsonArray(result.fromRecycleBin))
             .AddRaw("deleted_for_good", JsonArray(result.deletedForGood))
             .AddRaw("services_tasks", ServicesTasksRestoredJson(result.servicesTasks))
             .str()
      << "\n";
  if (!result.refusal.empty()) {
    err << "tidewell-cli: " << ToUtf8(result.refusal) << "\n";
    return 1;
  }
  bool servicesTasksBack = true;
  for (const ServiceTaskRestore& r : result.servicesTasks) {
    if (r.restored && r.detail.empty()) continue;
    servicesTasksBack = servicesTasksBack && r.restored;
    err << "tidewell-cli: " << ToUtf8(r.entry) << ": " << (r.restored ? "restored, but " : "not restored: ")
        << OneLine(r.detail) << "\n";
  }
  if (result.regFileOnly) {
    err << "tidewell-cli: this record keeps its registry backup only as a .reg file, which is not imported: "
           "read it, and import it with regedit only if every key and value in it is one you want back: "
        << ToUtf8(record.registryBackup) << "\n";
    return 1;
  }
  const bool backupMissing = !record.registryExact.empty() && !result.backupFound;
  if (backupMissing) {
    err << "tidewell-cli: the registry backup " << ToUtf8(record.registryExact) << " cannot be read\n";
  } else if (result.Conflicts() > 0) {
    err << "tidewell-cli: " << result.Conflicts()
        << " value(s) hold other data now and were left as they are (restore --overwrite replaces them)\n";
  } else if (!result.RegistryRestored()) {
    err << "tidewell-cli: not every registry entry of the backup was restored\n";
  }
  return !backupMissing && result.RegistryRestored() && servicesTasksBack ? 0 : 1;
}

int ListCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  if (args.size() > 1) {
    err << "tidewell-cli: list takes no arguments (got \"" << ToUtf8(args[1]) << "\")\n";
    return kUsageError;
  }
  CliInventory session;
  const bool ended = session.Scan(&out);
  out.flush();
  if (!ended) {
    err << "tidewell-cli: the inventory scan ended by an error or did not finish\n";
    return 1;
  }
  return 0;
}

}  // namespace

int RunCli(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << "tidewell-cli: no command given; see tidewell-cli --help\n";
    return kUsageError;
  }
  const Text& command = args[0];
  if (command == u"--help" || command == u"-h" || command == u"help") {
    if (args.size() > 1) {
      err << "tidewell-cli: --help takes no arguments\n";
      return kUsageError;
    }
    out << kHelp;
    return 0;
  }
  if (command == u"list") return ListCommand(args, out, err);
  if (command == u"analyze") return AnalyzeCommand(args, out, err);
  if (command == u"--version") return VersionCommand(args, out, err);
  if (command == u"export") return ExportCommand(args, out, err);
  if (command == u"uninstall" && IsQuietUninstall(args)) return QuietUninstallCommand(args, out, err);
  if (command == u"uninstall") return UninstallCommand(args, out, err);
  if (command == u"force-remove") return ForceRemoveCommand(args, out, err);
  if (command == u"pending") return PendingCommand(args, out, err);
  if (command == u"backups") return BackupsCommand(args, out, err);
  if (command == u"restore") return RestoreCommand(args, out, err);
  if (command == u"install") return InstallCommand(args, out, err);
  err << "tidewell-cli: unknown command \"" << ToUtf8(command) << "\"; see tidewell-cli --help\n";
  return kUsageError;
}

}  // namespace tw::cli
