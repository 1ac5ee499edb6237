#include "uninstall/silent_form.h"

#include "access/command_line.h"
#include "access/registry.h"
#include "access/registry_line.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace tw {

namespace {

bool IsHexDigit(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }

TextList Tokens(const Text& parameters) {
  TextList tokens;
  SplitByCharacter(parameters, u' ', &tokens);
  return tokens;
}

// "/S" is case-sensitive for NSIS; Inno Setup's switches are not.
bool HasToken(const Text& parameters, const Text& token, bool caseSensitive) {
  for (const Text& each : Tokens(parameters)) {
    if (caseSensitive ? each == token : SameTextAscii(each, token)) return true;
  }
  return false;
}

Text Unquoted(const Text& text) {
  if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') return text.substr(1, text.size() - 2);
  return text;
}

Text CommandLineOf(const Text& file, const Text& parameters) {
  const Text shown = file.find(u' ') != Text::npos ? u"\"" + file + u"\"" : file;
  return parameters.empty() ? shown : shown + u" " + parameters;
}

bool IsMsiExec(const Text& file) {
  const Text upper = UpperAscii(Unquoted(file));
  const std::size_t slash = upper.find_last_of(u"\\/");
  const Text name = slash == Text::npos ? upper : upper.substr(slash + 1);
  return name == u"MSIEXEC.EXE" || name == u"MSIEXEC";
}

// The first product code in the parameters of an MsiExec command that
// removes (/X) or repairs-installs (/I) a product.
Text ProductCodeInMsiCommand(const Text& command) {
  const CommandLineParts parts = ReadCommandLine(command);
  const Text& parameters = parts.arguments;
  if (parts.program.empty() || !IsMsiExec(parts.program)) return Text();
  const Text upper = UpperAscii(parameters);
  for (std::size_t at = 0; (at = upper.find(u'/', at)) != Text::npos; ++at) {
    std::size_t code = at + 1;
    if (code >= upper.size() || (upper[code] != u'I' && upper[code] != u'X')) continue;
    ++code;
    while (code < upper.size() && upper[code] == u' ') ++code;
    if (code + 38 <= parameters.size() && IsProductCode(parameters.substr(code, 38))) {
      return parameters.substr(code, 38);
    }
  }
  return Text();
}

QuietCommand Make(QuietSource source, const Text& file, const Text& parameters) {
  QuietCommand command;
  command.source = source;
  command.file = file;
  command.parameters = parameters;
  command.commandLine = CommandLineOf(file, parameters);
  return command;
}

std::uint32_t ReadLe32(const std::string& bytes, std::size_t at) {
  return std::uint32_t(static_cast<unsigned char>(bytes[at])) |
         std::uint32_t(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         std::uint32_t(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         std::uint32_t(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

// REG_DWORD 1 (a REG_SZ "1" too, which some installers write).
bool ReadFlag(HKey root, const Text& path, const Text& name, ViewFlag view) {
  std::uint32_t type = 0;
  std::string data;
  if (!RegReadValueBytes(root, path, name, view, &type, &data)) return false;
  if (type == win::kRegDword && data.size() == 4) return ReadLe32(data, 0) == 1;
  if (type == win::kRegSz && data.size() >= 2) return data[0] == '1' && data[1] == 0 && (data.size() < 4 || data[2] == 0);
  return false;
}

}  // namespace

bool IsProductCode(const Text& text) {
  if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') return false;
  for (std::size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? text[i] != u'-' : !IsHexDigit(text[i])) return false;
  }
  return true;
}

Text WindowsInstallerProductCode(const EntryFacts& facts) {
  const Text fromCommand = ProductCodeInMsiCommand(facts.uninstallString);
  if (IsProductCode(facts.entryKeyName) && (facts.windowsInstaller || !fromCommand.empty())) return facts.entryKeyName;
  return fromCommand;
}

NsisHeader ReadNsisHeader(const std::string& head) {
  static const char kSignature[] = "\xEF\xBE\xAD\xDE" "NullsoftInst";
  constexpr std::size_t kSignatureSize = sizeof kSignature - 1;
  constexpr std::uint32_t kUninstallFlag = 1;
  for (std::size_t at = 0; at + 4 + kSignatureSize <= head.size(); at += 512) {
    if (head.compare(at + 4, kSignatureSize, kSignature, kSignatureSize) == 0) {
      return (ReadLe32(head, at) & kUninstallFlag) != 0 ? NsisHeader::kUninstaller : NsisHeader::kInstaller;
    }
  }
  return NsisHeader::kNone;
}

bool HasNsisUninstallerHeader(const std::string& head) { return ReadNsisHeader(head) == NsisHeader::kUninstaller; }

QuietCommand ChooseQuietCommand(const EntryFacts& facts) {
  const CommandLineParts quiet = ReadCommandLine(facts.quietUninstallString);
  if (!quiet.program.empty()) return Make(QuietSource::kQuietUninstallString, quiet.program, quiet.arguments);
  const Text productCode = WindowsInstallerProductCode(facts);
  if (!productCode.empty()) {
    QuietCommand command = Make(QuietSource::kWindowsInstaller, u"MsiExec.exe", u"/X" + productCode + u" /qn /norestart");
    command.productCode = productCode;
    return command;
  }
  const CommandLineParts own = ReadCommandLine(facts.uninstallString);
  const Text& file = own.program;
  const Text& parameters = own.arguments;
  const bool hasProgram = !file.empty();
  if (hasProgram && facts.nsisUninstaller) {
    // "_?=" must stay last on an NSIS command line, so "/S" goes first.
    return Make(QuietSource::kNsis, file, HasToken(parameters, u"/S", true) ? parameters : Trim(u"/S " + parameters));
  }
  if (hasProgram && facts.innoValues && EndsWith(LowerAscii(facts.entryKeyName), u"_is1")) {
    Text added;
    for (const Text& each : {Text(u"/VERYSILENT"), Text(u"/SUPPRESSMSGBOXES"), Text(u"/NORESTART")}) {
      if (!HasToken(parameters, each, false)) added += each + u" ";
    }
    return Make(QuietSource::kInnoSetup, file, Trim(added + parameters));
  }
  QuietCommand none;
  none.refusal = facts.uninstallString.empty()
                     ? Text(u"the entry has no uninstall command")
                     : Text(u"no quiet form: the entry has no QuietUninstallString and its uninstaller is not known "
                            u"to be Windows Installer, NSIS or Inno Setup; its own command would ask questions");
  return none;
}

bool RunsWindowsInstaller(const QuietCommand& command) {
  return command.source == QuietSource::kWindowsInstaller || IsMsiExec(command.file);
}

UninstallOutcome OutcomeOfExitCode(bool windowsInstaller, std::uint32_t exitCode) {
  if (exitCode == 0) return UninstallOutcome::kDone;
  if (!windowsInstaller) return UninstallOutcome::kFailed;
  switch (exitCode) {
    case 3010:
    case 1641: return UninstallOutcome::kRestartNeeded;
    case 1605: return UninstallOutcome::kNotInstalled;
    default: return UninstallOutcome::kFailed;
  }
}

EntryFacts ReadEntryFacts(const InstalledProgram& record) {
  EntryFacts facts;
  facts.uninstallString = record.uninstallString;
  const ViewFlag view = RegistryViewOf(record.is64Bit);
  const std::size_t bar = record.entryKeyLine.find(u'|');
  if (bar != Text::npos) {
    const HKey root = RegRootFromText(record.entryKeyLine.substr(0, bar));
    const Text path = record.entryKeyLine.substr(bar + 1);
    const std::size_t slash = path.find_last_of(u'\\');
    facts.entryKeyName = slash == Text::npos ? path : path.substr(slash + 1);
    Text value;
    if (RegReadString(root, path, u"QuietUninstallString", &value, view)) facts.quietUninstallString = Trim(value);
    facts.windowsInstaller = ReadFlag(root, path, u"WindowsInstaller", view);
    facts.innoValues = RegReadString(root, path, u"Inno Setup: Setup Version", &value, view) ||
                       RegReadString(root, path, u"Inno Setup: App Path", &value, view);
  }
  const Text file = ReadCommandLine(facts.uninstallString).program;
  if (!file.empty() && !IsMsiExec(file)) {
    std::string head;
    if (Plat().ReadFileHead(file, kNsisHeadBytes, &head)) facts.nsisUninstaller = HasNsisUninstallerHeader(head);
  }
  return facts;
}

}  // namespace tw
