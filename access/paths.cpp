#include "access/paths.h"

#include <algorithm>

#include "platform/platform.h"

namespace tw {

namespace {

constexpr std::uint32_t kLongPathChars = 4096;
constexpr std::uint32_t kFinalPathChars = 4096;
constexpr std::uint32_t kKnownFolderChars = 260;

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 (with any extension) and the console
// names open a device wherever they stand in a path.
bool IsDeviceName(const Text& part) {
  Text base = UpperAscii(part.substr(0, part.find(u'.')));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL" || base == u"CONIN$" ||
      base == u"CONOUT$") {
    return true;
  }
  return base.size() == 4 && (StartsWith(base, u"COM") || StartsWith(base, u"LPT")) && base[3] >= u'1' &&
         base[3] <= u'9';
}

// What Windows drops from the end of a path's last name.
void DropTrailingDotsAndBlanks(Text* name) {
  while (!name->empty() && (name->back() == u'.' || name->back() == u' ')) name->pop_back();
}

}  // namespace

TextList PathPieces(const Text& path) {
  TextList pieces;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = path.find(u'\\', at);
    if (end == Text::npos) end = path.size();
    if (end > at) pieces.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  return pieces;
}

// Takes a plain absolute drive-letter path apart as Win32 path
// normalisation reads it; false for every other form.
bool SplitPlainPath(const Text& path, PlainPath* out) {
  for (char16_t c : path) {
    if (c < 32) return false;
  }
  Text text = Trim(path);
  std::replace(text.begin(), text.end(), u'/', u'\\');
  if (text.find_first_of(u"*?<>|\"") != Text::npos) return false;
  if (text.size() < 3 || !IsDriveLetter(text[0]) || text[1] != u':' || text[2] != u'\\') return false;
  out->drive = text.substr(0, 2);
  out->parts.clear();
  const TextList pieces = PathPieces(text.substr(3));
  const bool endsWithSeparator = text.back() == u'\\';
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    Text part = pieces[i];
    if (part == u"..") {
      if (!out->parts.empty()) out->parts.pop_back();
      continue;
    }
    if (part == u".") continue;
    if (i + 1 == pieces.size() && !endsWithSeparator) {
      // The last name loses all its trailing dots and blanks ("Foo. " and
      // "..." at the end name "Foo" and the folder above).
      DropTrailingDotsAndBlanks(&part);
      if (part.empty()) continue;
    } else {
      // A name followed by "\" loses one trailing dot only: "Foo.\" is
      // "Foo\", but "Foo \" names a folder "Foo " that only a "\\?\" path
      // can make, and Wine reads it as "Foo". A name that still ends in a dot
      // or a blank is read differently by the two, so the path is not plain.
      if (part.back() == u'.') part.pop_back();
      if (part.empty() || part.back() == u'.' || part.back() == u' ') return false;
    }
    // "name:stream" is an alternate data stream, not a file of its own.
    if (part.find(u':') != Text::npos || IsDeviceName(part)) return false;
    out->parts.push_back(part);
  }
  return true;
}

Text WidestReading(const Text& path) {
  Text out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of(u"\\/", start);
    if (end == Text::npos) end = path.size();
    Text name = path.substr(start, end - start);
    if (name != u"." && name != u"..") DropTrailingDotsAndBlanks(&name);
    out += name;
    if (end < path.size()) out += path[end];
    start = end + 1;
  }
  return out;
}

bool PathExists(const Text& path) { return Plat().GetFileAttributes(path) != win::kInvalidFileAttributes; }

bool IsDirectoryLinkAttributes(std::uint32_t attributes) {
  const std::uint32_t link = win::kFileAttributeDirectory | win::kFileAttributeReparsePoint;
  return attributes != win::kInvalidFileAttributes && (attributes & link) == link;
}

bool IsDirectoryLink(const Text& path) { return IsDirectoryLinkAttributes(Plat().GetFileAttributes(path)); }

Text GetLongPath(const Text& path) {
  std::u16string buffer(kLongPathChars, u'\0');
  std::uint32_t len = Plat().GetLongPathName(path, &buffer[0], kLongPathChars);
  if (len >= kLongPathChars) {
    // Longer than the usual buffer: ask again with the size the call named.
    buffer.assign(len + 1, u'\0');
    len = Plat().GetLongPathName(path, &buffer[0], len + 1);
    if (len >= buffer.size()) return Text();
  }
  if (len == 0) return Text();
  return Text(buffer.c_str());
}

namespace {

Text Join(const Text& drive, const TextList& parts, std::size_t count, bool trailing) {
  Text text = drive + u"\\";
  for (std::size_t i = 0; i < count; ++i) {
    text += parts[i];
    if (trailing || i + 1 < count) text += u"\\";
  }
  return text;
}

Text FormOf(const PlainPath& split) { return UpperAsWindows(Join(split.drive, split.parts, split.parts.size(), true)); }

bool IsReparsePoint(const Text& path) {
  const std::uint32_t attributes = Plat().GetFileAttributes(path);
  return attributes != win::kInvalidFileAttributes && (attributes & win::kFileAttributeReparsePoint) != 0;
}

// GetFinalPathNameByHandleW's answer for an existing path, without its
// "\\?\" prefix; empty on failure.
Text FinalPath(const Text& path) {
  std::u16string buffer(kFinalPathChars, u'\0');
  std::uint32_t len = Plat().GetFinalPathName(path, &buffer[0], kFinalPathChars);
  if (len >= kFinalPathChars) {
    buffer.assign(len + 1, u'\0');
    len = Plat().GetFinalPathName(path, &buffer[0], len + 1);
    if (len >= buffer.size()) return Text();
  }
  if (len == 0) return Text();
  Text text(buffer.c_str());
  // "\\?\C:\..." is a drive path; "\\?\UNC\..." and volume names stay as
  // they are, and the guard refuses them as not plain.
  if (StartsWith(text, u"\\\\?\\") && text.size() >= 7 && text[5] == u':') text = text.substr(4);
  return text;
}

// The spellings of a plain path: as cleaned, with its existing part's 8.3
// names expanded, and with the links among its first `followCount`
// components followed.
PathResolution Resolve(const Text& path, bool followLast) {
  PathResolution out;
  if (Trim(path).empty()) {
    out.status = PathResolutionStatus::kEmpty;
    return out;
  }
  PlainPath split;
  if (!SplitPlainPath(path, &split)) {
    out.status = PathResolutionStatus::kNotPlain;
    return out;
  }
  out.forms.push_back(FormOf(split));
  const std::size_t n = split.parts.size();
  if (n == 0) return out;
  // The longest part of the path that exists.
  std::size_t existing = n;
  while (existing > 0 && !PathExists(Join(split.drive, split.parts, existing, false))) --existing;
  if (existing == 0) return out;  // nothing of it exists, so nothing in it is a link or a short name

  const Text existingPath = Join(split.drive, split.parts, existing, false);
  PlainPath longSplit;
  if (!SplitPlainPath(GetLongPath(existingPath), &longSplit) || longSplit.parts.size() != existing) {
    out.status = PathResolutionStatus::kUnresolved;
    return out;
  }
  longSplit.parts.insert(longSplit.parts.end(), split.parts.begin() + existing, split.parts.end());
  const Text longForm = FormOf(longSplit);
  if (longForm != out.forms.back()) out.forms.push_back(longForm);

  // Links: the components that Windows goes through (all but a last one
  // that is itself removed as a link).
  const std::size_t through = std::min(existing, followLast ? n : n - 1);
  if (through == 0) return out;
  const Text throughPath = Join(longSplit.drive, longSplit.parts, through, false);
  PlainPath finalSplit;
  const Text final = FinalPath(throughPath);
  if (!final.empty()) {
    if (!SplitPlainPath(final, &finalSplit)) {
      out.status = PathResolutionStatus::kNotPlain;  // a link to a share or a volume without a letter
      return out;
    }
  } else {
    // Without an answer the path counts as resolved only when no component
    // on the way is a link (Windows XP has no GetFinalPathNameByHandleW).
    for (std::size_t i = 1; i <= through; ++i) {
      if (IsReparsePoint(Join(longSplit.drive, longSplit.parts, i, false))) {
        out.status = PathResolutionStatus::kUnresolved;
        return out;
      }
    }
    finalSplit.drive = longSplit.drive;
    finalSplit.parts.assign(longSplit.parts.begin(), longSplit.parts.begin() + through);
  }
  finalSplit.parts.insert(finalSplit.parts.end(), longSplit.parts.begin() + through, longSplit.parts.end());
  const Text finalForm = FormOf(finalSplit);
  if (std::find(out.forms.begin(), out.forms.end(), finalForm) == out.forms.end()) out.forms.push_back(finalForm);
  return out;
}


bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

Text ComparablePath(const Text& path) {
  PlainPath split;
  return SplitPlainPath(path, &split) ? FormOf(split) : Text();
}

Text CleanedPath(const Text& path) {
  PlainPath split;
  return SplitPlainPath(path, &split) ? Join(split.drive, split.parts, split.parts.size(), false) : Text();
}

bool IsAtOrBelow(const Text& inner, const Text& outer) { return !outer.empty() && StartsWith(inner, outer); }

PathResolution ResolvePath(const Text& path, bool followLast) { return Resolve(path, followLast); }

Text ResolvedFolderForm(const Text& path) {
  const PathResolution resolution = Resolve(path, true);
  if (resolution.status != PathResolutionStatus::kResolved || resolution.forms.empty()) return Text();
  return resolution.forms.back();
}

TextList PathSpellings(const Text& path) { return Resolve(path, true).forms; }

TextList KeptSpellings(const Text& path) { return Resolve(WidestReading(path), true).forms; }

Text FoldDotStepsInText(Text text) {
  std::size_t at = 0;
  while (at < text.size()) {
    if (!IsSeparator(text[at])) {
      ++at;
      continue;
    }
    std::size_t end = at + 1;
    while (end < text.size() && text[end] == u'.') ++end;
    const std::size_t dots = end - at - 1;
    if ((dots != 1 && dots != 2) || !(end == text.size() || IsSeparator(text[end]) || text[end] == u' ')) {
      ++at;
      continue;
    }
    std::size_t from = at;
    if (dots == 2) {
      std::size_t before = at;
      while (before > 0 && !IsSeparator(text[before - 1])) --before;
      const Text name = text.substr(before, at - before);
      if (before == 0 && name.find(u':') == Text::npos) {  // a relative path: nothing to fold into
        ++at;
        continue;
      }
      if (name.find(u':') == Text::npos) from = before - 1;
    }
    text.erase(from, end - from);
    at = from;
  }
  return text;
}

Text KnownFolder(int csidl) {
  char16_t buffer[kKnownFolderChars + 1] = {};
  if (!Plat().GetSpecialFolderPath(csidl, buffer)) return Text();
  buffer[kKnownFolderChars] = 0;
  return Text(buffer);
}

Text OwnExecutablePath() {
  std::u16string buffer(1024, u'\0');
  std::uint32_t len = Plat().GetModuleFileName(&buffer[0], std::uint32_t(buffer.size()));
  // GetModuleFileNameW cuts a path that does not fit and returns the size
  // of the buffer: ask again with a larger one, up to the longest path.
  while (len >= buffer.size() && buffer.size() < 32768) {
    buffer.assign(buffer.size() * 2, u'\0');
    len = Plat().GetModuleFileName(&buffer[0], std::uint32_t(buffer.size()));
  }
  if (len == 0 || len >= buffer.size()) return Text();
  return Text(buffer.c_str());
}

}  // namespace tw
