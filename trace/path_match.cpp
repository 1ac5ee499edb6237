#include "trace/path_match.h"

#include "access/folders.h"
#include "access/registry.h"

namespace tw {

namespace {

constexpr std::size_t kDrivePartChars = 255;

// "\" + pieces[from] + "\" + pieces[from+1] ... up to pieces[count-2], or
// pieces[from] alone when it is the last but one or the last piece.
Text JoinFrom(const TextList& pieces, std::size_t from) {
  Text text = u"\\" + pieces[from];
  for (std::size_t i = from + 1; i + 1 < pieces.size(); ++i) text += u"\\" + pieces[i];
  return text;
}

Text WithoutTrailingBackslashes(Text text) {
  while (!text.empty() && text.back() == u'\\') text.pop_back();
  return text;
}

// `folder` occurs in `value` at a path boundary: followed by "\", or closing
// the (trimmed) value.
bool ContainsFolder(const Text& upperValue, const Text& upperFolder) {
  if (upperFolder.empty()) return false;
  const Text trimmed = Trim(upperValue);
  if (EndsWith(trimmed, upperFolder)) return true;
  for (std::size_t at = upperValue.find(upperFolder); at != Text::npos;
       at = upperValue.find(upperFolder, at + 1)) {
    const std::size_t end = at + upperFolder.size();
    if (end < upperValue.size() && upperValue[end] == u'\\') return true;
  }
  return false;
}

}  // namespace

Text NormalizePathValue(const Text& value) {
  Text text = value;
  for (char16_t& c : text) {
    if (c == u'"') c = u' ';
  }
  if (!Contains(text, u":\\") || !Contains(text, u"~")) return text;
  TextList pieces;
  if (!SplitByBackslash(text, &pieces)) return text;
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

namespace {

// The membership test on a value already normalised.
bool NormalisedInFolders(const Text& normalised, const TextList& folders) {
  TextList pieces;
  SplitByBackslash(normalised, &pieces);
  std::size_t shortPiece = Text::npos;
  for (std::size_t i = pieces.size(); i-- > 0;) {
    if (Contains(pieces[i], u"~")) {
      shortPiece = i;
      break;
    }
  }
  std::size_t from = 0;
  Text compare = normalised;
  if (shortPiece != Text::npos) {
    from = shortPiece + 1;
    if (from > pieces.size() - 1) return false;
    compare = JoinFrom(pieces, from);
  }
  const Text upperCompare = UpperAscii(compare);
  TextList folderPieces;
  for (const Text& folder : folders) {
    Text folderText = folder;
    if (shortPiece != Text::npos) {
      SplitByBackslash(folder, &folderPieces);
      if (folderPieces.empty() || from > folderPieces.size() - 1) continue;
      folderText = JoinFrom(folderPieces, from);
    }
    if (ContainsFolder(upperCompare, UpperAscii(WithoutTrailingBackslashes(folderText)))) return true;
  }
  return false;
}

}  // namespace

bool IsPathInFolders(const Text& value, const TextList& folders) {
  const Text normalised = NormalizePathValue(value);
  return !normalised.empty() && NormalisedInFolders(normalised, folders);
}

FolderMatcher::FolderMatcher(const TextList& folders) : folders_(folders) {
  std::unordered_set<std::size_t> lengths;
  for (const Text& folder : folders) {
    const Text upper = UpperAscii(WithoutTrailingBackslashes(folder));
    if (upper.empty()) continue;
    upperFolders_.insert(upper);
    lengths.insert(upper.size());
  }
  lengths_.assign(lengths.begin(), lengths.end());
}

bool FolderMatcher::Matches(const Text& value) const {
  const Text normalised = NormalizePathValue(value);
  if (normalised.empty()) return false;
  // A short name left after normalising compares piece by piece.
  if (Contains(normalised, u"~")) return NormalisedInFolders(normalised, folders_);
  const Text upper = UpperAscii(normalised);
  const auto endsWithFolder = [this](const Text& text, std::size_t end) {
    for (std::size_t length : lengths_) {
      if (length <= end && upperFolders_.count(text.substr(end - length, length))) return true;
    }
    return false;
  };
  for (std::size_t at = upper.find(u'\\'); at != Text::npos; at = upper.find(u'\\', at + 1)) {
    if (endsWithFolder(upper, at)) return true;
  }
  const Text trimmed = Trim(upper);
  return endsWithFolder(trimmed, trimmed.size());
}

}  // namespace tw
