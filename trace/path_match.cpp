#include "trace/path_match.h"

#include <algorithm>

#include "access/paths.h"

namespace tw {

namespace {

constexpr std::size_t kDrivePartChars = 255;

Text WithoutTrailingBackslashes(Text text) {
  while (!text.empty() && text.back() == u'\\') text.pop_back();
  return text;
}

// The index of the last piece holding "~", or npos.
std::size_t LastShortPiece(const TextList& pieces) {
  for (std::size_t i = pieces.size(); i-- > 0;) {
    if (Contains(pieces[i], u"~")) return i;
  }
  return Text::npos;
}

}  // namespace

Text NormalizePathValue(const Text& value) {
  Text text = value;
  for (char16_t& c : text) {
    if (c == u'"') c = u' ';
  }
  text = FoldDotStepsInText(text);
  if (!Contains(text, u":\\") || !Contains(text, u"~")) return text;
  const TextList pieces = PathPieces(text);
  if (pieces.empty()) return text;
  const std::size_t colon = pieces[0].find(u':');
  if (colon == Text::npos) return text;  // no drive designator to rebuild from
  const std::size_t start = colon == 0 ? 0 : colon - 1;
  Text folder = Trim(pieces[0].substr(start).substr(0, kDrivePartChars));
  if (pieces.size() >= 2) {
    folder += u"\\" + pieces[1];
    for (std::size_t i = 2; i + 1 < pieces.size(); ++i) folder += u"\\" + pieces[i];
  }
  Text result = GetLongPath(folder);
  if (result.empty()) return Text();
  if (!Contains(pieces.back(), u"~")) result += u"\\" + pieces.back();
  return result;
}

void FolderMatcher::FolderSet::Add(const Text& folder) {
  const Text upper = UpperAsWindows(WithoutTrailingBackslashes(folder));
  if (upper.empty()) return;
  folders.push_back(folder);
  if (upper.find(u'\\') == Text::npos && upper.size() <= 2) return;  // "C:" alone holds no folder
  if (this->upper.insert(upper).second && std::find(lengths.begin(), lengths.end(), upper.size()) == lengths.end()) {
    lengths.push_back(upper.size());
  }
}

bool FolderMatcher::FolderSet::Holds(const Text& normalised) const {
  if (folders.empty()) return false;
  const TextList pieces = PathPieces(normalised);
  const std::size_t shortPiece = LastShortPiece(pieces);
  if (shortPiece != Text::npos) {
    // Only the pieces after the short one can be compared, each against the
    // folder's piece at the same position; the folder's last piece must be
    // among them, so the folder's boundary holds.
    const std::size_t from = shortPiece + 1;
    if (from >= pieces.size()) return false;
    for (const Text& folder : folders) {
      const TextList folderPieces = PathPieces(folder);
      if (folderPieces.size() <= from || folderPieces.size() > pieces.size()) continue;
      bool same = true;
      for (std::size_t i = from; i < folderPieces.size() && same; ++i) {
        same = SameNameAsWindows(Trim(pieces[i]), Trim(folderPieces[i]));
      }
      if (same) return true;
    }
    return false;
  }
  // Names are folded as Windows folds them: "über" is the "ÜBER" of an entry.
  const Text upperValue = UpperAsWindows(normalised);
  const auto endsWithFolder = [this](const Text& text, std::size_t end) {
    for (std::size_t length : lengths) {
      if (length <= end && upper.count(text.substr(end - length, length))) return true;
    }
    return false;
  };
  for (std::size_t at = upperValue.find(u'\\'); at != Text::npos; at = upperValue.find(u'\\', at + 1)) {
    if (endsWithFolder(upperValue, at)) return true;
  }
  const Text trimmed = Trim(upperValue);
  return endsWithFolder(trimmed, trimmed.size());
}

FolderMatcher::FolderMatcher(const TextList& folders, const TextList& excluded) {
  for (const Text& folder : folders) folders_.Add(folder);
  for (const Text& folder : excluded) excluded_.Add(folder);
}

bool FolderMatcher::Matches(const Text& value) const {
  const Text normalised = NormalizePathValue(value);
  if (normalised.empty()) return false;
  return folders_.Holds(normalised) && !excluded_.Holds(normalised);
}

bool IsPathInFolders(const Text& value, const TextList& folders) { return FolderMatcher(folders).Matches(value); }

}  // namespace tw
