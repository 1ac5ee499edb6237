#include "tracking/churn.h"

namespace tw {

namespace {

// Pieces of a path, compared as Windows folds names, that mark churn
// wherever they occur ("\" on both sides: whole names only).
constexpr const char16_t* kChurnKeys[] = {
    // The Explorer's state and recent lists (not its extension lists, which
    // installers write).
    u"\\CURRENTVERSION\\EXPLORER\\RECENTDOCS\\",
    u"\\CURRENTVERSION\\EXPLORER\\USERASSIST\\",
    u"\\CURRENTVERSION\\EXPLORER\\COMDLG32\\",
    u"\\CURRENTVERSION\\EXPLORER\\RUNMRU\\",
    u"\\CURRENTVERSION\\EXPLORER\\TYPEDPATHS\\",
    u"\\CURRENTVERSION\\EXPLORER\\WORDWHEELQUERY\\",
    u"\\CURRENTVERSION\\EXPLORER\\STREAMS\\",
    u"\\CURRENTVERSION\\EXPLORER\\SESSIONINFO\\",
    u"\\CURRENTVERSION\\EXPLORER\\FEATUREUSAGE\\",
    u"\\CURRENTVERSION\\EXPLORER\\MOUNTPOINTS2\\",
    u"\\CURRENTVERSION\\EXPLORER\\CABINETSTATE\\",
    u"\\MICROSOFT\\WINDOWS\\SHELL\\BAGS\\",
    u"\\MICROSOFT\\WINDOWS\\SHELL\\BAGMRU\\",
    u"\\MICROSOFT\\WINDOWS\\SHELLNOROAM\\",
    u"\\SHELL\\MUICACHE\\",
    u"\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\GROUP POLICY\\",
    u"\\MICROSOFT\\CRYPTOGRAPHY\\RNG\\",
    u"\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\APPCOMPATFLAGS\\COMPATIBILITY ASSISTANT\\",
    u"\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\WINTRUST\\",
    u"\\MICROSOFT\\SYSTEMCERTIFICATES\\",
    u"\\MICROSOFT\\WBEM\\",
    u"\\MICROSOFT\\TRACING\\",
};

constexpr const char16_t* kChurnFolders[] = {
    u"\\TEMP\\",
    u"\\MICROSOFT\\WINDOWS\\RECENT\\",
    u"\\MICROSOFT\\WINDOWS\\EXPLORER\\",  // thumbnail and icon caches
    u"\\MICROSOFT\\WINDOWS\\INETCACHE\\",
    u"\\MICROSOFT\\WINDOWS\\TEMPORARY INTERNET FILES\\",
    u"\\MICROSOFT\\WINDOWS\\WER\\",
    u"\\MICROSOFT\\WINDOWS\\CACHES\\",
    u"\\MICROSOFT\\CRYPTO\\",
    u"\\MICROSOFT\\VAULT\\",
    u"\\WINDOWS\\LOGS\\",
    u"\\WINDOWS\\PREFETCH\\",
    u"\\WINDOWS\\SYSTEM32\\LOGFILES\\",
    u"\\WINDOWS\\SYSTEM32\\WINEVT\\",
    u"\\WINDOWS\\SYSTEM32\\CONFIG\\",
    u"\\WINDOWS\\SYSTEM32\\WBEM\\REPOSITORY\\",
};

template <std::size_t N>
bool Holds(const Text& text, const char16_t* const (&pieces)[N]) {
  // Whole names: the text is framed by separators before it is searched.
  const Text framed = u"\\" + UpperAsWindows(text) + u"\\";
  for (const char16_t* piece : pieces) {
    if (framed.find(piece) != Text::npos) return true;
  }
  return false;
}

}  // namespace

bool IsChurnKey(const Text& keyPath) { return Holds(keyPath, kChurnKeys); }

bool IsChurnPath(const Text& path) { return Holds(path, kChurnFolders); }

}  // namespace tw
