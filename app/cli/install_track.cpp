#include "app/cli/install_track.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "access/environment.h"
#include "access/folders.h"
#include "access/paths.h"
#include "app/cli/cli_inventory.h"
#include "app/cli/json.h"
#include "app/cli/quiet_uninstall.h"
#include "cleanup/backup_folder.h"
#include "cleanup/registry_backup.h"
#include "platform/platform.h"
#include "tracking/attribution.h"
#include "tracking/install_record.h"
#include "tracking/snapshot.h"
#include "uninstall/process_tree.h"
#include "uninstall/silent_form.h"

namespace tw::cli {

namespace {

constexpr int kUsageError = 2;
constexpr std::uint64_t kDefaultTimeoutSeconds = 1800;
constexpr std::uint32_t kPollMs = 200;
// Installers carry their engine's marks well inside their first megabytes.
constexpr std::uint32_t kInstallerHeadBytes = 4 * 1024 * 1024;
const char kUsage[] = "tidewell-cli: usage: install [--quiet] [--timeout SECONDS] SETUP [ARGS...]\n";
// Present while an install is tracked: a second one is refused.
const char16_t kLockFile[] = u"install.lock";

enum class InstallerKind { kUnknown, kWindowsInstaller, kNsis, kInnoSetup };

const char16_t* KindName(InstallerKind kind) {
  switch (kind) {
    case InstallerKind::kWindowsInstaller: return u"windows_installer";
    case InstallerKind::kNsis: return u"nsis";
    case InstallerKind::kInnoSetup: return u"inno_setup";
    case InstallerKind::kUnknown: break;
  }
  return u"unknown";
}

InstallerKind KindOf(const Text& setup) {
  if (EndsWith(UpperAscii(setup), u".MSI")) return InstallerKind::kWindowsInstaller;
  std::string head;
  if (!Plat().ReadFileHead(setup, kInstallerHeadBytes, &head)) return InstallerKind::kUnknown;
  if (ReadNsisHeader(head) == NsisHeader::kInstaller) return InstallerKind::kNsis;
  // The Inno Setup loader's window class, and the setup data's signature.
  if (head.find("InnoSetupLdrWindow") != std::string::npos ||
      head.find("Inno Setup Setup Data") != std::string::npos)
    return InstallerKind::kInnoSetup;
  return InstallerKind::kUnknown;
}

// One argument as CommandLineToArgvW and the C runtime read it back.
Text Quoted(const Text& arg) {
  if (!arg.empty() && arg.find_first_of(u" \t\"") == Text::npos) return arg;
  Text out = u"\"";
  std::size_t backslashes = 0;
  for (char16_t c : arg) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, u'\\');
  return out + u"\"";
}

struct Launch {
  Text file;
  Text parameters;
};

// The installer's command: an MSI through msiexec; with `quiet`, each
// engine's own silent switches before the caller's arguments.
Launch LaunchOf(const Text& setup, InstallerKind kind, bool quiet, const TextList& args) {
  Launch launch{setup, Text()};
  const auto add = [&launch](const Text& part) {
    if (!launch.parameters.empty()) launch.parameters += u" ";
    launch.parameters += part;
  };
  if (kind == InstallerKind::kWindowsInstaller) {
    launch.file = u"msiexec.exe";
    add(u"/i");
    add(Quoted(setup));
    if (quiet) add(u"/qn");
  } else if (quiet && kind == InstallerKind::kNsis) {
    add(u"/S");
  } else if (quiet && kind == InstallerKind::kInnoSetup) {
    add(u"/VERYSILENT /SUPPRESSMSGBOXES /NORESTART");
  }
  for (const Text& arg : args) add(Quoted(arg));
  return launch;
}

// The lock of the Tracked folder, taken for one tracked install.
class InstallLock {
 public:
  explicit InstallLock(const Text& folder) : path_(folder + kLockFile) {
    held_ = !PathExists(path_) && WriteBackupBytes(path_, "tracking an install\r\n");
  }
  ~InstallLock() {
    if (held_) Plat().DeleteFile(path_);
  }
  InstallLock(const InstallLock&) = delete;
  InstallLock& operator=(const InstallLock&) = delete;
  bool Held() const { return held_; }
  const Text& Path() const { return path_; }

 private:
  Text path_;
  bool held_ = false;
};

// The programs listed before the install; false when the list could not be
// read (then no change can be told to be another's).
bool ListedPrograms(OtherPrograms* others, std::int64_t* count) {
  CliInventory inventory;
  if (!inventory.Scan()) return false;
  for (const InstalledProgram* program : inventory.Records()) {
    ++*count;
    if (!Trim(program->installLocation).empty()) others->folders.push_back(program->installLocation);
    if (!program->entryKeyLine.empty()) others->entryKeys.push_back(program->entryKeyLine);
  }
  return true;
}

std::int64_t UncertainCount(const InstallRecord& record) {
  std::int64_t count = 0;
  for (const auto* files : {&record.createdFiles, &record.changedFiles, &record.deletedFiles})
    for (const RecordedFile& file : *files) count += file.uncertain ? 1 : 0;
  for (const auto* entries : {&record.createdKeys, &record.createdValues, &record.changedValues,
                              &record.deletedValues, &record.deletedKeys})
    for (const RecordedEntry& entry : *entries) count += entry.uncertain ? 1 : 0;
  return count;
}

Text FileNameOf(const Text& path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  return slash == Text::npos ? path : path.substr(slash + 1);
}

// Snapshots, the installer, snapshots, the record and its line.
int TrackInstall(const Text& setup, const TextList& installerArgs, bool quiet, std::uint64_t timeoutSeconds,
                 const Text& folder, std::ostream& out) {
  const InstallerKind kind = KindOf(setup);
  const Launch launch = LaunchOf(setup, kind, quiet, installerArgs);
  // A change in what a program listed before owns is perhaps that program's.
  OtherPrograms others;
  std::int64_t listed = 0;
  const bool listRead = ListedPrograms(&others, &listed);
  using Clock = std::chrono::steady_clock;
  const SnapshotPlaces places = InstallPlaces();
  const Clock::time_point firstStart = Clock::now();
  const Snapshot before = TakeSnapshot(places);
  const Clock::duration first = Clock::now() - firstStart;
  const FollowedTree tree = StartAndFollow(launch.file, launch.parameters, timeoutSeconds * 1000, kPollMs);
  const Clock::time_point secondStart = Clock::now();
  const Snapshot after = TakeSnapshot(places);
  const Clock::duration second = Clock::now() - secondStart;
  InstallRecord record = CompareSnapshots(before, after);
  MarkUncertain(others, &record);

  Text name = BackupFileName(BackupTimeStamp(), FileNameOf(setup));
  name = name.substr(0, name.size() - 4) + u".json";  // ".reg" of the backups' names
  const Text path = folder + name;
  const bool written = tree.started && WriteBackupBytes(path, InstallRecordJson(record));

  Text outcome = u"recorded";
  if (!tree.started) outcome = u"failed";
  else if (tree.timedOut) outcome = u"timed_out";
  else if (!written) outcome = u"not_recorded";
  JsonObject line;
  line.Add("outcome", outcome)
      .Add("installer", setup)
      .Add("kind", Text(KindName(kind)))
      .Add("command", launch.file + u" " + launch.parameters);
  if (!tree.started) line.Add("launch_error", std::int64_t(tree.launchError));
  line.Add("processes", std::int64_t(tree.processes));
  // What tracking adds to the install: the two snapshots, in seconds.
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", std::chrono::duration<double>(first + second).count());
  line.AddRaw("snapshot_seconds", seconds);
  if (tree.exitCodeKnown) line.Add("exit_code", std::int64_t(tree.exitCode));
  line.Add("record", written ? path : Text())
      .Add("created_files", std::int64_t(record.createdFiles.size()))
      .Add("changed_files", std::int64_t(record.changedFiles.size()))
      .Add("deleted_files", std::int64_t(record.deletedFiles.size()))
      .Add("created_keys", std::int64_t(record.createdKeys.size()))
      .Add("created_values", std::int64_t(record.createdValues.size()))
      .Add("changed_values", std::int64_t(record.changedValues.size()))
      .Add("deleted_values", std::int64_t(record.deletedValues.size()))
      .Add("deleted_keys", std::int64_t(record.deletedKeys.size()))
      .Add("filtered", std::int64_t(record.filtered.size()))
      .Add("uncertain", UncertainCount(record))
      .Add("listed_programs", listRead ? listed : std::int64_t(-1))
      .AddRaw("uninstall_entries", JsonArray(record.uninstallEntries));
  out << line.str() << "\n";
  return outcome == u"recorded" ? 0 : 1;
}

}  // namespace

int InstallCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  bool quiet = false;
  std::uint64_t timeoutSeconds = kDefaultTimeoutSeconds;
  std::size_t at = 1;
  for (; at < args.size() && StartsWith(args[at], u"--"); ++at) {
    if (args[at] == u"--quiet") {
      quiet = true;
    } else if (args[at] == u"--timeout" && at + 1 < args.size() && ParseSeconds(args[at + 1], &timeoutSeconds)) {
      ++at;
    } else {
      err << kUsage;
      return kUsageError;
    }
  }
  if (at >= args.size()) {
    err << kUsage;
    return kUsageError;
  }
  const Text setup = args[at];
  const TextList installerArgs(args.begin() + std::ptrdiff_t(at) + 1, args.end());
  if (!FileExists(setup)) {
    err << "tidewell-cli: there is no installer at " << ToUtf8(setup) << "\n";
    return 1;
  }
  const Text folder = GetOwnFolder() + u"Tracked\\";
  if (!SecureBackupFolder(folder)) {
    err << "tidewell-cli: the Tracked folder " << ToUtf8(folder) << " could not be made with its rights\n";
    return 1;
  }
  InstallLock lock(folder);
  if (!lock.Held()) {
    err << "tidewell-cli: another install is being tracked (" << ToUtf8(lock.Path())
        << " exists); run one install at a time, or delete that file if no install runs\n";
    return 1;
  }
  try {
    return TrackInstall(setup, installerArgs, quiet, timeoutSeconds, folder, out);
  } catch (const Wow64Error&) {
    // The places (System32 beside SysWOW64, the two registry views) cannot
    // be read as Windows lays them out.
    err << "tidewell-cli: Windows could not say whether this process runs under WOW64 (IsWow64Process failed); "
           "the install was not tracked\n";
    return 1;
  }
}

}  // namespace tw::cli
