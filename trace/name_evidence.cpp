#include "trace/name_evidence.h"

#include <algorithm>

#include "access/folders.h"
#include "access/path_guard.h"
#include "access/paths.h"
#include "access/registry.h"

namespace tw {

namespace {

// Folder and key names that many programs share or that Windows itself
// uses: never evidence of one program.
const char16_t* const kGenericWords[] = {
    u"Microsoft", u"Windows", u"Common Files", u"Temp", u"Tmp", u"Programs", u"Program Files", u"Users",
    u"Default", u"Public", u"All Users", u"Classes", u"Software", u"Policies", u"Packages", u"Local",
    u"LocalLow", u"Roaming", u"Application Data", u"Local Settings", u"Desktop", u"Documents", u"Data",
    u"Cache", u"Config", u"Settings", u"Setup", u"Update", u"Updater", u"Installer", u"Uninstall",
    u"Shared", u"System", u"Apps", u"App", u"Tools", u"Games", u"Program", u"Application", u"Logs",
    u"Log", u"Wow6432Node", u"Clients", u"Drivers", u"Fonts", u"Inc", u"Inc.", u"LLC", u"Ltd", u"Ltd.",
    u"Corporation", u"Company", u"Unknown", u"N/A", u"Bin", u"x64", u"x86", u"Current", u"Latest",
    // Windows' own folders and keys in the bases, which every program shares:
    // the virtualised files of all legacy programs, the installers' package
    // cache, crash dumps, shader caches, compatibility junctions, the low
    // integrity store.
    u"VirtualStore", u"Package Cache", u"CrashDumps", u"D3DSCache", u"Publishers", u"ConnectedDevicesPlatform",
    u"PeerDistRepub", u"Comms", u"History", u"Temporary Internet Files", u"Templates", u"Start Menu", u"Favorites",
    u"SoftwareDistribution", u"USOShared", u"USOPrivate", u"Identities", u"IsolatedStorage", u"AppDataLow",
};

bool IsVersionToken(const Text& token) {
  std::size_t at = 0;
  if (!token.empty() && (token[0] == u'v' || token[0] == u'V')) at = 1;
  if (at >= token.size()) return false;
  bool digit = false;
  for (; at < token.size(); ++at) {
    const char16_t c = token[at];
    if (c >= u'0' && c <= u'9') {
      digit = true;
    } else if (c != u'.' || !digit) {
      return false;
    }
  }
  return digit && token.back() != u'.';
}

void AddOnce(TextList* list, const Text& item) {
  if (item.empty()) return;
  for (const Text& known : *list)
    if (SameTextAscii(known, item)) return;
  list->push_back(item);
}

}  // namespace

bool IsUsableName(const Text& name) {
  const Text trimmed = Trim(name);
  if (trimmed.size() < 3 || trimmed == u"..") return false;
  for (const char16_t c : trimmed) {
    if (c < 0x20 || c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' ||
        c == u'>' || c == u'|')
      return false;
  }
  for (const char16_t* word : kGenericWords)
    if (SameTextAscii(trimmed, word)) return false;
  // A folder named after a version ("C:\Vendor\App\2.1") names no product.
  return !IsVersionToken(trimmed);
}

Text WithoutTrailingVersion(const Text& displayName) {
  const Text trimmed = Trim(displayName);
  const std::size_t space = trimmed.find_last_of(u' ');
  if (space == Text::npos) return trimmed;
  if (!IsVersionToken(trimmed.substr(space + 1))) return trimmed;
  return Trim(trimmed.substr(0, space));
}

Text FolderName(const Text& folder) {
  Text path = Trim(folder);
  while (!path.empty() && (path.back() == u'\\' || path.back() == u'/')) path.pop_back();
  const std::size_t at = path.find_last_of(u"\\/:");
  if (at != Text::npos && path[at] == u':') return Text();
  return Trim(at == Text::npos ? Text() : path.substr(at + 1));
}

namespace {

// The folder as Windows reaches it, in the widest reading (names count
// however an entry spells them); a spelling the guard would not take (a
// network path) as written.
Text FolderAsWindowsNamesIt(const Text& installLocation) {
  Text folder = CleanedPath(WidestReading(installLocation));
  if (folder.find(u'~') != Text::npos) {
    const Text longForm = GetLongPath(folder);
    if (!longForm.empty()) folder = longForm;
  }
  return folder.empty() ? installLocation : folder;
}

}  // namespace

TextList FolderNamesOnPath(const Text& installLocation) {
  TextList names;
  Text folder = FolderAsWindowsNamesIt(installLocation);
  for (Text name = FolderName(folder); !name.empty(); name = FolderName(folder)) {
    names.insert(names.begin(), name);
    folder = folder.substr(0, folder.find_last_of(u"\\/"));
  }
  return names;
}

TextList ProductNames(const Text& installLocation, const Text& displayName) {
  TextList names;
  AddOnce(&names, FolderName(FolderAsWindowsNamesIt(installLocation)));
  AddOnce(&names, WithoutTrailingVersion(displayName));
  return names;
}

TextList NamePlacesBelowBase(const Text& publisher, const TextList& productNames, bool usableOnly) {
  const auto takes = [usableOnly](const Text& name) {
    return !Trim(name).empty() && (!usableOnly || IsUsableName(name));
  };
  TextList places;
  const Text p = Trim(publisher);
  for (const Text& n : productNames) {
    if (!takes(n)) continue;
    if (takes(p)) AddOnce(&places, UpperAscii(p + u"\\" + Trim(n)));
    AddOnce(&places, UpperAscii(Trim(n)));
  }
  if (takes(p)) AddOnce(&places, UpperAscii(p));
  return places;
}

Text SameFolderForm(const Text& place) {
  TextList parts;
  SplitByBackslash(UpperAscii(place), &parts);
  Text form;
  for (Text part : parts) {
    while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) part.pop_back();
    part = Trim(part);
    if (!form.empty()) form += u'\\';
    form += part;
  }
  return form;
}

}  // namespace tw
