// The pending-uninstall state: small files in the program's own folder that
// carry an unfinished uninstall across a restart of Tidewell or of Windows.
//
//   SIConfig.txt  two lines: the program's display name, its publisher
//   SLF_FI.txt    one file path per line, in report order
//   SLF_FL.txt    one folder path per line, in report order
//   SLF_RG.txt    one registry line per line
//   SLF_TY.txt    the uninstall type: "1" for a 64-bit program, else "0"
//   SLF_KP.txt    the entries the user kept (unticked rows): paths and
//                 registry lines that are never deleted
//   AppLogo.ico   the program's 32 x 32 picture (only when it had one)
//
// Text files are written as UTF-8 with a byte-order mark, so names and paths
// outside the ANSI code page survive; every line ends with CR LF and an empty
// list is a file of 0 bytes. Reading also takes UTF-16 (little- or big-endian,
// by its mark) and, without a mark, the ANSI code page, which is what files
// of earlier versions hold.
//
// Each file is written whole or not at all: into a file beside it, flushed,
// then moved over it (MoveFileExW, replacing, written through). A file with
// our mark whose last line has no CR LF was cut short and is not read; so is
// a file with a line that cannot be what its file holds (a path list line
// that is no drive-letter path, a registry line without a root text, a
// control character anywhere).
//
// An uninstall is pending while at least one of the three list files exists;
// SIConfig.txt, the type file, the kept list and AppLogo.ico alone do not
// make it pending.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "access/text_rules.h"
#include "cleanup/app_logo.h"

namespace tw {

inline constexpr char16_t kStateConfigFile[] = u"SIConfig.txt";
inline constexpr char16_t kStateFilesFile[] = u"SLF_FI.txt";
inline constexpr char16_t kStateFoldersFile[] = u"SLF_FL.txt";
inline constexpr char16_t kStateRegistryFile[] = u"SLF_RG.txt";
inline constexpr char16_t kStateLogoFile[] = u"AppLogo.ico";
inline constexpr char16_t kStateTypeFile[] = u"SLF_TY.txt";
inline constexpr char16_t kStateKeptFile[] = u"SLF_KP.txt";

// Every state file, in the order DeletePendingState removes them.
const std::vector<Text>& StateFileNames();

// ---- The text format, on bytes.

// The lines as a state file's bytes: a UTF-8 byte-order mark, then each line
// followed by CR LF. No lines give no bytes at all (not even the mark).
// UTF-8 cannot carry a lone surrogate (an unpaired UTF-16 code unit, which a
// Windows file name may hold); it is written as U+FFFD. A line that itself
// holds CR or LF would come back as several lines; entries never do.
std::string EncodeStateLines(const TextList& lines);

// The lines of a state file's bytes. A UTF-8 mark (EF BB BF) selects UTF-8,
// FF FE UTF-16 little-endian, FE FF UTF-16 big-endian; without a mark the
// bytes are in the ANSI code page (converted through the platform). CR LF, CR
// and LF each end a line; no bytes give no lines. Invalid UTF-8 and an odd
// last byte of UTF-16 become U+FFFD. With the UTF-8 mark (what this program
// writes) the bytes must end in CR LF: anything else, the mark or a part of it alone
// included, is a write cut short and gives none. In the other encodings a
// last line without a break is still a line.
std::optional<TextList> DecodeStateLines(const std::string& bytes);

// What the lines of a state file may be. A file with a line of another kind
// is unreadable as a whole: it is damaged or not ours.
enum class StateLines {
  kText,      // no control characters
  kConfig,    // SIConfig.txt: text, and exactly two lines in a file with our mark
  kPaths,     // drive-letter paths "X:\...", no control characters
  kRegistry,  // registry lines starting with HKLM|, HKCU|, HKU| or HKCR|
  kEntries,   // either of the two (the kept list)
  kType,      // exactly one line, "0" or "1"
};
bool StateLinesAre(const TextList& lines, StateLines kind);

// ---- One state file.

enum class StateFileRead {
  kRead,        // *lines holds the file's lines
  kMissing,     // nothing of that name; *lines unchanged
  kUnreadable,  // something of that name exists (a file, or a folder) but could not be read; *lines unchanged
};

// Reads the text file at `path` into *lines, replacing what it held. A file
// cut short or with a line that is not of `kind` is unreadable.
StateFileRead ReadStateFile(const Text& path, TextList* lines, StateLines kind = StateLines::kText);

// Creates or replaces the text file at `path`, whole or not at all: on
// failure (a missing or read-only folder, a read-only or locked file) the
// file holds what it held before and the temporary file beside it is gone.
bool WriteStateFile(const Text& path, const TextList& lines);
// The same for any bytes.
bool WriteWholeFile(const Text& path, const std::string& bytes);

// ---- The whole state. `programFolder` is the folder of the executable,
// with or without its trailing "\".

struct PendingState {
  Text name;       // SIConfig.txt line 1
  Text publisher;  // SIConfig.txt line 2, possibly empty
  TextList files;
  TextList folders;
  TextList registry;
  int uninstallType = 0;           // uninstallType_: 1 for a 64-bit program
  TextList kept;                   // entries of the lists the user keeps
  std::optional<LogoPixels> logo;  // none: no AppLogo.ico is written
};

struct StateWriteResult {
  // The state files that could not be written (or, for a stale AppLogo.ico,
  // removed), by file name in writing order. Empty when everything is saved.
  std::vector<Text> failed;
  bool Ok() const { return failed.empty(); }
};

// Writes the state, creating or replacing each file, in this order:
// SIConfig.txt, the type file, the kept list, AppLogo.ico, then SLF_FI.txt,
// SLF_FL.txt and SLF_RG.txt. The list files come last because they are what
// makes the uninstall pending. Without a logo an existing AppLogo.ico is
// deleted, so that the picture of an earlier program is not shown for this
// one. The state is saved whole or not pending at all: when any file fails,
// the writing stops there and the list files are removed, so that no later
// start resumes an uninstall with a stale name, type or kept list. The
// result names the file that failed.
StateWriteResult WritePendingState(const Text& programFolder, const PendingState& state);

struct LoadedState {
  // SIConfig.txt's lines as read, when the file exists and could be read
  // (the leftover deletion looks at how many lines there are).
  std::optional<TextList> config;
  Text name;       // config line 1; empty when missing
  Text publisher;  // config line 2; empty when missing
  // Each list only when its file exists and could be read; otherwise the
  // caller keeps the list it has.
  std::optional<TextList> files;
  std::optional<TextList> folders;
  std::optional<TextList> registry;
  // The type file's number; 0 when the file is missing or unreadable, and
  // then typeKnown is false: the deletion must not guess the registry view.
  int uninstallType = 0;
  bool typeKnown = false;
  // The kept list, when its file exists and could be read.
  std::optional<TextList> kept;
  // The picture when AppLogo.ico exists and decodes.
  std::optional<LogoPixels> logo;
  // State files that exist but could not be read, by file name in reading
  // order: a text file that cannot be opened, was cut short or holds lines
  // it cannot hold, an AppLogo.ico that is no 32 x 32 icon this reader
  // takes, a type file without "0" or "1". Empty when
  // everything present was read.
  std::vector<Text> unreadable;
  bool Ok() const { return unreadable.empty(); }
};

// Reads whatever of the state exists. Missing files are no failure.
LoadedState ReadPendingState(const Text& programFolder);

// True when SLF_FI.txt, SLF_FL.txt or SLF_RG.txt exists in the folder (a 0-byte
// file counts).
bool IsUninstallPending(const Text& programFolder);

// Deletes every state file: SLF_FI.txt, SLF_FL.txt, SLF_RG.txt, SIConfig.txt,
// AppLogo.ico, then the type file and the kept list. A file that does not exist is skipped;
// attributes are left as they are. Returns the files that still exist
// afterwards (read-only, in use, or a folder of that name), by name; empty
// when the state is gone.
std::vector<Text> DeletePendingState(const Text& programFolder);

// A one-line message naming the files of a failed write or read and the
// folder, for a message box or the console, e.g. "The uninstall state could
// not be saved in C:\Tools\: SLF_FI.txt. A restart of Tidewell cannot resume
// this uninstall; finish it now with Delete Leftovers."
// Empty when `files` is empty.
Text DescribeStateWriteFailure(const Text& programFolder, const std::vector<Text>& files);
Text DescribeStateReadFailure(const Text& programFolder, const std::vector<Text>& files);

}  // namespace tw
