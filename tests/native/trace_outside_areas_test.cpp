// The areas outside the program's folders that point into them: shortcuts,
// App Paths, context-menu verbs and handlers, firewall rules. One generated
// machine holds every form a value takes, for the program and for a
// neighbour whose folder name extends the program's; the trace must claim
// exactly the program's, and the deletion must take exactly those and never
// the keys above them.
#include <gtest/gtest.h>

#include "cleanup/deletion_guard.h"
#include "cleanup/leftover_deletion.h"
#include "tests/native/trace_harness.h"

namespace tw::testing_trace {
namespace {

const Text kProgram = u"C:\\Program Files\\Foo Paint";
const Text kNeighbour = u"C:\\Program Files\\Foo Paint Pro";
const Text kAppPaths = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const Text kRules = u"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules";
const Text kCommonPrograms = u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
const Text kUserStartMenu = u"C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
const Text kUserPrograms = kUserStartMenu + u"\\Programs";
const Text kPublicDesktop = u"C:\\Users\\Public\\Desktop";
const Text kUserDesktop = u"C:\\Users\\user\\Desktop";
const Text kClasses[] = {u"*", u"AllFilesystemObjects", u"Directory", u"Directory\\Background", u"Folder", u"Drive"};
const Text kOwnClass = u"{F00BA127-0000-4000-8000-000000000001}";
const Text kNeighbourClass = u"{F00BA127-0000-4000-8000-000000000002}";

Text Num(std::size_t i) { return FromUtf8(std::to_string(i)); }

struct Form {
  Text value;
  bool bare;     // a path alone: a shortcut's target, a rule's App=, a Path folder
  bool belongs;  // names something in the program's folder
};

// Every form a path takes in these values, for the program and its near misses.
std::vector<Form> Forms() {
  return {
      {kProgram + u"\\fp.exe", true, true},
      {u"\"" + kProgram + u"\\fp.exe\" \"%1\"", false, true},
      {kProgram + u"\\fp.exe /open %1", false, true},
      {u"%ProgramFiles%\\Foo Paint\\fp.exe", true, true},
      {u"%programfiles%\\foo paint\\FP.EXE", true, true},
      {u"c:\\program files\\FOO PAINT\\Fp.exe", true, true},
      {u"C:\\Windows\\System32\\rundll32.exe \"" + kProgram + u"\\ext.dll\",Open %1", false, true},
      {kNeighbour + u"\\fpp.exe", true, false},
      {u"\"" + kNeighbour + u"\\fpp.exe\" \"%1\"", false, false},
      {u"%ProgramFiles%\\Foo Paint Pro\\fpp.exe", true, false},
      {u"%ProgramFiles(x86)%\\Foo Paint\\fp.exe", true, false},
      {u"C:\\Program Files\\Foo Paintbrush\\fp.exe", true, false},
      {u"C:\\Windows\\notepad.exe %1", false, false},
      // ".." and "." steps are taken as Windows takes them, "/" too.
      {kProgram + u"\\..\\Foo Paint Pro\\fpp.exe", true, false},
      {u"%ProgramFiles%\\Foo Paint\\.\\..\\Foo Paint Pro\\fpp.exe", true, false},
      {u"\"" + kProgram + u"\\bin\\..\\../Foo Paint Pro\\fpp.exe\" \"%1\"", false, false},
      {kNeighbour + u"\\..\\Foo Paint\\fp.exe", true, true},
      {u"C:\\Windows\\notepad.exe \"" + kProgram + u"\\..\\Foo Paint Pro\\readme.txt\"", false, false},
      // The neighbour's own command, which names the program's file as an argument.
      {u"\"" + kNeighbour + u"\\fpp.exe\" /import \"" + kProgram + u"\\fp.exe\"", false, false},
  };
}

Text FolderOf(const Text& path) { return path.substr(0, path.rfind(u'\\')); }

class TraceOutsideAreas : public TraceFixture {
 protected:
  TraceOutsideAreas() {
    machine.AddFile(kProgram + u"\\fp.exe", "MZ");
    machine.AddFile(kProgram + u"\\ext.dll", "MZ");
    machine.AddFile(kNeighbour + u"\\fpp.exe", "MZ");
  }

  static std::pair<HKey, Text> Root(std::size_t i) {
    return i % 2 ? std::make_pair(kCU, Text(u"HKCU")) : std::make_pair(kLM, Text(u"HKLM"));
  }
  void Expect(bool belongs, const Text& entry) { (belongs ? claimed : missed).push_back(entry); }

  // The generated machine: for every form an App Paths entry (by its default
  // value, and one by its Path list), a verb of one shell class, and for the
  // bare forms a firewall rule and a shortcut, each in a Start Menu folder
  // of its own or on a Desktop.
  void Generate() {
    const std::vector<Form> forms = Forms();
    for (std::size_t i = 0; i < forms.size(); ++i) {
      const Form& form = forms[i];
      const auto root = Root(i);
      const Text app = kAppPaths + u"tool" + Num(i) + u".exe";
      machine.SetString(root.first, app, Text(), form.value);
      Expect(form.belongs, root.second + u"|" + app);

      const auto verbRoot = Root(i / 2);
      const Text classes = verbRoot.first == kLM ? Text(u"SOFTWARE\\Classes\\") : Text(u"Software\\Classes\\");
      const Text verb = classes + kClasses[i % 6] + u"\\shell\\Verb" + Num(i);
      machine.SetString(verbRoot.first, verb + u"\\command", Text(), form.value);
      Expect(form.belongs, verbRoot.second + u"|" + verb);

      if (!form.bare) continue;
      // By its Path list only where it names no program of its own: one
      // that starts another program is that program's, whatever its Path
      // adds (a shared runtime's folder, say).
      const Text withPath = kAppPaths + u"path" + Num(i) + u".exe";
      machine.SetString(root.first, withPath, u"Path", u"C:\\Windows;" + FolderOf(form.value) + u";");
      Expect(form.belongs, root.second + u"|" + withPath);
      const Text otherProgram = kAppPaths + u"other" + Num(i) + u".exe";
      machine.SetString(root.first, otherProgram, Text(), u"C:\\Windows\\x.exe");
      machine.SetString(root.first, otherProgram, u"Path", u"C:\\Windows;" + FolderOf(form.value) + u";");
      Expect(false, root.second + u"|" + otherProgram);

      const Text rule = u"Rule" + Num(i);
      machine.SetString(kLM, kRules, rule,
                        u"v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=6|" + Text(i % 3 ? u"App=" : u"app=") +
                            form.value + u"|Name=Rule " + Num(i) + u"|");
      Expect(form.belongs, u"HKLM|" + kRules + u"|" + rule);

      Text link;
      switch (i % 4) {
        case 0: link = kCommonPrograms + u"\\Vendor " + Num(i) + u"\\App " + Num(i) + u".lnk"; break;
        case 1: link = kUserPrograms + u"\\Vendor " + Num(i) + u"\\Sub\\App " + Num(i) + u".lnk"; break;
        case 2: link = kPublicDesktop + u"\\App " + Num(i) + u".lnk"; break;
        default: link = kUserDesktop + u"\\App " + Num(i) + u".LNK"; break;
      }
      machine.AddShortcut(link, form.value);
      Expect(form.belongs, link);
      // A Start Menu folder holding only this shortcut goes with it.
      if (i % 4 == 0) Expect(form.belongs, FolderOf(link));
      if (i % 4 == 1) {
        Expect(form.belongs, FolderOf(link));
        Expect(form.belongs, FolderOf(FolderOf(link)));
      }
    }
    // A rule without App=, and a value of no rule form.
    machine.SetString(kLM, kRules, u"NoApp", u"v2.30|Action=Allow|Dir=In|Name=" + kProgram + u"\\fp.exe|");
    missed.push_back(u"HKLM|" + kRules + u"|NoApp");

    // Context-menu handlers: the program's class (its server in the folder)
    // named by a handler's default value and by a handler's own name; the
    // neighbour's class named the same ways.
    machine.SetString(kLM, u"SOFTWARE\\Classes\\CLSID\\" + kOwnClass + u"\\InprocServer32", Text(),
                      kProgram + u"\\ext.dll");
    machine.SetString(kLM, u"SOFTWARE\\Classes\\CLSID\\" + kNeighbourClass + u"\\InprocServer32", Text(),
                      kNeighbour + u"\\ext.dll");
    for (std::size_t c = 0; c < 6; ++c) {
      const auto root = Root(c);
      const Text classes = root.first == kLM ? Text(u"SOFTWARE\\Classes\\") : Text(u"Software\\Classes\\");
      const Text handlers = classes + kClasses[c] + u"\\shellex\\ContextMenuHandlers\\";
      machine.SetString(root.first, handlers + u"FooMenu", Text(), c % 2 ? LowerAscii(kOwnClass) : kOwnClass);
      Expect(true, root.second + u"|" + handlers + u"FooMenu");
      machine.CreateKey(root.first, handlers + (c % 2 ? LowerAscii(kOwnClass) : kOwnClass));
      Expect(true, root.second + u"|" + handlers + (c % 2 ? LowerAscii(kOwnClass) : kOwnClass));
      machine.SetString(root.first, handlers + u"ProMenu", Text(), kNeighbourClass);
      Expect(false, root.second + u"|" + handlers + u"ProMenu");
      machine.CreateKey(root.first, handlers + kNeighbourClass);
      Expect(false, root.second + u"|" + handlers + kNeighbourClass);
    }
  }

  // Whether a listed entry (a path or a registry line) is still there.
  bool Exists(const Text& entry) {
    RegistryLine parts;
    if (entry.find(u'|') == Text::npos) return machine.Exists(entry);
    EXPECT_TRUE(ParseRegistryLine(entry, &parts)) << U8(entry);
    return RegistryEntryExists(parts, true);
  }

  TextList claimed;
  TextList missed;
};

TEST_F(TraceOutsideAreas, EveryFormIsClaimedExactlyWhenItPointsIntoTheFolderAndTheDeletionTakesOnlyThat) {
  Generate();
  AddProgram(u"Foo Paint Pro", kNeighbour);
  InstalledProgram* record = AddProgram(u"Foo Paint", kProgram);
  TraceProgram(u"Foo Paint");

  TextList paths = record->tracedFiles;
  paths.insert(paths.end(), record->tracedFolders.begin(), record->tracedFolders.end());
  const TextList& lines = record->tracedRegistry;
  const auto times = [&](const Text& entry) {
    return entry.find(u'|') == Text::npos ? CountOf(paths, entry) : CountOf(lines, entry);
  };
  for (const Text& entry : claimed) EXPECT_EQ(1, times(entry)) << "not claimed once: " << U8(entry);
  for (const Text& entry : missed) EXPECT_EQ(0, times(entry)) << "claimed: " << U8(entry);
  // The Start Menus and Desktops themselves, and their own folders, never.
  for (const Text& folder : {kCommonPrograms, kUserPrograms, kUserStartMenu, kPublicDesktop, kUserDesktop}) {
    EXPECT_EQ(0, CountOf(paths, folder)) << U8(folder);
  }
  // Found after the registry areas, the firewall rules last: the last registry
  // lines are these areas' own.
  ASSERT_FALSE(Found().empty());
  EXPECT_NE(Text::npos, Found().back().find(u"FirewallRules|")) << U8(Found().back());

  DeletionRequest request;
  request.folders = record->tracedFolders;
  request.files = record->tracedFiles;
  request.registry = record->tracedRegistry;
  request.otherProgramFolders = {kNeighbour};
  request.programFolder = u"C:\\Tools\\Tidewell\\";
  request.programName = u"Foo Paint";
  request.publisher = Text(u"Foo Software");
  request.uninstallType = 1;
  const DeletionReport report = DeleteLeftovers(request);
  EXPECT_TRUE(report.refusedRegistry.empty()) << Joined(report.refusedRegistry);
  EXPECT_TRUE(report.refusedPaths.empty()) << Joined(report.refusedPaths);
  EXPECT_EQ(DeletionOutcome::kComplete, report.outcome) << Joined(report.remainingRegistry);
  for (const Text& entry : claimed) EXPECT_FALSE(Exists(entry)) << "left: " << U8(entry);
  for (const Text& entry : missed) EXPECT_TRUE(Exists(entry)) << "deleted: " << U8(entry);
  // Only the named entry went: every key above it stays.
  for (std::size_t c = 0; c < 6; ++c) {
    const auto root = Root(c);
    const Text classes = root.first == kLM ? Text(u"SOFTWARE\\Classes\\") : Text(u"Software\\Classes\\");
    EXPECT_TRUE(machine.KeyExists(root.first, classes + kClasses[c] + u"\\shellex\\ContextMenuHandlers"))
        << U8(kClasses[c]);
    for (const auto& verbRoot : {std::make_pair(kLM, Text(u"SOFTWARE\\Classes\\")),
                                 std::make_pair(kCU, Text(u"Software\\Classes\\"))}) {
      EXPECT_TRUE(machine.KeyExists(verbRoot.first, verbRoot.second + kClasses[c] + u"\\shell")) << U8(kClasses[c]);
    }
  }
  EXPECT_TRUE(machine.KeyExists(kLM, kAppPaths));
  EXPECT_TRUE(machine.KeyExists(kCU, kAppPaths));
  EXPECT_TRUE(machine.KeyExists(kLM, kRules));
  for (const Text& folder : {kCommonPrograms, kUserPrograms, kPublicDesktop, kUserDesktop}) {
    EXPECT_TRUE(machine.Exists(folder)) << U8(folder);
  }
}

TEST_F(TraceOutsideAreas, AStartMenuFolderIsOfferedOnlyWhenItHoldsNothingElse) {
  const Text own = kProgram + u"\\fp.exe";
  const Text other = kNeighbour + u"\\fpp.exe";
  const Text group = kCommonPrograms + u"\\Foo Paint";
  machine.AddShortcut(group + u"\\Foo Paint.lnk", own);
  machine.AddShortcut(group + u"\\Tools\\Helper.lnk", kProgram);  // a shortcut to the folder itself
  machine.AddShortcut(group + u"\\Tools\\Deeper\\Uninstall.lnk", own);
  // Beside a file of the user's, or an unreadable shortcut, or the
  // neighbour's shortcut, a folder stays and only the program's shortcut goes.
  machine.AddShortcut(kUserPrograms + u"\\Mixed\\Foo.lnk", own);
  machine.AddFile(kUserPrograms + u"\\Mixed\\Notes.txt", "mine");
  machine.AddShortcut(kUserPrograms + u"\\Broken\\Foo.lnk", own);
  machine.AddFile(kUserPrograms + u"\\Broken\\Damaged.lnk", "not a shell link");
  machine.AddShortcut(kUserPrograms + u"\\Shared\\Foo.lnk", own);
  machine.AddShortcut(kUserPrograms + u"\\Shared\\Pro.lnk", other);
  machine.AddShortcut(kUserPrograms + u"\\Pro Only\\Pro.lnk", other);
  machine.AddDirectory(kUserPrograms + u"\\Empty");
  // Directly in the Start Menu's own folders, which are never offered even
  // when the program's shortcut is all they hold.
  machine.AddShortcut(kCommonPrograms + u"\\Startup\\Foo Tray.lnk", own);
  machine.AddShortcut(kUserStartMenu + u"\\Foo Paint.lnk", own);
  // The Desktops are not searched below their top level.
  machine.AddShortcut(kUserDesktop + u"\\Folder\\Foo.lnk", own);
  AddProgram(u"Foo Paint Pro", kNeighbour);
  InstalledProgram* record = AddProgram(u"Foo Paint", kProgram);
  TraceProgram(u"Foo Paint");

  const TextList files = record->tracedFiles;
  for (const Text& link : {group + u"\\Foo Paint.lnk", group + u"\\Tools\\Helper.lnk",
                           group + u"\\Tools\\Deeper\\Uninstall.lnk", kUserPrograms + u"\\Mixed\\Foo.lnk",
                           kUserPrograms + u"\\Broken\\Foo.lnk", kUserPrograms + u"\\Shared\\Foo.lnk",
                           kCommonPrograms + u"\\Startup\\Foo Tray.lnk", kUserStartMenu + u"\\Foo Paint.lnk"}) {
    EXPECT_EQ(1, CountOf(files, link)) << U8(link);
  }
  for (const Text& link : {kUserPrograms + u"\\Broken\\Damaged.lnk", kUserPrograms + u"\\Shared\\Pro.lnk",
                           kUserPrograms + u"\\Pro Only\\Pro.lnk", kUserDesktop + u"\\Folder\\Foo.lnk",
                           kUserPrograms + u"\\Mixed\\Notes.txt"}) {
    EXPECT_EQ(0, CountOf(files, link)) << U8(link);
  }
  // The install folder, and exactly the folders that hold nothing else (the
  // lists are sorted at the end).
  EXPECT_EQ((TextList{kProgram, group, group + u"\\Tools", group + u"\\Tools\\Deeper"}), record->tracedFolders)
      << Joined(record->tracedFolders);
  // A value naming an offered Start Menu folder is no evidence for the
  // areas after it: they compare with the program's folders only.
  machine.SetString(kLM, kAppPaths + u"menu.exe", Text(), group + u"\\Foo Paint.lnk");
  TraceProgram(u"Foo Paint");
  EXPECT_EQ(0, CountOf(record->tracedRegistry, u"HKLM|" + kAppPaths + u"menu.exe"));
}

// The guard reads a service's program: the firewall's own key is a service
// line, refused as Windows' own by the service host it starts.
class OutsideAreasGuard : public TraceFixture {
 protected:
  const Text kDefault;  // the default value's empty name
};

TEST_F(OutsideAreasGuard, TheKeysAboveAVerbAHandlerAndARuleAreRefusedTheEntriesAreNot) {
  machine.AddService(u"FooPaintUpdater", u"C:\\Program Files\\Foo Paint\\update.exe");
  machine.AddService(u"SharedAccess", u"C:\\Windows\\System32\\svchost.exe -k netsvcs");
  struct Root {
    Text text;
    Text classes;
  };
  const Root roots[] = {{u"HKLM", u"SOFTWARE\\Classes\\"},
                        {u"HKLM", u"SOFTWARE\\Wow6432Node\\Classes\\"},
                        {u"HKCU", u"Software\\Classes\\"},
                        {u"HKCR", u"\\"},
                        {u"HKU", u"S-1-5-21-0-0-0-1000_Classes\\"},
                        {u"HKU", u"S-1-5-21-0-0-0-1000\\Software\\Classes\\"}};
  for (const Root& root : roots) {
    for (const Text& shellClass : kClasses) {
      const Text base = root.classes + shellClass;
      for (const Text& above : {base, base + u"\\shell", base + u"\\shellex", base + u"\\shellex\\ContextMenuHandlers"}) {
        EXPECT_TRUE(IsProtectedRegistryEntry(root.text, above, nullptr)) << U8(root.text + u"|" + above);
      }
      for (const Text& entry : {base + u"\\shell\\FooEdit", base + u"\\shellex\\ContextMenuHandlers\\FooMenu"}) {
        EXPECT_FALSE(IsProtectedRegistryEntry(root.text, entry, nullptr)) << U8(root.text + u"|" + entry);
        EXPECT_FALSE(IsProtectedRegistryEntry(root.text, entry + u"\\command", &kDefault)) << U8(entry);
      }
    }
    // A value a program redirected in a class every start goes through is
    // still Windows': without exefile's open command no program starts.
    // The same for the keys, and for Windows' own verbs in the menus.
    for (const Text& key : {Text(u"exefile\\shell\\open\\command"), Text(u"lnkfile\\DefaultIcon"), Text(u".exe"),
                            Text(u"Folder"), Text(u"Directory\\DefaultIcon"), Text(u"Folder\\shell\\open\\command"),
                            Text(u"Directory\\shell\\cmd"), Text(u"Drive\\shell\\find")}) {
      EXPECT_TRUE(IsProtectedRegistryEntry(root.text, root.classes + key, &kDefault)) << U8(root.text + u"|" + key);
      EXPECT_TRUE(IsProtectedRegistryEntry(root.text, root.classes + key, nullptr)) << U8(root.text + u"|" + key);
    }
  }
  const Text rule = u"{6E1C5C3A-1111-4000-8000-000000000001}";
  for (const char16_t* controlSet : {u"CurrentControlSet", u"ControlSet001", u"controlset002"}) {
    const Text access = Text(u"SYSTEM\\") + controlSet + u"\\Services\\SharedAccess";
    const Text rules = access + u"\\Parameters\\FirewallPolicy\\FirewallRules";
    for (const Text& above : {access, access + u"\\Parameters", access + u"\\Parameters\\FirewallPolicy", rules,
                              access + u"\\Parameters\\FirewallPolicy\\StandardProfile"}) {
      EXPECT_TRUE(IsProtectedRegistryEntry(u"HKLM", above, nullptr)) << U8(above);
    }
    // The firewall's settings are no program's, even as values.
    const Text enable = u"EnableFirewall";
    EXPECT_TRUE(IsProtectedRegistryEntry(u"HKLM", access + u"\\Parameters\\FirewallPolicy\\StandardProfile", &enable));
    EXPECT_TRUE(IsProtectedRegistryEntry(u"HKLM", access + u"\\Parameters\\FirewallPolicy", &rule));
    EXPECT_FALSE(IsProtectedRegistryEntry(u"HKLM", rules, &rule)) << U8(rules);
  }
  const Text appPaths = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
  EXPECT_TRUE(IsProtectedRegistryEntry(u"HKLM", appPaths, nullptr));
  EXPECT_TRUE(IsProtectedRegistryEntry(u"HKCU", appPaths, nullptr));
  EXPECT_FALSE(IsProtectedRegistryEntry(u"HKLM", appPaths + u"\\fp.exe", nullptr));
  // Another service's own key stays deletable.
  EXPECT_FALSE(IsProtectedRegistryEntry(u"HKLM", u"SYSTEM\\CurrentControlSet\\Services\\FooPaintUpdater", nullptr));
}

}  // namespace
}  // namespace tw::testing_trace
