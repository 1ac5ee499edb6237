#include "cleanup/state_files.h"

#include <algorithm>

#include "access/paths.h"
#include "platform/platform.h"

namespace tw {
namespace {

const char kUtf8Mark[] = "\xEF\xBB\xBF";

bool StartsWithBytes(const std::string& bytes, const char* mark, std::size_t length) {
  return bytes.size() >= length && bytes.compare(0, length, mark, length) == 0;
}

Text FromUtf16(const std::string& bytes, std::size_t from, bool bigEndian) {
  Text text;
  text.reserve((bytes.size() - from) / 2);
  std::size_t i = from;
  for (; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    text += bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
  }
  return text;
}

// A high surrogate not followed by a low one, or a low one alone: the
// registry and NTFS take such names, UTF-8 has no form for them.
bool HasLoneSurrogate(const Text& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

void AppendUtf16Le(std::string* bytes, const Text& text) {
  for (const char16_t c : text) {
    bytes->push_back(static_cast<char>(c & 0xFF));
    bytes->push_back(static_cast<char>(c >> 8));
  }
}

TextList SplitLines(const Text& text) {
  TextList lines;
  Text line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      lines.push_back(line);
      line.clear();
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

Text Decimal(int value) {
  const std::string digits = std::to_string(value);
  return Text(digits.begin(), digits.end());
}

// A whole decimal number, optionally signed, around which only blanks may stand.
bool ParseDecimal(const Text& text, int* value) {
  const Text trimmed = Trim(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < trimmed.size() && (trimmed[i] == u'-' || trimmed[i] == u'+')) negative = trimmed[i++] == u'-';
  if (i == trimmed.size() || trimmed.size() - i > 9) return false;
  int number = 0;
  for (; i < trimmed.size(); ++i) {
    if (trimmed[i] < u'0' || trimmed[i] > u'9') return false;
    number = number * 10 + (trimmed[i] - u'0');
  }
  *value = negative ? -number : number;
  return true;
}

// Something of that name is there (a file, or a folder in its place).
Text JoinNames(const std::vector<Text>& names) {
  Text joined;
  for (const Text& name : names) {
    if (!joined.empty()) joined += u", ";
    joined += name;
  }
  return joined;
}

}  // namespace

const std::vector<Text>& StateFileNames() {
  static const std::vector<Text> names{kStateFilesFile, kStateFoldersFile, kStateRegistryFile, kStateConfigFile,
                                       kStateLogoFile,  kStateTypeFile,    kStateKeptFile};
  return names;
}

std::string EncodeStateLines(const TextList& lines) {
  if (lines.empty()) return std::string();
  // A name with a lone surrogate is written in UTF-16, which carries every
  // code unit, so that it comes back as the name it is.
  if (std::any_of(lines.begin(), lines.end(), HasLoneSurrogate)) {
    std::string bytes = "\xFF\xFE";
    for (const Text& line : lines) AppendUtf16Le(&bytes, line + u"\r\n");
    return bytes;
  }
  std::string bytes = kUtf8Mark;
  for (const Text& line : lines) {
    bytes += ToUtf8(line);
    bytes += "\r\n";
  }
  return bytes;
}

std::optional<TextList> DecodeStateLines(const std::string& bytes) {
  // The first byte or two of our mark and nothing else: cut short.
  if (!bytes.empty() && bytes.size() < 3 && std::string(kUtf8Mark).compare(0, bytes.size(), bytes) == 0)
    return std::nullopt;
  if (StartsWithBytes(bytes, kUtf8Mark, 3)) {
    // Every file written with the mark ends in CR LF (an empty list has no
    // mark at all): anything else was cut short.
    if (bytes.size() < 5 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0) return std::nullopt;
    return SplitLines(FromUtf8(bytes.substr(3)));
  }
  const bool little = StartsWithBytes(bytes, "\xFF\xFE", 2);
  if (little || StartsWithBytes(bytes, "\xFE\xFF", 2)) {
    if (bytes.size() % 2 != 0) return std::nullopt;  // half a code unit at the end: cut short
    return SplitLines(FromUtf16(bytes, 2, !little));
  }
  // No mark: the code page the file was written in. CR and LF are single
  // bytes that no lead or trail byte of a Windows code page takes, so the
  // lines can be split after the conversion.
  if (bytes.empty()) return TextList();
  return SplitLines(Plat().FromAnsiCodePage(bytes));
}

namespace {

bool HasControlCharacter(const Text& line) {
  for (const char16_t c : line) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

bool IsPathLine(const Text& line) {
  const char16_t d = line.size() >= 3 ? line[0] : 0;
  return ((d >= u'A' && d <= u'Z') || (d >= u'a' && d <= u'z')) && line[1] == u':' && line[2] == u'\\';
}

bool IsRegistryLine(const Text& line) {
  const Text upper = UpperAscii(line.substr(0, 5));
  for (const Text root : {u"HKLM|", u"HKCU|", u"HKU|", u"HKCR|"}) {
    if (StartsWith(upper, root)) return line.size() > root.size();
  }
  return false;
}

}  // namespace

bool StateLinesAre(const TextList& lines, StateLines kind) {
  if (kind == StateLines::kType) return lines.size() == 1 && (lines[0] == u"0" || lines[0] == u"1");
  for (const Text& line : lines) {
    if (HasControlCharacter(line)) return false;
    switch (kind) {
      case StateLines::kPaths:
        if (!IsPathLine(line)) return false;
        break;
      case StateLines::kRegistry:
        if (!IsRegistryLine(line)) return false;
        break;
      case StateLines::kEntries:
        if (!IsPathLine(line) && !IsRegistryLine(line)) return false;
        break;
      default:
        break;
    }
  }
  return true;
}

StateFileRead ReadStateFile(const Text& path, TextList* lines, StateLines kind) {
  if (Plat().GetFileAttributes(path) == win::kInvalidFileAttributes) {
    // Only "not there" is missing; anything else (access denied on the
    // folder, say) means the state cannot be told.
    const std::uint32_t error = Plat().GetLastError();
    if (error == win::kErrorFileNotFound || error == win::kErrorPathNotFound) return StateFileRead::kMissing;
    return StateFileRead::kUnreadable;
  }
  std::string bytes;
  if (!Plat().ReadFileBytes(path, &bytes)) return StateFileRead::kUnreadable;
  std::optional<TextList> decoded = DecodeStateLines(bytes);
  if (!decoded || !StateLinesAre(*decoded, kind)) return StateFileRead::kUnreadable;
  // SIConfig.txt as this program writes it always has its two lines; one
  // line in such a file is a write cut short, which would skip the
  // publisher test.
  if (kind == StateLines::kConfig && StartsWithBytes(bytes, kUtf8Mark, 3) && decoded->size() != 2)
    return StateFileRead::kUnreadable;
  *lines = std::move(*decoded);
  return StateFileRead::kRead;
}

bool WriteWholeFile(const Text& path, const std::string& bytes) {
  const Text temporary = path + u".new";
  if (!Plat().WriteFileBytesFlushed(temporary, bytes) ||
      !Plat().MoveFileEx(temporary, path, win::kMoveFileReplaceExisting | win::kMoveFileWriteThrough)) {
    Plat().DeleteFile(temporary);
    return false;
  }
  return true;
}

bool WriteStateFile(const Text& path, const TextList& lines) { return WriteWholeFile(path, EncodeStateLines(lines)); }

StateWriteResult WritePendingState(const Text& programFolder, const PendingState& state) {
  const Text folder = WithTrailingBackslash(programFolder);
  StateWriteResult result;
  const auto save = [&](const Text& name, const TextList& lines) {
    if (result.Ok() && !WriteStateFile(folder + name, lines)) result.failed.push_back(name);
  };
  save(kStateConfigFile, {state.name, state.publisher});
  save(kStateTypeFile, {Decimal(state.uninstallType)});
  save(kStateKeptFile, state.kept);
  const Text logoPath = folder + kStateLogoFile;
  if (result.Ok()) {
    if (state.logo) {
      if (!WriteWholeFile(logoPath, EncodeLogoIcon(*state.logo))) result.failed.push_back(kStateLogoFile);
    } else if (PathExists(logoPath) && !Plat().DeleteFile(logoPath)) {
      result.failed.push_back(kStateLogoFile);
    }
  }
  save(kStateFilesFile, state.files);
  save(kStateFoldersFile, state.folders);
  save(kStateRegistryFile, state.registry);
  if (!result.Ok()) {
    // Not pending at all rather than pending with parts of another state.
    for (const Text name : {kStateFilesFile, kStateFoldersFile, kStateRegistryFile}) Plat().DeleteFile(folder + name);
  }
  return result;
}

LoadedState ReadPendingState(const Text& programFolder) {
  const Text folder = WithTrailingBackslash(programFolder);
  LoadedState state;
  const auto load = [&](const Text& name, std::optional<TextList>* target, StateLines kind) {
    TextList lines;
    switch (ReadStateFile(folder + name, &lines, kind)) {
      case StateFileRead::kRead:
        *target = std::move(lines);
        break;
      case StateFileRead::kUnreadable:
        state.unreadable.push_back(name);
        break;
      case StateFileRead::kMissing:
        break;
    }
  };

  load(kStateConfigFile, &state.config, StateLines::kConfig);
  if (state.config) {
    if (state.config->size() > 0) state.name = (*state.config)[0];
    if (state.config->size() > 1) state.publisher = (*state.config)[1];
  }
  load(kStateFilesFile, &state.files, StateLines::kPaths);
  load(kStateFoldersFile, &state.folders, StateLines::kPaths);
  load(kStateRegistryFile, &state.registry, StateLines::kRegistry);

  std::optional<TextList> type;
  load(kStateTypeFile, &type, StateLines::kType);
  if (type) state.typeKnown = ParseDecimal(type->front(), &state.uninstallType);
  load(kStateKeptFile, &state.kept, StateLines::kEntries);

  const Text logoPath = folder + kStateLogoFile;
  if (PathExists(logoPath)) {
    LogoPixels pixels;
    if (ReadLogoFile(logoPath, &pixels)) {
      state.logo = pixels;
    } else {
      state.unreadable.push_back(kStateLogoFile);
    }
  }
  return state;
}

bool IsUninstallPending(const Text& programFolder) {
  const Text folder = WithTrailingBackslash(programFolder);
  for (const Text name : {kStateFilesFile, kStateFoldersFile, kStateRegistryFile}) {
    if (PathExists(folder + name)) return true;
  }
  return false;
}

std::vector<Text> DeletePendingState(const Text& programFolder) {
  const Text folder = WithTrailingBackslash(programFolder);
  std::vector<Text> remaining;
  for (const Text& name : StateFileNames()) {
    const Text path = folder + name;
    if (!PathExists(path)) continue;
    // A failed DeleteFileW is checked by looking again: what matters is
    // whether the file is still there.
    Plat().DeleteFile(path);
    if (PathExists(path)) remaining.push_back(name);
  }
  return remaining;
}

Text DescribeStateWriteFailure(const Text& programFolder, const std::vector<Text>& files) {
  if (files.empty()) return Text();
  return u"The uninstall state could not be saved in " + WithTrailingBackslash(programFolder) + u": " +
         JoinNames(files) + u". A restart of Tidewell cannot resume this uninstall.";
}

Text DescribeStateReadFailure(const Text& programFolder, const std::vector<Text>& files) {
  if (files.empty()) return Text();
  return u"The uninstall state could not be read from " + WithTrailingBackslash(programFolder) + u": " +
         JoinNames(files);
}

}  // namespace tw
