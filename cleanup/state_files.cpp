#include "cleanup/state_files.h"

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
  if (i < bytes.size()) text += u'\uFFFD';  // half a code unit at the end
  return text;
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
bool Present(const Text& path) { return Plat().GetFileAttributes(path) != win::kInvalidFileAttributes; }

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
  static const std::vector<Text> names{kStateFilesFile,  kStateFoldersFile, kStateRegistryFile,
                                       kStateConfigFile, kStateLogoFile,    kStateTypeFile};
  return names;
}

std::string EncodeStateLines(const TextList& lines) {
  if (lines.empty()) return std::string();
  std::string bytes = kUtf8Mark;
  for (const Text& line : lines) {
    bytes += ToUtf8(line);  // a lone surrogate becomes U+FFFD
    bytes += "\r\n";
  }
  return bytes;
}

TextList DecodeStateLines(const std::string& bytes) {
  if (StartsWithBytes(bytes, kUtf8Mark, 3)) return SplitLines(FromUtf8(bytes.substr(3)));
  if (StartsWithBytes(bytes, "\xFF\xFE", 2)) return SplitLines(FromUtf16(bytes, 2, false));
  if (StartsWithBytes(bytes, "\xFE\xFF", 2)) return SplitLines(FromUtf16(bytes, 2, true));
  // No mark: the code page the file was written in. CR and LF are single
  // bytes that no lead or trail byte of a Windows code page takes, so the
  // lines can be split after the conversion.
  if (bytes.empty()) return TextList();
  return SplitLines(Plat().FromAnsiCodePage(bytes));
}

StateFileRead ReadStateFile(const Text& path, TextList* lines) {
  if (Plat().GetFileAttributes(path) == win::kInvalidFileAttributes) {
    // Only "not there" is missing; anything else (access denied on the
    // folder, say) means the state cannot be told.
    const std::uint32_t error = Plat().GetLastError();
    if (error == win::kErrorFileNotFound || error == win::kErrorPathNotFound) return StateFileRead::kMissing;
    return StateFileRead::kUnreadable;
  }
  std::string bytes;
  if (!Plat().ReadFileBytes(path, &bytes)) return StateFileRead::kUnreadable;
  *lines = DecodeStateLines(bytes);
  return StateFileRead::kRead;
}

bool WriteStateFile(const Text& path, const TextList& lines) {
  return Plat().WriteFileBytes(path, EncodeStateLines(lines));
}

StateWriteResult WritePendingState(const Text& programFolder, const PendingState& state) {
  const Text folder = WithTrailingBackslash(programFolder);
  StateWriteResult result;
  const auto save = [&](const Text& name, const TextList& lines) {
    if (!WriteStateFile(folder + name, lines)) result.failed.push_back(name);
  };
  save(kStateConfigFile, {state.name, state.publisher});
  save(kStateTypeFile, {Decimal(state.uninstallType)});
  const Text logoPath = folder + kStateLogoFile;
  if (state.logo) {
    if (!WriteLogoFile(logoPath, *state.logo)) result.failed.push_back(kStateLogoFile);
  } else if (Present(logoPath) && !Plat().DeleteFile(logoPath)) {
    result.failed.push_back(kStateLogoFile);
  }
  save(kStateFilesFile, state.files);
  save(kStateFoldersFile, state.folders);
  save(kStateRegistryFile, state.registry);
  return result;
}

LoadedState ReadPendingState(const Text& programFolder) {
  const Text folder = WithTrailingBackslash(programFolder);
  LoadedState state;
  const auto load = [&](const Text& name, std::optional<TextList>* target) {
    TextList lines;
    switch (ReadStateFile(folder + name, &lines)) {
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

  load(kStateConfigFile, &state.config);
  if (state.config) {
    if (state.config->size() > 0) state.name = (*state.config)[0];
    if (state.config->size() > 1) state.publisher = (*state.config)[1];
  }
  load(kStateFilesFile, &state.files);
  load(kStateFoldersFile, &state.folders);
  load(kStateRegistryFile, &state.registry);

  std::optional<TextList> type;
  load(kStateTypeFile, &type);
  if (type && !(!type->empty() && ParseDecimal(type->front(), &state.uninstallType))) {
    state.unreadable.push_back(kStateTypeFile);
  }

  const Text logoPath = folder + kStateLogoFile;
  if (Present(logoPath)) {
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
    if (Present(folder + name)) return true;
  }
  return false;
}

std::vector<Text> DeletePendingState(const Text& programFolder) {
  const Text folder = WithTrailingBackslash(programFolder);
  std::vector<Text> remaining;
  for (const Text& name : StateFileNames()) {
    const Text path = folder + name;
    if (!Present(path)) continue;
    // A failed DeleteFileW is checked by looking again: what matters is
    // whether the file is still there.
    Plat().DeleteFile(path);
    if (Present(path)) remaining.push_back(name);
  }
  return remaining;
}

Text DescribeStateWriteFailure(const Text& programFolder, const std::vector<Text>& files) {
  if (files.empty()) return Text();
  return u"The uninstall state could not be saved in " + WithTrailingBackslash(programFolder) + u": " +
         JoinNames(files);
}

Text DescribeStateReadFailure(const Text& programFolder, const std::vector<Text>& files) {
  if (files.empty()) return Text();
  return u"The uninstall state could not be read from " + WithTrailingBackslash(programFolder) + u": " +
         JoinNames(files);
}

}  // namespace tw
