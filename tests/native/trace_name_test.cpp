// Data folders and settings keys claimed by the program's names alone: the
// name rules, whole-name comparison, the other-program cross-check, the
// empty-parent rule, and Force Remove by the folder's name. Everything found
// so carries name evidence and is offered unticked.
#include <gtest/gtest.h>

#include <set>

#include "access/folders.h"
#include "tests/native/trace_harness.h"
#include "trace/name_evidence.h"

namespace tw::testing_trace {
namespace {

TEST(NameRules, UsableNamesVersionsAndProductNames) {
  for (const char16_t* name : {u"Foo", u"Y App", u" Foo Paint Pro "})
    EXPECT_TRUE(IsUsableName(name)) << U8(name);
  for (const char16_t* name : {u"", u"Fo", u"  ab ", u"microsoft", u"WINDOWS", u"Common Files", u"temp", u"Programs",
                               u"Users", u"Default", u"a\\b\\c", u"Foo/Bar", u"C:x", u"Fo*o", u"..", u"2.1", u"v3",
                               u"2024.1", u"bin"})
    EXPECT_FALSE(IsUsableName(name)) << U8(name);
  const std::pair<const char16_t*, const char16_t*> versions[] = {
      {u"Foo 5", u"Foo"},           {u"Foo 5.2", u"Foo"},     {u"Foo 2024", u"Foo"},
      {u"Foo v3.1.0", u"Foo"},      {u"Foo  ", u"Foo"},       {u"2024", u"2024"},
      {u"Foo 5.", u"Foo 5."},       {u"Foo x64", u"Foo x64"}, {u"Foo Paint Pro", u"Foo Paint Pro"},
      {u"Foo 2024 Pro", u"Foo 2024 Pro"},
  };
  for (const auto& [given, wanted] : versions) EXPECT_EQ(Text(wanted), WithoutTrailingVersion(given)) << U8(given);
  EXPECT_EQ((TextList{u"Foo Dir", u"Foo"}), ProductNames(u"C:\\Apps\\Foo Dir\\", u"Foo 5"));
  EXPECT_EQ(TextList{u"FOO"}, ProductNames(u"C:\\Apps\\FOO", u"Foo 5"));  // once, case-blind
  EXPECT_EQ(TextList{u"Foo"}, ProductNames(u"C:\\", u"Foo"));
  // A generic publisher claims no P\N, and itself nothing.
  EXPECT_EQ((TextList{u"FOO"}), NamePlacesBelowBase(u"Microsoft", {u"Foo"}, true));
  EXPECT_EQ((TextList{u"XCO\\FOO", u"FOO", u"XCO"}), NamePlacesBelowBase(u"Xco", {u"Foo", u"ab"}, true));
}

const Text kSoftware = u"SOFTWARE\\";
const Text kCuSoftware = u"HKCU|Software\\";

class NameAreas : public TraceFixture {
 protected:
  NameAreas() {
    appData = WithTrailingBackslash(GetAppDataDir());
    localAppData = WithTrailingBackslash(GetLocalAppDataDir());
    programData = WithTrailingBackslash(GetCommonAppDataDir());
    // The program: publisher Xco, product "Y App 5" in C:\Program Files\Xco\Y App.
    machine.AddFile(u"C:\\Program Files\\Xco\\Y App\\y.exe", "MZ");
    InstalledProgram* y = AddProgram(u"Y App 5", u"C:\\Program Files\\Xco\\Y App");
    y->publisher = u"Xco";
    // Its data and settings, by every form of its names.
    for (const Text& base : {appData, localAppData, programData}) machine.AddFile(base + u"Xco\\Y App\\s.dat", "x");
    for (const HKey root : {kCU, kLM}) machine.SetString(root, kSoftware + u"Xco\\Y App", u"Level", u"3");
    machine.CreateKey(kLM, u"SOFTWARE\\Wow6432Node\\Xco\\Y App");
  }

  // A neighbour of the same publisher whose product name extends Y's, with
  // data and settings of its own.
  void AddNeighbour() {
    machine.AddFile(u"C:\\Program Files\\Xco\\Y App Pro\\pro.exe", "MZ");
    AddProgram(u"Y App Pro", u"C:\\Program Files\\Xco\\Y App Pro")->publisher = u"Xco";
    machine.AddFile(appData + u"Xco\\Y App Pro\\p.dat", "x");
    machine.AddFile(appData + u"Y App Pro\\p.dat", "x");
    machine.SetString(kCU, kSoftware + u"Xco\\Y App Pro", u"Level", u"1");
  }

  // The rows of this run found by name, each checked to be unticked.
  std::set<Text> ByName() const {
    std::set<Text> rows;
    for (const TextList& list : {Texts(Log().fileFolderCounts), Texts(Log().registryCounts)}) {
      for (const Text& row : list) {
        const EntryOrigin* origin = origins->OriginOf(row);
        if (!origin || origin->evidence != kEvidenceName) continue;
        EXPECT_FALSE(origin->defaultTick) << U8(row);
        rows.insert(row);
      }
    }
    return rows;
  }

  static std::string Shown(const std::set<Text>& rows) { return Joined(TextList(rows.begin(), rows.end())); }

  Text appData, localAppData, programData;
};

TEST_F(NameAreas, OwnPlacesByWholeNameNeverTheNeighboursNorTheSharedPublisher) {
  AddNeighbour();
  // A second neighbour, of another publisher, whose folder is named "Y App":
  // the bare name could be its, so <base>\Y App and Software\Y App are not
  // claimed.
  machine.AddFile(u"D:\\Games\\Y App\\g.exe", "MZ");
  AddProgram(u"Zed Game", u"D:\\Games\\Y App")->publisher = u"Other Ltd";
  machine.AddFile(appData + u"Y App\\save.dat", "x");
  machine.CreateKey(kCU, kSoftware + u"Y App");
  TraceProgram(u"Y App 5");
  const std::set<Text> wanted = {
      appData + u"Xco\\Y App",
      localAppData + u"Xco\\Y App",
      programData + u"Xco\\Y App",
      kCuSoftware + u"Xco\\Y App",
      u"HKLM|" + kSoftware + u"Xco\\Y App",
      u"HKLM|SOFTWARE\\Wow6432Node\\Xco\\Y App",
  };
  EXPECT_EQ(wanted, ByName()) << Shown(ByName());
  // They come after every other area, in the delivered lists too.
  EXPECT_EQ(Text(u"HKLM|SOFTWARE\\Wow6432Node\\Xco\\Y App"), Found().back());
  for (const Text& row : Texts(Log().fileFolderCounts)) EXPECT_EQ(Text::npos, row.find(u"Y App Pro")) << U8(row);
}

TEST_F(NameAreas, PublisherPlacesAndTheInstallParentOnlyWhenNothingElseIsInThem) {
  // Without a neighbour the publisher's places are the program's, where
  // they hold nothing else: LocalAppData\Xco and HKLM\SOFTWARE\Xco only Y's;
  // AppData\Xco a stranger's file, HKCU\Software\Xco a value of its own.
  machine.AddFile(appData + u"Xco\\shared.ini", "x");
  machine.SetString(kCU, kSoftware + u"Xco", u"Licence", u"k");
  TraceProgram(u"Y App 5");
  std::set<Text> found = ByName();
  EXPECT_EQ(1u, found.count(localAppData + u"Xco"));
  EXPECT_EQ(1u, found.count(u"HKLM|" + kSoftware + u"Xco"));
  EXPECT_EQ(0u, found.count(appData + u"Xco"));
  EXPECT_EQ(0u, found.count(kCuSoftware + u"Xco"));
  EXPECT_EQ(1u, found.count(u"C:\\Program Files\\Xco"));  // holds only the install folder

  // Another program's folder beside the install folder keeps the parent;
  // a listed one of the same publisher keeps every publisher place.
  Log() = TraceLog();
  machine.AddFile(u"C:\\Program Files\\Xco\\Other\\o.txt", "x");
  TraceProgram(u"Y App 5");
  EXPECT_EQ(0u, ByName().count(u"C:\\Program Files\\Xco"));
  Log() = TraceLog();
  AddNeighbour();
  TraceProgram(u"Y App 5");
  found = ByName();
  for (const Text& place : {localAppData + u"Xco", u"HKLM|" + kSoftware + u"Xco", Text(u"C:\\Program Files\\Xco")})
    EXPECT_EQ(0u, found.count(place)) << U8(place);
  EXPECT_EQ(1u, found.count(localAppData + u"Xco\\Y App"));
}

TEST_F(NameAreas, NothingWhereNamesAreGenericShortOrAKeyPointsIntoAnotherProgram) {
  AddNeighbour();
  // A value in Y's key that names the neighbour's file: possibly theirs.
  machine.SetString(kLM, kSoftware + u"Xco\\Y App\\Plugins", u"Pro", u"\"C:\\Program Files\\Xco\\Y App Pro\\pro.exe\"");
  TraceProgram(u"Y App 5");
  EXPECT_EQ(0u, ByName().count(u"HKLM|" + kSoftware + u"Xco\\Y App"));
  EXPECT_EQ(1u, ByName().count(kCuSoftware + u"Xco\\Y App"));

  // A generic publisher and a short product name claim nothing by name.
  struct Case {
    const char16_t* publisher;
    const char16_t* name;
    const char16_t* folder;
  };
  for (const Case& c : {Case{u"Microsoft", u"Ab", u"C:\\Apps\\Ab"}, Case{u"", u"Temp", u"C:\\Apps\\Temp"}}) {
    machine.AddFile(Text(c.folder) + u"\\a.exe", "MZ");
    machine.AddFile(appData + c.publisher + u"\\" + c.name + u"\\x.dat", "x");
    machine.AddFile(appData + c.name + u"\\x.dat", "x");
    machine.CreateKey(kCU, kSoftware + c.publisher + u"\\" + c.name);
    AddProgram(c.name, c.folder)->publisher = c.publisher;
    Log() = TraceLog();
    TraceProgram(c.name);
    EXPECT_TRUE(ByName().empty()) << U8(c.name) << "\n" << Shown(ByName());
  }
}

// One trace of Y on a machine of its own, with one neighbour added first.
struct OneNeighbour : NameAreas {
  using NameAreas::AddProgram;
  using NameAreas::appData;
  using NameAreas::ForceRemove;
  using NameAreas::localAppData;
  using NameAreas::machine;
  using NameAreas::programData;
  using NameAreas::Shown;
  std::set<Text> ByNameRows() const { return ByName(); }
  void TestBody() override {}
  std::set<Text> Run(const Text& name, const Text& folder, const Text& publisher) {
    machine.AddFile(u"D:\\Games\\Y App\\g.exe", "MZ");
    machine.SetShortName(u"D:\\Games\\Y App", u"YAPP~1");
    machine.AddFile(u"C:\\Program Files\\Xco\\Q\\q.exe", "MZ");
    machine.AddFile(appData + u"Y App\\save.dat", "x");
    machine.CreateKey(kCU, kSoftware + u"Y App");
    AddProgram(name, folder)->publisher = publisher;
    TraceProgram(u"Y App 5");
    return ByName();
  }
};

TEST(NameAreasNeighbour, ANeighboursNamesCountHoweverItsEntrySpellsThem) {
  // A neighbour's names are what Windows makes of them: its folder reached
  // through "\.", "..", trailing dots and spaces, "/" or an 8.3 name is named
  // "Y App", and a publisher "Xco." or "XCO " writes into the folder "Xco".
  // None of those places may be claimed for Y.
  for (const char16_t* spelling : {u"D:\\Games\\Y App\\.", u"D:\\Games\\Y App\\..\\Y App", u"D:\\Games\\Y App.",
                                   u"D:\\Games\\Y App. . \\", u"D:/Games/Y App/.", u"D:\\Games\\YAPP~1"}) {
    OneNeighbour run;
    const std::set<Text> found = run.Run(u"Zed Game", spelling, u"Other Ltd");
    EXPECT_EQ(0u, found.count(run.appData + u"Y App")) << U8(spelling);
    EXPECT_EQ(0u, found.count(kCuSoftware + u"Y App")) << U8(spelling);
  }
  for (const char16_t* publisher : {u"Xco.", u"XCO ", u"Xco . .", u" xco.."}) {
    OneNeighbour run;
    const std::set<Text> found = run.Run(u"Q Tool", u"C:\\Program Files\\Xco\\Q", publisher);
    EXPECT_EQ(0u, found.count(run.localAppData + u"Xco")) << U8(publisher);
    EXPECT_EQ(1u, found.count(run.localAppData + u"Xco\\Y App")) << U8(publisher);
  }
}

TEST(NameAreasNeighbour, AFolderOnAnotherProgramsInstallPathIsTheirs) {
  // Chrome's and Reader's data lie under their vendor folders, named as
  // their install paths name them, not as their publishers ("Google LLC",
  // "Adobe Inc."): a folder picked for Force Remove, or a program, named
  // "Google" or "Adobe" claims none of it; nor a link in a base ("Templates"
  // in ProgramData, a junction of Windows') by its name.
  for (const char16_t* name : {u"Google", u"Adobe", u"Chrome", u"Templates", u"VirtualStore", u"Package Cache"}) {
    OneNeighbour run;
    run.machine.AddFile(u"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe", "MZ");
    run.machine.AddFile(run.localAppData + u"Google\\Chrome\\User Data\\Default\\Bookmarks", "x");
    run.machine.AddFile(run.localAppData + u"Chrome\\x.dat", "x");
    run.machine.AddFile(run.appData + u"Adobe\\Acrobat\\prefs.dat", "x");
    run.AddProgram(u"Google Chrome", u"C:\\Program Files\\Google\\Chrome\\Application")->publisher =
        u"Google LLC";
    run.machine.AddFile(u"C:\\Program Files\\Adobe\\Acrobat DC\\Reader\\r.exe", "MZ");
    run.AddProgram(u"Adobe Acrobat Reader", u"C:\\Program Files\\Adobe\\Acrobat DC\\Reader")->publisher =
        u"Adobe Inc.";
    // Windows' compatibility junctions in the bases are no one's data.
    run.machine.AddFile(u"C:\\ProgramData\\Microsoft\\Windows\\Templates\\t.dot", "x");
    run.machine.AddDirectoryLink(run.programData + u"Templates", u"C:\\ProgramData\\Microsoft\\Windows\\Templates");
    // Nor Windows' own folders there, which every program shares.
    run.machine.AddFile(run.localAppData + u"VirtualStore\\Program Files (x86)\\Old\\o.ini", "x");
    run.machine.AddFile(run.programData + u"Package Cache\\{0000}\\setup.exe", "MZ");
    run.machine.AddFile(Text(u"D:\\Old\\") + name + u"\\x.exe", "MZ");
    run.ForceRemove(Text(u"D:\\Old\\") + name);
    EXPECT_TRUE(run.ByNameRows().empty()) << U8(name) << ": " << OneNeighbour::Shown(run.ByNameRows());
  }
}

TEST_F(NameAreas, ForceRemoveTakesTheFoldersNameAlone) {
  AddNeighbour();
  machine.AddFile(u"D:\\Tools\\Y App\\y.exe", "MZ");
  machine.AddFile(appData + u"Y App\\save.dat", "x");
  machine.CreateKey(kCU, kSoftware + u"Y App");
  ForceRemove(u"D:\\Tools\\Y App");
  // "Y App" is a listed program's folder name: nothing by that name.
  EXPECT_TRUE(ByName().empty()) << Shown(ByName());

  // A name no listed program has: the places named exactly so, never one
  // whose name extends it, a publisher's folder or the picked folder's parent.
  machine.AddFile(u"D:\\Tools\\W Tool\\w.exe", "MZ");
  for (const Text& folder : {appData + u"W Tool", appData + u"W Tool Pro", appData + u"Xco\\W Tool",
                             programData + u"W Tool"})
    machine.AddFile(folder + u"\\w.dat", "x");
  machine.CreateKey(kCU, kSoftware + u"W Tool");
  machine.CreateKey(kCU, kSoftware + u"W Tools");
  Log() = TraceLog();
  ForceRemove(u"D:\\Tools\\W Tool");
  EXPECT_EQ((std::set<Text>{appData + u"W Tool", programData + u"W Tool", kCuSoftware + u"W Tool"}), ByName());
}

}  // namespace
}  // namespace tw::testing_trace
