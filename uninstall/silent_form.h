// The quiet form of a program's uninstall: the command an uninstall entry
// gives for running without questions (QuietUninstallString), or else the
// silent switches of its installer when the kind of installer is known for
// sure from the entry and from the uninstaller itself. Anything else has no
// quiet form: running its command would show the uninstaller's windows, so a
// quiet uninstall refuses it.
#pragma once

#include <cstdint>
#include <string>

#include "access/text_rules.h"
#include "inventory/installed_software.h"

namespace tw {

// What decides the quiet form, read from the entry and from the file its
// uninstall command runs.
struct EntryFacts {
  Text quietUninstallString;  // the entry's QuietUninstallString value
  Text uninstallString;       // the record's uninstall command
  Text entryKeyName;          // the entry's key name ("{product code}", "App_is1"); empty without an entry
  bool windowsInstaller = false;  // the entry's WindowsInstaller value is 1
  bool innoValues = false;        // the entry carries Inno Setup's own "Inno Setup: ..." values
  bool nsisUninstaller = false;   // the uninstall command runs an NSIS uninstaller (by its header)
};

enum class QuietSource { kNone, kQuietUninstallString, kWindowsInstaller, kNsis, kInnoSetup };

struct QuietCommand {
  QuietSource source = QuietSource::kNone;
  Text file;         // what ShellExecuteExW starts
  Text parameters;
  Text commandLine;  // the two as one command line, for reports
  Text productCode;  // for Windows Installer
  Text refusal;      // why there is no quiet form (source kNone)
};

// The first that applies: QuietUninstallString; a Windows Installer product
// ("MsiExec.exe /X{product code} /qn /norestart"); an NSIS uninstaller (its
// command with "/S"); an Inno Setup uninstaller (its command with
// "/VERYSILENT /SUPPRESSMSGBOXES /NORESTART"); else none.
QuietCommand ChooseQuietCommand(const EntryFacts& facts);

// "{8-4-4-4-12 hexadecimal digits}".
bool IsProductCode(const Text& text);

// The product code of a Windows Installer entry: its key name when the entry
// says it is the Installer's (WindowsInstaller 1, or an MsiExec command), else
// the product code an "MsiExec.exe /I{...}" or "/X{...}" command names; empty
// when the entry is not known to be the Installer's.
Text WindowsInstallerProductCode(const EntryFacts& facts);

// True when these first bytes of an executable hold the first header of an
// NSIS uninstaller (at a 512-byte boundary, with the uninstaller flag): an
// NSIS installer started with /S would install, so only an uninstaller counts.
bool HasNsisUninstallerHeader(const std::string& head);

// The same header read for what it says: none, an installer's or an
// uninstaller's.
enum class NsisHeader { kNone, kInstaller, kUninstaller };
NsisHeader ReadNsisHeader(const std::string& head);

// How much of an uninstaller HasNsisUninstallerHeader needs: NSIS looks for
// its header right after its loader, well inside the first megabyte.
constexpr std::uint32_t kNsisHeadBytes = 1024 * 1024;

// What an uninstaller's exit code says.
enum class UninstallOutcome { kDone, kRestartNeeded, kNotInstalled, kFailed };

// True when the command runs Windows Installer (msiexec), whose exit codes
// are its error codes.
bool RunsWindowsInstaller(const QuietCommand& command);

// Windows Installer: 0 done; 3010 (ERROR_SUCCESS_REBOOT_REQUIRED) and 1641
// (ERROR_SUCCESS_REBOOT_INITIATED: done, and the restart has begun) done with
// a restart needed; 1605 (ERROR_UNKNOWN_PRODUCT) not installed; anything
// else failed. Other uninstallers: 0 done, anything else failed.
UninstallOutcome OutcomeOfExitCode(bool windowsInstaller, std::uint32_t exitCode);

// Reads the facts of a record's entry (in its registry view) and of the file
// its uninstall command runs.
EntryFacts ReadEntryFacts(const InstalledProgram& record);

}  // namespace tw
