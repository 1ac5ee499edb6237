#include "app/cli/quiet_uninstall.h"

#include "access/folders.h"

#include <cstdio>

#include "access/registry.h"
#include "access/registry_line.h"
#include "app/cli/cli_inventory.h"
#include "app/cli/json.h"
#include "cleanup/leftover_deletion.h"
#include "cleanup/state_files.h"
#include "uninstall/process_tree.h"
#include "uninstall/silent_form.h"

namespace tw::cli {

namespace {

constexpr int kUsageError = 2;
constexpr int kRestartNeeded = 3010;
constexpr std::uint64_t kDefaultTimeoutSeconds = 1800;
constexpr std::uint32_t kPollMs = 200;

const char kUsage[] =
    "tidewell-cli: usage: uninstall NAME... [--publisher P] --quiet [--timeout SECONDS] "
    "[--delete-leftovers --yes [--permanent] [--include-name-matches]]\n";

struct Options {
  TextList names;
  Text publisher;
  bool hasPublisher = false;
  bool quiet = false;
  bool deleteLeftovers = false;
  bool yes = false;
  bool permanent = false;
  bool includeNameMatches = false;
  std::uint64_t timeoutSeconds = kDefaultTimeoutSeconds;
};

}  // namespace

bool ParseSeconds(const Text& text, std::uint64_t* seconds) {
  if (text.empty() || text.size() > 7) return false;
  std::uint64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + (c - u'0');
  }
  if (value == 0) return false;
  *seconds = value;
  return true;
}

namespace {

// False (with the message on `err`) for a command line that does not parse.
bool ParseOptions(const std::vector<Text>& args, Options* options, std::ostream& err) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const Text& arg = args[i];
    if (arg == u"--quiet") {
      options->quiet = true;
    } else if (arg == u"--delete-leftovers") {
      options->deleteLeftovers = true;
    } else if (arg == u"--yes") {
      options->yes = true;
    } else if (arg == u"--permanent") {
      options->permanent = true;
    } else if (arg == u"--include-name-matches") {
      options->includeNameMatches = true;
    } else if (arg == u"--publisher" && i + 1 < args.size() && !Trim(args[i + 1]).empty() && !options->hasPublisher) {
      options->publisher = Trim(args[++i]);
      options->hasPublisher = true;
    } else if (arg == u"--timeout" && i + 1 < args.size()) {
      if (!ParseSeconds(args[++i], &options->timeoutSeconds)) {
        err << "tidewell-cli: --timeout takes a whole number of seconds from 1 to 9999999 (got \"" << ToUtf8(args[i])
            << "\")\n";
        return false;
      }
    } else if (!StartsWith(arg, u"--") && !Trim(arg).empty()) {
      options->names.push_back(arg);
    } else {
      err << "tidewell-cli: uninstall: unexpected \"" << ToUtf8(arg) << "\"\n" << kUsage;
      return false;
    }
  }
  if (!options->quiet) {
    err << "tidewell-cli: several programs, --publisher and --timeout are for quiet uninstalls: add --quiet\n";
    return false;
  }
  if (options->names.empty() && !options->hasPublisher) {
    err << "tidewell-cli: uninstall --quiet: name a program or give --publisher\n" << kUsage;
    return false;
  }
  if (options->deleteLeftovers != options->yes) {
    err << "tidewell-cli: a quiet uninstall asks nothing: --delete-leftovers goes with --yes, and --yes with "
           "--delete-leftovers\n";
    return false;
  }
  if ((options->permanent || options->includeNameMatches) && !options->deleteLeftovers) {
    err << "tidewell-cli: --permanent and --include-name-matches go with --delete-leftovers\n";
    return false;
  }
  return true;
}

const char* SourceName(QuietSource source) {
  switch (source) {
    case QuietSource::kQuietUninstallString: return "quiet_uninstall_string";
    case QuietSource::kWindowsInstaller: return "windows_installer";
    case QuietSource::kNsis: return "nsis";
    case QuietSource::kInnoSetup: return "inno_setup";
    case QuietSource::kNone: break;
  }
  return "";
}

// One program's result line.
struct Result {
  Text name;
  Text command;
  QuietSource source = QuietSource::kNone;
  bool hasExitCode = false;
  std::uint32_t exitCode = 0;
  std::string outcome;
  double seconds = 0;
  int processes = 0;
  std::string entryRemoved = "null";  // true, false, or null without an entry
  Text message;
  std::string leftovers;              // JSON, empty when not asked for
};

std::string Seconds(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f", seconds);
  return buffer;
}

void Print(std::ostream& out, const Result& result, bool withLeftovers) {
  JsonObject line;
  line.Add("name", result.name)
      .Add("command", result.command)
      .Add("source", FromUtf8(SourceName(result.source)))
      .AddRaw("exit_code", result.hasExitCode ? std::to_string(result.exitCode) : "null")
      .Add("outcome", FromUtf8(result.outcome))
      .AddRaw("seconds", Seconds(result.seconds))
      .Add("processes", std::int64_t(result.processes))
      .AddRaw("entry_removed", result.entryRemoved)
      .Add("message", result.message);
  if (withLeftovers) line.AddRaw("leftovers", result.leftovers.empty() ? "null" : result.leftovers);
  out << line.str() << "\n";
  out.flush();
}

const char* OutcomeName(UninstallOutcome outcome) {
  switch (outcome) {
    case UninstallOutcome::kDone: return "done";
    case UninstallOutcome::kRestartNeeded: return "restart_needed";
    case UninstallOutcome::kNotInstalled: return "not_installed";
    case UninstallOutcome::kFailed: break;
  }
  return "failed";
}


// The registry lines of a trace, each once (as Windows folds names), as the
// leftovers page lists them.
TextList DistinctLines(const TextList& lines) {
  TextList distinct;
  for (const Text& line : lines) {
    if (line.empty()) continue;
    bool seen = false;
    for (const Text& known : distinct) seen = seen || SameNameAsWindows(known, line);
    if (!seen) distinct.push_back(line);
  }
  return distinct;
}

// Deletes what the trace found, after the program's own uninstaller did its
// part, with the pending state written first as an interactive uninstall
// writes it (an interrupted run can then be finished in Tidewell).
// Entries found by the program's names alone are kept unless asked for, as
// the unticked rows that show them in the window.
std::string DeleteTracedLeftovers(const CliInventory& inventory, const InstalledProgram& record,
                                  const Options& options, std::ostream& err) {
  const EntryOrigins* origins = inventory.LastTraceOrigins().get();
  const bool permanent = options.permanent;
  const Text folder = GetOwnFolder();
  PendingState state;
  state.name = record.name;
  state.publisher = record.publisher;
  state.files = record.tracedFiles;
  state.folders = record.tracedFolders;
  state.registry = DistinctLines(record.tracedRegistry);
  state.uninstallType = record.is64Bit;
  if (!options.includeNameMatches) state.kept = UntickedByDefault(origins, state.folders, state.files, state.registry);
  const StateWriteResult written = WritePendingState(folder, state);
  if (!written.Ok()) err << "tidewell-cli: " << ToUtf8(DescribeStateWriteFailure(folder, written.failed)) << "\n";
  DeletionRequest request;
  request.folders = state.folders;
  request.files = state.files;
  request.registry = state.registry;
  request.programFolder = folder;
  request.uninstallType = record.is64Bit;
  request.programName = record.name;
  // As on every other road: the publisher the inventory knows (a Microsoft
  // program's leftovers are withheld whatever the state files say), and
  // every other listed program's folder kept, one inside this one's included.
  request.publisher = record.publisher;
  request.otherProgramFolders = OtherProgramFolders(inventory.List(), record.nameLow);
  request.permanent = permanent;
  request.keep = state.kept;
  const DeletionPlan plan = PlanDeletion(request);
  const Text forGood = ForGoodWarning(plan);
  if (!forGood.empty()) err << "tidewell-cli: " << ToUtf8(forGood) << "\n";
  const DeletionReport report = ExecuteDeletionPlan(plan);
  KeepRemainingAsPendingState(folder, record.is64Bit, report);
  return DeletionReportJson(report).str();
}

bool EntryExists(const InstalledProgram& record) {
  const std::size_t bar = record.entryKeyLine.find(u'|');
  return RegKeyExists(RegRootFromText(record.entryKeyLine.substr(0, bar)),
                      record.entryKeyLine.substr(bar + 1), RegistryViewOf(record.is64Bit));
}

Result Uninstall(CliInventory& inventory, const InstalledProgram& record, const Options& options,
                 std::ostream& err) {
  Result result;
  result.name = record.name;
  const QuietCommand command = ChooseQuietCommand(ReadEntryFacts(record));
  result.source = command.source;
  if (command.source == QuietSource::kNone) {
    result.outcome = "refused";
    result.message = command.refusal;
    return result;
  }
  result.command = command.commandLine;
  // The trace needs the program's files and entries as they are before its
  // uninstaller removes them.
  if (options.deleteLeftovers && !inventory.Trace(record.nameLow)) {
    result.outcome = "failed";
    result.message = u"the trace did not finish; the uninstaller was not started";
    return result;
  }
  const FollowedTree tree =
      StartAndFollow(command.file, command.parameters, options.timeoutSeconds * 1000, kPollMs, record.is64Bit == 1);
  result.seconds = double(tree.elapsedMs) / 1000.0;
  result.processes = tree.processes;
  if (!tree.started) {
    result.outcome = "failed";
    result.message = u"Windows could not start the command (error " + FromUtf8(std::to_string(tree.launchError)) + u")";
    return result;
  }
  if (!tree.hasProcess) {
    result.outcome = "failed";
    result.message = u"the command started no process to follow";
    return result;
  }
  if (tree.timedOut) {
    result.outcome = "timed_out";
    result.message = u"the uninstaller still ran after " + FromUtf8(std::to_string(options.timeoutSeconds)) +
                     u" seconds; it was left running";
    Text running;
    for (const Text& name : tree.stillRunning) running += (running.empty() ? u" (" : u", ") + name;
    if (!running.empty()) result.message += running + u")";
    return result;
  }
  // An NSIS uninstaller hands its work to a copy of itself and ends at once
  // with 0; the copy's exit code is the uninstall's.
  const bool useLast = command.source == QuietSource::kNsis && tree.handedOver && tree.lastExitCodeKnown;
  result.hasExitCode = useLast || tree.exitCodeKnown;
  result.exitCode = useLast ? tree.lastExitCode : tree.exitCode;
  if (!result.hasExitCode) {
    result.outcome = "failed";
    result.message = u"the uninstaller's exit code could not be read";
    return result;
  }
  const UninstallOutcome outcome = OutcomeOfExitCode(RunsWindowsInstaller(command), result.exitCode);
  result.outcome = OutcomeName(outcome);
  if (!record.entryKeyLine.empty()) result.entryRemoved = EntryExists(record) ? "false" : "true";
  const bool succeeded = outcome == UninstallOutcome::kDone || outcome == UninstallOutcome::kRestartNeeded;
  if (options.deleteLeftovers) {
    if (succeeded) {
      result.leftovers = DeleteTracedLeftovers(inventory, record, options, err);
    } else {
      result.message = u"the leftovers were kept: the uninstaller did not succeed";
    }
  }
  return result;
}

}  // namespace

bool IsQuietUninstall(const std::vector<Text>& args) {
  int names = 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == u"--quiet" || args[i] == u"--publisher" || args[i] == u"--timeout") return true;
    // The interactive road's --keep takes a path, which names no program.
    if (args[i] == u"--keep") {
      ++i;
      continue;
    }
    if (!StartsWith(args[i], u"--")) ++names;
  }
  return names > 1;
}

int QuietUninstallCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  Options options;
  if (!ParseOptions(args, &options, err)) return kUsageError;
  CliInventory inventory;
  if (!inventory.Scan()) {
    err << "tidewell-cli: the inventory scan did not finish\n";
    return 1;
  }
  // The named programs in the given order, then the publisher's in list
  // order; each program once.
  std::vector<const InstalledProgram*> chosen;
  std::vector<Text> missing;
  TextList keys;
  auto choose = [&](const InstalledProgram* record) {
    for (const Text& key : keys) {
      if (key == record->nameLow) return;
    }
    keys.push_back(record->nameLow);
    chosen.push_back(record);
  };
  std::vector<std::pair<std::size_t, Text>> order;  // position among the results of a missing name
  for (const Text& name : options.names) {
    const InstalledProgram* record = inventory.Find(LowerAscii(Trim(name)));
    if (record) {
      choose(record);
    } else {
      order.emplace_back(chosen.size(), Trim(name));
    }
  }
  if (options.hasPublisher) {
    std::size_t matched = 0;
    for (const InstalledProgram* record : inventory.Records()) {
      if (SameTextAscii(Trim(record->publisher), options.publisher)) {
        choose(record);
        ++matched;
      }
    }
    if (matched == 0) err << "tidewell-cli: no installed program has the publisher \"" << ToUtf8(options.publisher) << "\"\n";
  }

  bool failed = false, restart = false;
  std::size_t nextMissing = 0;
  auto reportMissing = [&](std::size_t upTo) {
    for (; nextMissing < order.size() && order[nextMissing].first <= upTo; ++nextMissing) {
      Result result;
      result.name = order[nextMissing].second;
      result.outcome = "not_installed";
      result.message = u"no installed program has this name";
      Print(out, result, options.deleteLeftovers);
    }
  };
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    reportMissing(i);
    const Result result = Uninstall(inventory, *chosen[i], options, err);
    Print(out, result, options.deleteLeftovers);
    if (result.outcome == "restart_needed") restart = true;
    if (result.outcome != "done" && result.outcome != "restart_needed" && result.outcome != "not_installed") failed = true;
  }
  reportMissing(chosen.size());
  if (failed) return 1;
  return restart ? kRestartNeeded : 0;
}

}  // namespace tw::cli
