// The path guard and the trace under hostile input, generated: every
// spelling of a protected place (".." and ".", 8.3 names, trailing dots and
// blanks, "/" and doubled "\", UNC and device forms, \\localhost\C$, streams,
// NUL, wildcards, a junction to the Windows folder) is refused; random program
// trees with neighbours and vendor folders are traced with nothing recorded
// outside the program's folder or inside another listed program's folder.
#include <gtest/gtest.h>

#include <random>

#include "access/folders.h"
#include "access/path_guard.h"
#include "access/registry.h"
#include "tests/native/trace_harness.h"

namespace tw::testing_trace {
namespace {

const Text kSharedDlls = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class Spellings {
 public:
  explicit Spellings(std::uint32_t seed) : random_(seed) {}

  bool Coin() { return random_() % 2 == 0; }
  std::size_t Below(std::size_t n) { return random_() % n; }

  // A spelling of an existing absolute path that Windows reads as the same
  // place: random case, "." and "X\.." inserted, trailing dots and blanks,
  // "/" and doubled separators, and 8.3 names of existing prefixes.
  Text SameMeaning(const Text& path) {
    TextList parts;
    SplitByBackslash(path, &parts);
    const bool endSeparator = Coin();
    Text out = parts[0];
    Text real = parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i) {
      real += u"\\" + parts[i];
      Text name = parts[i];
      if (Coin()) {
        char16_t shortName[300] = {};
        const std::uint32_t len = Plat().GetShortPathName(real, shortName, 300);
        if (len > 0 && len < 300) {
          const Text whole(shortName, len);
          name = whole.substr(whole.rfind(u'\\') + 1);
        }
      }
      if (Coin()) name = Coin() ? UpperAsWindows(name) : LowerAscii(name);
      const char16_t* separators[] = {u"\\", u"/", u"\\\\", u"\\.\\", u"\\Gone\\..\\"};
      out += separators[Below(5)] + name;
      // Windows drops all trailing dots and blanks of the last name, and
      // one dot of a name followed by "\".
      const bool lastName = i + 1 == parts.size() && !endSeparator;
      if (Below(4) == 0) out += lastName ? (Coin() ? u". " : u" ..") : u".";
    }
    if (endSeparator) out += u"\\";
    return out;
  }

  // A form the guard must refuse whatever it names.
  Text NotPlain(const Text& path) {
    const Text rest = path.substr(3);
    switch (Below(10)) {
      case 0: return u"\\\\?\\" + path;
      case 1: return u"\\\\?\\UNC\\localhost\\C$\\" + rest;
      case 2: return u"\\\\localhost\\C$\\" + rest;
      case 3: return u"\\\\.\\" + path;
      case 4: return u"\\??\\" + path;
      case 5: return path + u":stream";
      case 6: return path.substr(0, 2) + rest;  // drive-relative
      case 7: return u"..\\..\\" + rest;
      case 8: return path + u"\\*";
      default: {
        Text cut = path;
        cut.insert(3 + Below(rest.size() + 1), 1, u'\0');
        return cut;
      }
    }
  }

 private:
  std::mt19937 random_;
};

class TraceGuard : public TraceFixture {
 protected:
  TraceGuard() {
    machine.AddFile(u"C:\\Windows\\System32\\kernel32.dll", "MZ");
    machine.AddFile(u"C:\\Windows\\System32\\drivers\\etc\\hosts", "x");
    machine.AddFile(u"C:\\Tools\\Tidewell\\tidewell.exe", "MZ");
    machine.AddDirectory(u"C:\\Users\\user\\Documents");
    machine.AddDirectory(u"C:\\Users\\user\\Downloads");
    machine.AddDirectory(u"C:\\ProgramData");
    machine.AddDirectoryLink(u"C:\\Apps\\ToWindows", u"C:\\Windows");
    machine.AddDirectoryLink(u"C:\\Apps\\ToSystem", u"C:\\Windows\\System32");
    machine.AddDirectoryLink(u"C:\\Apps\\ToUsers", u"C:\\Users");
  }
};

// Places that are never traced nor deleted, each with the paths that spell
// it directly and through a junction, and places a program may own.
TEST_F(TraceGuard, NoSpellingOfAProtectedPlacePasses) {
  const PathGuard guard = PathGuard::ForThisMachine();
  const TextList protectedPlaces = {
      u"C:\\Windows",
      u"C:\\Windows\\System32",
      u"C:\\Windows\\System32\\kernel32.dll",
      u"C:\\Windows\\System32\\drivers\\etc",
      u"C:\\Users",
      u"C:\\Users\\user",
      u"C:\\Users\\user\\Documents",
      u"C:\\Users\\user\\Downloads",
      u"C:\\Users\\user\\AppData",
      u"C:\\Users\\user\\AppData\\Roaming",
      u"C:\\Users\\user\\AppData\\Local",
      u"C:\\ProgramData",
      u"C:\\Program Files",
      u"C:\\Program Files (x86)",
      u"C:\\Program Files\\Common Files",
      u"C:\\Program Files (x86)\\Common Files",
      u"C:\\Tools",
      u"C:\\Tools\\Tidewell",
      u"C:\\Tools\\Tidewell\\tidewell.exe",
      // What Windows keeps at its drive's root, the Store's apps, the
      // profile's hives and its Temp and Microsoft folders.
      u"C:\\$Recycle.Bin\\S-1-5-21-1\\$R0AB12.txt",
      u"C:\\System Volume Information",
      u"C:\\pagefile.sys",
      u"C:\\Windows.old\\Users",
      u"C:\\Program Files\\WindowsApps\\Some.App_1.0_x64",
      u"C:\\Users\\user\\NTUSER.DAT",
      u"C:\\Users\\user\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
      u"C:\\Users\\user\\AppData\\Local\\Temp",
      u"C:\\Users\\user\\AppData\\Local\\Microsoft",
  };
  const TextList throughLinks = {
      u"C:\\Apps\\ToWindows\\System32",
      u"C:\\Apps\\ToSystem\\kernel32.dll",
      u"C:\\Apps\\ToSystem\\drivers",
      u"C:\\Apps\\ToUsers\\user",
      u"C:\\Apps\\ToUsers\\user\\Documents",
  };
  const TextList owned = {
      u"C:\\Program Files\\Vendor\\App",
      u"C:\\Users\\user\\AppData\\Roaming\\Vendor",
      u"C:\\ProgramData\\Vendor",
      u"C:\\Program Files (x86)\\Common Files\\Vendor",
  };
  for (const Text& folder : owned) machine.AddDirectory(folder);

  Spellings spell(20240611);
  for (int round = 0; round < 40; ++round) {
    for (const Text& place : protectedPlaces) {
      for (const Text& path : {spell.SameMeaning(place), spell.NotPlain(place)}) {
        EXPECT_TRUE(guard.JudgeDeletion(path).Refused()) << "deletion of " << U8(path);
        EXPECT_TRUE(guard.JudgeFolderToWalk(path).Refused()) << "walk of " << U8(path);
      }
    }
    for (const Text& place : throughLinks) {
      const Text path = spell.SameMeaning(place);
      EXPECT_TRUE(guard.JudgeDeletion(path).Refused()) << "deletion of " << U8(path);
      EXPECT_TRUE(guard.JudgeFolderToWalk(path).Refused()) << "walk of " << U8(path);
    }
    for (const Text& folder : owned) {
      const Text path = spell.SameMeaning(folder);
      EXPECT_FALSE(guard.JudgeDeletion(path).Refused()) << U8(path) << ": " << U8(guard.JudgeDeletion(path).Reason());
      EXPECT_TRUE(guard.JudgeDeletion(spell.NotPlain(folder)).Refused());
    }
  }
  // A junction is walked through to what it names; deleting it removes
  // only the link, which is the program's.
  EXPECT_EQ(PathRefusal::kWindows, guard.JudgeFolderToWalk(u"C:\\Apps\\ToWindows").refusal);
  EXPECT_FALSE(guard.JudgeDeletion(u"C:\\Apps\\ToWindows").Refused());
  // A link whose target is gone cannot be resolved.
  machine.AddDirectoryLink(u"C:\\Apps\\Dangling", u"C:\\Nowhere");
  EXPECT_EQ(PathRefusal::kUnresolved, guard.JudgeFolderToWalk(u"C:\\Apps\\Dangling\\x").refusal);
  for (const Text& blank : {Text(), Text(u"  "), Text(u"\\"), Text(u"C:"), Text(u"D:\\")}) {
    EXPECT_TRUE(guard.JudgeDeletion(blank).Refused()) << U8(blank);
  }
}

// Tree deletions refuse the empty path, roots and control characters: a NUL
// would make Windows list the parent again and again.
TEST_F(TraceGuard, TreeDeletionsStopAtRootsAndControlCharacters) {
  machine.AddFile(u"C:\\Data\\Foo\\a.txt", "a");
  for (const Text& path : {Text(), Text(u"C:\\"), Text(u"C:"), Text(u"C:\\Data\\Foo") + u'\0',
                           Text(u"C:\\Data\\Foo\\") + u'\0' + u"x"}) {
    DeleteFolderTree(path);
    EXPECT_TRUE(machine.Exists(u"C:\\Data\\Foo\\a.txt")) << U8(path);
  }
  machine.CreateKey(kLM, u"SOFTWARE\\Vendor\\App\\Sub");
  EXPECT_FALSE(RegDeleteKeyTree(kLM, Text(u"SOFTWARE\\Vendor") + u'\0' + u"\\App", kView64));
  EXPECT_FALSE(RegRemoveValue(kLM, Text(u"SOFTWARE\\Vendor") + u'\0' + u"\\App", u"v", kView64));
  EXPECT_FALSE(RegDeleteKeyTree(kLM, u"\\", kView64));
  EXPECT_TRUE(machine.KeyExists(kLM, u"SOFTWARE\\Vendor\\App\\Sub"));
}

// Random vendors, each a vendor folder listed as one product's folder with
// other listed products inside, beside neighbours whose names extend theirs,
// and listed programs whose folders spell protected places. Shared DLL
// counts name files of all of them, with quotes, apostrophes and bars in
// their names.
TEST_F(TraceGuard, TraceClaimsOnlyTheProgramsOwn) {
  Spellings spell(77);
  struct Program {
    Text name;
    Text folder;  // its real folder; empty for a hostile entry
  };
  std::vector<Program> programs;
  const char16_t* hostile[] = {u"C:\\Program Files\\..\\Windows\\", u"C:\\users\\", u"\\\\localhost\\C$\\Windows\\",
                               u"C:\\Apps\\ToSystem", u"C:\\PROGRA~1\\..\\Windows\\System32"};
  for (int vendor = 0; vendor < 6; ++vendor) {
    const Text base = (spell.Coin() ? Text(u"C:\\Program Files\\V") : Text(u"C:\\Users\\user\\AppData\\Local\\V")) +
                      FromUtf8(std::to_string(vendor));
    // The neighbour's name extends the vendor folder's.
    for (const Text& folder : {base, base + u"Bar"}) {
      programs.push_back({u"Suite " + folder.substr(folder.rfind(u'\\') + 1), folder});
      const int products = 1 + int(spell.Below(3));
      for (int p = 0; p < products; ++p) {
        // A non-ASCII letter that the listed spelling may upper-case.
        const Text product = folder + u"\\Product" + FromUtf8(std::to_string(p)) + u"\u00e9";
        if (spell.Coin()) programs.push_back({u"Product " + product.substr(3), product});
        for (const char16_t* file : {u"\\app.exe", u"\\Bob's lib.dll", u"\\sub\\x.dat"}) {
          machine.AddFile(product + file, "MZ");
          machine.SetDword(kLM, kSharedDlls, product + file, 1);
        }
      }
      machine.AddFile(folder + u"\\common.dll", "MZ");
      machine.SetDword(kLM, kSharedDlls, folder + u"\\common.dll", 1);
      machine.SetDword(kLM, kSharedDlls, folder + u"\\it's|odd.dll", 1);
    }
  }
  for (std::size_t h = 0; h < std::size(hostile); ++h) {
    programs.push_back({u"Hostile " + FromUtf8(std::to_string(h)), Text()});
    AddProgram(programs.back().name, hostile[h]);
  }
  for (const Program& program : programs) {
    if (!program.folder.empty()) AddProgram(program.name, spell.SameMeaning(program.folder));
  }
  machine.SetDword(kLM, kSharedDlls, u"C:\\Windows\\System32\\kernel32.dll", 1);

  for (const Program& program : programs) {
    Log() = TraceLog();
    TraceProgram(program.name);
    const InstalledProgram* record = inventory.Find(LowerAscii(program.name));
    ASSERT_NE(record, nullptr);
    if (program.folder.empty()) {
      EXPECT_TRUE(record->tracedFolders.empty()) << U8(program.name);
      EXPECT_TRUE(record->tracedFiles.empty()) << U8(program.name);
      EXPECT_EQ(record->tracedRegistry, TextList{record->entryKeyLine}) << U8(program.name);
      EXPECT_FALSE(JudgeTraceFolder(record->installLocation).Reason().empty());
      continue;
    }
    const Text own = UpperAsWindows(program.folder) + u"\\";
    TextList others;
    for (const Program& other : programs) {
      if (!other.folder.empty() && other.folder.size() > program.folder.size() &&
          StartsWith(UpperAsWindows(other.folder) + u"\\", own)) {
        others.push_back(UpperAsWindows(other.folder) + u"\\");
      }
    }
    const auto judge = [&](const Text& path, const char* what) {
      const Text form = ResolvedFolderForm(path);
      ASSERT_FALSE(form.empty()) << what << " " << U8(path);
      EXPECT_TRUE(IsAtOrBelow(form, own)) << what << " outside " << U8(program.folder) << ": " << U8(path);
      for (const Text& other : others) {
        EXPECT_FALSE(IsAtOrBelow(form, other)) << what << " of another program: " << U8(path);
      }
    };
    ASSERT_FALSE(record->tracedFolders.empty()) << U8(program.name);
    for (const Text& folder : record->tracedFolders) judge(folder, "folder");
    for (const Text& file : record->tracedFiles) judge(file, "file");
    EXPECT_TRUE(std::find_if(record->tracedFiles.begin(), record->tracedFiles.end(), [](const Text& f) {
                  return EndsWith(f, u"common.dll") || EndsWith(f, u"app.exe");
                }) != record->tracedFiles.end())
        << "nothing of " << U8(program.name) << " was found";
    // Value names were written in the folders' own spelling.
    std::size_t sharedLines = 0;
    for (const Text& line : record->tracedRegistry) {
      if (!StartsWith(line, u"HKLM|" + kSharedDlls + u"|")) continue;
      ++sharedLines;
      const Text name = UpperAsWindows(line.substr(kSharedDlls.size() + 6));
      EXPECT_TRUE(StartsWith(name, own)) << "shared DLL outside " << U8(program.folder) << ": " << U8(line);
      for (const Text& other : others) EXPECT_FALSE(StartsWith(name, other)) << "another's: " << U8(line);
    }
    EXPECT_GT(sharedLines, 0u) << U8(program.name);
  }
}

}  // namespace
}  // namespace tw::testing_trace
