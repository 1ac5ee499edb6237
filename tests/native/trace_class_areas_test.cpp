// The registry areas built on class registrations: file types and the
// extensions naming them (HKLM and HKCR), the Installer folder and shared DLL
// lists, and the COM chain from type libraries through classes and
// interfaces to the shell and browser lists that name classes.
#include <gtest/gtest.h>

#include "cleanup/leftover_deletion.h"
#include "cleanup/still_existing.h"
#include "tests/native/trace_harness.h"

namespace tw::testing_trace {
namespace {

const Text kClasses = u"SOFTWARE\\Classes\\";
const Text kFooExe = u"C:\\Program Files\\Foo\\foo.exe";

class TraceClassAreas : public TraceFixture {
 protected:
  TraceClassAreas() {
    machine.AddFile(kFooExe, "MZ");
    machine.AddFile(u"C:\\Program Files\\FooBar\\bar.exe", "MZ");
  }
  void Default(HKey root, const Text& key, const Text& value) { machine.SetString(root, key, u"", value); }
  void TraceFoo() {
    AddProgram(u"Foo", u"C:\\Program Files\\Foo\\");
    TraceProgram(u"Foo");
  }
  // Deletes `registry` as the leftovers of Foo (64-bit unless told), after judging it again.
  DeletionReport DeleteAsFoo(const TextList& registry, int uninstallType = 1) {
    DeletionRequest request;
    request.folders = {u"C:\\Program Files\\Foo\\"};
    request.registry = registry;
    request.programFolder = u"C:\\Tools\\Tidewell\\";
    request.uninstallType = uninstallType;
    request.programName = u"Foo";
    request.publisher = u"Foo Ltd";
    return DeleteLeftovers(request);
  }
  bool AnyLineContains(const Text& part) const {
    for (const Text& line : Found()) {
      if (Contains(line, part)) return true;
    }
    return false;
  }
};

TEST_F(TraceClassAreas, FileTypesInTheFolderAndTheExtensionsNamingThem) {
  Default(kLM, kClasses + u"Foo.Document\\Shell\\Open\\Command", u"\"" + kFooExe + u"\" \"%1\"");
  Default(kLM, kClasses + u".foo", u"foo.document");
  Default(kLM, kClasses + u".fo2", u"FOO.DOCUMENT");
  Default(kLM, kClasses + u"Foo.Icon\\DefaultIcon", kFooExe + u",1");
  Default(kLM, kClasses + u"Short.Document\\Shell\\Open\\Command", u"C:\\PROGRA~1\\Foo\\foo.exe /open \"%1\"");
  // A command that misses wins over an icon that would match.
  Default(kLM, kClasses + u"Mixed.Document\\Shell\\Open\\Command", u"C:\\Elsewhere\\x.exe");
  Default(kLM, kClasses + u"Mixed.Document\\DefaultIcon", kFooExe + u",2");
  Default(kLM, kClasses + u".mix", u"Mixed.Document");
  Default(kLM, kClasses + u"Bar.Document\\Shell\\Open\\Command", u"C:\\Program Files\\FooBar\\bar.exe \"%1\"");
  Default(kLM, kClasses + u".bar", u"Bar.Document");
  // A short-name piece that does not exist: the value names nothing.
  Default(kLM, kClasses + u"Stale.Document\\Shell\\Open\\Command", u"C:\\Program Files\\Foo\\~stale\\x.exe");
  // An extension of the 32-bit classes naming a type matched in the plain ones.
  Default(kLM, kClasses + u"Wow6432Node\\.foo32", u"Foo.Document");
  // A type only the user registered: seen through HKCR, with no extensions.
  Default(kCU, u"Software\\Classes\\User.Document\\Shell\\Open\\Command", kFooExe);
  Default(kCU, u"Software\\Classes\\.usr", u"User.Document");
  TraceFoo();

  for (const Text& line : {u"Foo.Document", u"Foo.Icon", u"Short.Document", u".foo", u".fo2"}) {
    EXPECT_EQ(1, Times(u"HKLM|" + kClasses + line)) << U8(line);
  }
  for (const Text& line : {u"Mixed.Document", u".mix", u"Bar.Document", u".bar", u"Stale.Document", u"User.Document"}) {
    EXPECT_EQ(0, Times(u"HKLM|" + kClasses + line)) << U8(line);
  }
  const Text wowExtension = u"HKLM|SOFTWARE\\Wow6432Node\\Classes\\.foo32";
  EXPECT_EQ(1, Times(wowExtension)) << Joined(Found());

  // Extensions come after every file type of their variant.
  for (const Text& type : {u"Foo.Document", u"Foo.Icon", u"Short.Document"}) {
    for (const Text& extension : {u".foo", u".fo2"}) {
      EXPECT_LT(FoundAt(u"HKLM|" + kClasses + type), FoundAt(u"HKLM|" + kClasses + extension));
    }
  }
  EXPECT_LT(FoundAt(u"HKLM|" + kClasses + u".foo"), FoundAt(wowExtension));

  // HKEY_CLASSES_ROOT: the machine's and the user's file types, no extensions.
  for (const Text& type : {u"Foo.Document", u"Foo.Icon", u"Short.Document", u"User.Document"}) {
    EXPECT_EQ(1, Times(u"HKCR|\\" + type)) << U8(type);
    EXPECT_LT(FoundAt(wowExtension), FoundAt(u"HKCR|\\" + type));
  }
  for (const Text& type : {u"Mixed.Document", u"Bar.Document", u"Stale.Document", u".foo", u".usr"}) {
    EXPECT_EQ(0, Times(u"HKCR|\\" + type)) << U8(type);
  }
  EXPECT_FALSE(AnyLineContains(u".usr")) << Joined(Found());
}

// A file type shared with Windows and other programs is claimed at the
// grain the program owns, and a value the uninstaller (or the user) pointed
// elsewhere since the trace is left as it is at deletion time: over every
// shape of extension key, kind of ProgID and change since the trace.
TEST_F(TraceClassAreas, SharedFileTypesAtTheProgramsGrainJudgedAgainAtDeletion) {
  const Text notepad = u"%SystemRoot%\\system32\\NOTEPAD.EXE";
  for (int windowsProgId = 0; windowsProgId < 2; ++windowsProgId) {
    for (int sharedExtension = 0; sharedExtension < 2; ++sharedExtension) {
      for (int restored = 0; restored < 3; ++restored) {
        SCOPED_TRACE(testing::Message() << "Windows ProgID " << windowsProgId << ", shared extension "
                                        << sharedExtension << ", put back " << restored);
        machine.RemoveKeyTree(kLM, kClasses + u".txt");
        machine.RemoveKeyTree(kLM, kClasses + u"txtfile");
        machine.RemoveKeyTree(kLM, kClasses + u"Foo.Text");
        const Text progId = windowsProgId ? u"txtfile" : u"Foo.Text";
        const Text open = kClasses + progId + u"\\shell\\open\\command";
        Default(kLM, open, u"\"" + kFooExe + u"\" \"%1\"");
        Default(kLM, kClasses + progId + u"\\DefaultIcon", kFooExe + u",0");
        if (windowsProgId) {
          Default(kLM, kClasses + u"txtfile", u"@%SystemRoot%\\system32\\notepad.exe,-469");
          Default(kLM, kClasses + u"txtfile\\shell\\print\\command", notepad + u" /p %1");
        }
        Default(kLM, kClasses + u".txt", progId);
        if (sharedExtension) {
          machine.SetString(kLM, kClasses + u".txt", u"Content Type", u"text/plain");
          machine.SetString(kLM, kClasses + u".txt", u"PerceivedType", u"text");
          machine.SetString(kLM, kClasses + u".txt\\ShellNew", u"ItemName", u"@%SystemRoot%\\system32\\notepad.exe,-470");
          machine.SetString(kLM, kClasses + u".txt\\OpenWithProgids", u"Other.Text", u"");
          machine.SetString(kLM, kClasses + u".txt\\OpenWithProgids", progId, u"");
        }
        Log() = TraceLog();
        TraceFoo();
        const TextList found = Found();
        const bool ownWhole = !windowsProgId;
        EXPECT_EQ(ownWhole ? 1 : 0, Times(u"HKLM|" + kClasses + progId)) << Joined(found);
        EXPECT_EQ(windowsProgId ? 1 : 0, Times(u"HKLM|" + open + u"|")) << Joined(found);
        // The extension: whole only when nothing but the program's is in it.
        EXPECT_EQ(ownWhole && !sharedExtension ? 1 : 0, Times(u"HKLM|" + kClasses + u".txt")) << Joined(found);
        EXPECT_EQ(ownWhole && sharedExtension ? 1 : 0, Times(u"HKLM|" + kClasses + u".txt|")) << Joined(found);
        EXPECT_EQ(ownWhole && sharedExtension ? 1 : 0, Times(u"HKLM|" + kClasses + u".txt\\OpenWithProgids|Foo.Text"))
            << Joined(found);

        if (restored) {
          // The program's uninstaller gave .txt and txtfile back to Windows.
          Default(kLM, kClasses + u".txt", u"txtfile");
          // Or to an editor whose argument only passes through the
          // program's folder on its way to another ("..").
          Default(kLM, kClasses + u"txtfile\\shell\\open\\command",
                  restored == 1 ? notepad + u" %1" : notepad + u" C:\\Program Files\\Foo\\..\\Bar\\%1");
        }
        const DeletionReport report = DeleteAsFoo(found, 0);
        std::uint32_t type = 0;
        std::string bytes;
        // What Windows and the other programs keep in the shared keys stays.
        if (sharedExtension) {
          for (const Text& name : {u"Content Type", u"PerceivedType"})
            EXPECT_TRUE(machine.ValueExists(kLM, kClasses + u".txt", name)) << U8(name);
          EXPECT_TRUE(machine.ValueExists(kLM, kClasses + u".txt\\ShellNew", u"ItemName"));
          EXPECT_TRUE(machine.ValueExists(kLM, kClasses + u".txt\\OpenWithProgids", u"Other.Text"));
        }
        if (windowsProgId) {
          EXPECT_TRUE(machine.KeyExists(kLM, kClasses + u"txtfile\\shell\\print\\command"));
          EXPECT_TRUE(machine.ValueExists(kLM, kClasses + u"txtfile", u""));
        }
        // A value put back is Windows' again; one still naming the program goes.
        const bool txtDefault = machine.ReadValue(kLM, kClasses + u".txt", u"", &type, &bytes);
        if (restored) {
          EXPECT_TRUE(txtDefault);
          EXPECT_TRUE(machine.ValueExists(kLM, kClasses + u"txtfile\\shell\\open\\command", u""));
          EXPECT_GE(report.changedKept, 1u) << U8(report.message);
        } else {
          // Windows' ".txt" names Windows' ProgID, whose command alone was the program's.
          EXPECT_EQ(bool(windowsProgId), txtDefault);
          EXPECT_FALSE(machine.ValueExists(kLM, open, u""));
        }
      }
    }
  }
}

// A ProgID whose open command and icon the program took over is still its
// owner's while it names the owner's class (as its CLSID, a DelegateExecute,
// a shell extension by value or by name) or a module spelt without folder or
// ".dll": only the values pointing into the folder are offered, and the
// owner's entries stay. Naming the program's own class, it is the program's.
// In both Classes keys; and an extension whose default is another ProgID
// is not claimed whole for listing the program's in OpenWithProgids.
TEST_F(TraceClassAreas, AProgIdNamingAnotherProgramsClassOrModuleIsNotClaimedWhole) {
  const Text others = u"{0A0A0A0A-0000-4000-8000-00000000000A}", own = u"{0F0F0F0F-0000-4000-8000-00000000000F}";
  Default(kLM, kClasses + u"CLSID\\" + others + u"\\InprocServer32", u"C:\\Other\\other.dll");
  Default(kLM, kClasses + u"CLSID\\" + own + u"\\LocalServer32", kFooExe);
  struct Mark {
    const char* what;
    Text key, name, data;
    bool whole;
  };
  const Mark marks[] = {
      {"its class", u"CLSID", u"", others, false},
      {"a DelegateExecute", u"shell\\open\\command", u"DelegateExecute", others, false},
      {"a handler by value", u"shellex\\PropertySheetHandlers\\Other", u"", others, false},
      {"a handler by name", u"shellex\\ContextMenuHandlers\\" + others, u"", u"", false},
      {"a module's icon", u"shell\\print", u"Icon", u"imageres,-5302", false},
      {"the program's own class", u"CLSID", u"", own, true},
  };
  for (const Text& variant : {kClasses, Text(u"SOFTWARE\\Wow6432Node\\Classes\\")}) {
    for (const Mark& mark : marks) {
      SCOPED_TRACE(U8(variant) + mark.what);
      const Text progId = variant + u"Other.Doc";
      machine.RemoveKeyTree(kLM, progId);
      Default(kLM, progId + u"\\shell\\open\\command", u"\"" + kFooExe + u"\" \"%1\"");
      Default(kLM, progId + u"\\DefaultIcon", kFooExe + u",0");
      machine.SetString(kLM, progId + u"\\" + mark.key, mark.name, mark.data);
      Log() = TraceLog();
      TraceFoo();
      EXPECT_EQ(mark.whole ? 1 : 0, Times(u"HKLM|" + progId)) << Joined(Found());
      EXPECT_EQ(mark.whole ? 0 : 1, Times(u"HKLM|" + progId + u"\\DefaultIcon|")) << Joined(Found());
      DeleteAsFoo(Found());
      EXPECT_NE(mark.whole, machine.ValueExists(kLM, progId + u"\\" + mark.key, mark.name));
      EXPECT_FALSE(machine.ValueExists(kLM, progId + u"\\DefaultIcon", u""));  // the program's either way
    }
  }

  Default(kLM, kClasses + u"Foo.Doc\\shell\\open\\command", kFooExe + u" \"%1\"");
  Default(kLM, kClasses + u".oth", u"Other.Doc");
  machine.SetString(kLM, kClasses + u".oth\\OpenWithProgids", u"Foo.Doc", u"");
  Log() = TraceLog();
  TraceFoo();
  EXPECT_EQ(0, Times(u"HKLM|" + kClasses + u".oth")) << Joined(Found());
  EXPECT_EQ(1, Times(u"HKLM|" + kClasses + u".oth\\OpenWithProgids|Foo.Doc")) << Joined(Found());
  DeleteAsFoo(Found());
  EXPECT_TRUE(machine.ValueExists(kLM, kClasses + u".oth", u""));
  EXPECT_FALSE(machine.ValueExists(kLM, kClasses + u".oth\\OpenWithProgids", u"Foo.Doc"));
}

// A ProgID and an extension claimed whole are judged again after the
// uninstaller (StillExisting) and at deletion (the plan), by the rules that
// claimed them: a ProgID whose command went back to its owner, an extension
// that gained another program's ProgID or a handler since, are someone
// else's again, in either Classes key. An extension still naming the
// program's ProgID that the uninstaller removed goes; so do the shell's
// caches below the user's Classes key, which are no file type.
TEST_F(TraceClassAreas, WholeFileTypesAreJudgedAgainAfterTheUninstallerAndAtDeletion) {
  const Text mui = u"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";
  const Text muiLine = u"HKCU|" + mui + u"\\|" + kFooExe + u".FriendlyAppName";
  enum Since { kNothing, kCommandGivenBack, kOtherProgIdListed, kHandlerAdded, kProgIdRemoved };
  for (const Text& variant : {kClasses, Text(u"SOFTWARE\\Wow6432Node\\Classes\\")}) {
    for (const Since since : {kNothing, kCommandGivenBack, kOtherProgIdListed, kHandlerAdded, kProgIdRemoved}) {
      SCOPED_TRACE(testing::Message() << U8(variant) << " case " << since);
      const Text progId = variant + u"Foo.Doc", extension = variant + u".foo";
      for (const Text& key : {progId, extension, variant + u"Other.Doc"}) machine.RemoveKeyTree(kLM, key);
      Default(kLM, progId + u"\\shell\\open\\command", u"\"" + kFooExe + u"\" \"%1\"");
      Default(kLM, extension, u"Foo.Doc");
      Default(kLM, variant + u"Other.Doc", u"Other document");
      machine.SetString(kCU, mui, kFooExe + u".FriendlyAppName", u"Foo");
      Log() = TraceLog();
      TraceFoo();
      const TextList found = Found();
      ASSERT_EQ(1, Times(u"HKLM|" + progId)) << Joined(found);
      ASSERT_EQ(1, Times(u"HKLM|" + extension)) << Joined(found);
      ASSERT_EQ(1, Times(muiLine)) << Joined(found);
      if (since == kCommandGivenBack) Default(kLM, progId + u"\\shell\\open\\command", u"C:\\Other\\other.exe \"%1\"");
      if (since == kOtherProgIdListed) machine.SetString(kLM, extension + u"\\OpenWithProgids", u"Other.Doc", u"");
      if (since == kHandlerAdded) Default(kLM, extension + u"\\PersistentHandler", u"{0A0A0A0A}");
      if (since == kProgIdRemoved) machine.RemoveKeyTree(kLM, progId);

      const TextList left = StillExisting({{u"C:\\Program Files\\Foo\\"}, {}, found}, 1).registry;
      EXPECT_EQ(since == kCommandGivenBack || since == kProgIdRemoved ? 0 : 1, CountOf(left, u"HKLM|" + progId))
          << Joined(left);
      EXPECT_EQ(since == kOtherProgIdListed || since == kHandlerAdded ? 0 : 1, CountOf(left, u"HKLM|" + extension));
      EXPECT_EQ(1, CountOf(left, muiLine));
      // The plan judges the full list again (a pending state written before
      // the uninstaller ran); after a removed ProgID, the list that is left.
      const DeletionReport report = DeleteAsFoo(since == kProgIdRemoved ? left : found);
      EXPECT_EQ(since == kCommandGivenBack, machine.KeyExists(kLM, progId + u"\\shell\\open\\command"));
      EXPECT_EQ(since == kOtherProgIdListed || since == kHandlerAdded, machine.KeyExists(kLM, extension));
      EXPECT_EQ(since == kOtherProgIdListed, machine.ValueExists(kLM, extension + u"\\OpenWithProgids", u"Other.Doc"));
      EXPECT_FALSE(machine.ValueExists(kCU, mui, kFooExe + u".FriendlyAppName"));
      EXPECT_EQ(since == kNothing || since == kProgIdRemoved, report.changedKept == 0) << U8(report.message);
    }
  }
}

TEST_F(TraceClassAreas, InstallerFoldersAndSharedDllsByValueName) {
  const Text folders = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
  const Text shared = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  machine.SetString(kLM, folders, u"C:\\Program Files\\Foo\\", u"");
  machine.SetString(kLM, folders, u"C:\\Program Files\\Foo\\Data\\", u"");
  machine.SetString(kLM, folders, u"C:\\Program Files\\FooBar\\", u"");
  machine.SetDword(kLM, shared, u"C:\\Program Files\\Foo\\foo.dll", 1);
  // Counted twice: another product still uses the file.
  machine.SetDword(kLM, shared, u"C:\\Program Files\\Foo\\both.dll", 2);
  machine.SetDword(kLM, shared, u"C:\\Windows\\System32\\x.dll", 3);
  // The data is never looked at.
  machine.SetString(kLM, shared, u"C:\\Elsewhere\\y.dll", kFooExe);
  TraceFoo();
  EXPECT_EQ(1, Times(u"HKLM|" + folders + u"|C:\\Program Files\\Foo\\"));
  EXPECT_EQ(1, Times(u"HKLM|" + folders + u"|C:\\Program Files\\Foo\\Data\\"));
  EXPECT_EQ(0, Times(u"HKLM|" + folders + u"|C:\\Program Files\\FooBar\\"));
  EXPECT_EQ(1, Times(u"HKLM|" + shared + u"|C:\\Program Files\\Foo\\foo.dll"));
  EXPECT_EQ(0, Times(u"HKLM|" + shared + u"|C:\\Program Files\\Foo\\both.dll"));
  EXPECT_EQ(0, Times(u"HKLM|" + shared + u"|C:\\Windows\\System32\\x.dll"));
  EXPECT_EQ(0, Times(u"HKLM|" + shared + u"|C:\\Elsewhere\\y.dll"));
  EXPECT_LT(FoundAt(u"HKLM|" + folders + u"|C:\\Program Files\\Foo\\"),
            FoundAt(u"HKLM|" + shared + u"|C:\\Program Files\\Foo\\foo.dll"));
}

TEST_F(TraceClassAreas, ComChainFromTypeLibrariesToShellLists) {
  const Text typeLib = kClasses + u"TypeLib\\";
  Default(kLM, typeLib + u"{T1}\\1.0\\0\\win32", u"  C:\\Program Files\\Foo\\foo.tlb  ");
  Default(kLM, typeLib + u"{T2}\\1.0\\0\\win32", u"C:\\Other\\o.tlb");
  Default(kLM, typeLib + u"{T3}\\1.0\\0\\win64", u"C:\\Program Files\\Foo\\foo64.tlb");
  // Versions of other products: only the program's own version goes.
  Default(kLM, typeLib + u"{T4}\\1.0\\0\\win32", u"C:\\Other\\o.tlb");
  Default(kLM, typeLib + u"{T4}\\2.0\\0\\win32", u"C:\\Program Files\\Foo\\foo.tlb");
  Default(kLM, typeLib + u"{T4}\\2.0\\0\\win64", u"C:\\Program Files\\Foo\\foo64.tlb");
  // A version whose 64-bit file lies elsewhere is not the program's alone.
  Default(kLM, typeLib + u"{T5}\\1.0\\0\\win32", u"C:\\Program Files\\Foo\\foo.tlb");
  Default(kLM, typeLib + u"{T5}\\1.0\\0\\win64", u"C:\\Other\\o64.tlb");

  const Text clsid = kClasses + u"CLSID\\";
  Default(kLM, clsid + u"{C1}\\InprocServer32", u"C:\\Program Files\\Foo\\foo.dll");
  Default(kLM, clsid + u"{C1}\\ProgID", u"Foo.Object");
  machine.CreateKey(kLM, kClasses + u"Foo.Object\\CLSID");
  Default(kLM, clsid + u"{C2}\\LocalServer32", u"\"" + kFooExe + u"\" /automation");
  Default(kLM, clsid + u"{C2}\\ProgID", u"Missing.Object");
  // A server outside the folder: its type library is not consulted.
  Default(kLM, clsid + u"{C3}\\InprocServer32", u"C:\\Other\\o.dll");
  Default(kLM, clsid + u"{C3}\\LocalServer32", kFooExe);
  Default(kLM, clsid + u"{C3}\\TypeLib", u"{T1}");
  Default(kLM, clsid + u"{C4}\\TypeLib", u"{t1}");
  Default(kLM, clsid + u"{C4}\\ProgID", u"   ");
  Default(kLM, clsid + u"{C5}\\TypeLib", u"{T2}");

  const Text iface = kClasses + u"Interface\\";
  Default(kLM, iface + u"{I1}\\ProxyStubClsid32", u"{c1}");
  Default(kLM, iface + u"{I2}\\ProxyStubClsid", u"{C2}");
  Default(kLM, iface + u"{I3}\\TypeLib", u"{T1}");
  Default(kLM, iface + u"{I4}\\ProxyStubClsid32", u"{C1}");
  Default(kLM, iface + u"{I4}\\TypeLib", u"{T1}");
  Default(kLM, iface + u"{I5}\\ProxyStubClsid32", u"{C5}");
  Default(kLM, iface + u"{I5}\\TypeLib", u"{T2}");
  // The 32-bit proxy value is read; the other one only when it is missing.
  Default(kLM, iface + u"{I6}\\ProxyStubClsid32", u"{C3}");
  Default(kLM, iface + u"{I6}\\ProxyStubClsid", u"{C1}");

  const Text approved = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
  machine.SetString(kLM, approved, u"{c1}", u"Foo shell extension");
  machine.SetString(kLM, approved, u"{C5}", u"Other extension");
  const Text toolbar = u"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
  machine.SetString(kLM, toolbar, u"{C2}", u"");
  machine.SetString(kLM, toolbar, u"{C3}", u"");
  const Text bho = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\";
  machine.CreateKey(kLM, bho + u"{c4}");
  machine.CreateKey(kLM, bho + u"{C5}");
  TraceFoo();

  const auto line = [](const Text& path) { return u"HKLM|" + path; };
  EXPECT_EQ(1, Times(line(typeLib + u"{T1}"))) << Joined(Found());
  for (const Text& name : {u"{T2}", u"{T3}", u"{T4}", u"{T5}", u"{T4}\\1.0", u"{T5}\\1.0"})
    EXPECT_EQ(0, Times(line(typeLib + name))) << U8(name);
  EXPECT_EQ(1, Times(line(typeLib + u"{T4}\\2.0")));

  for (const Text& name : {u"{C1}", u"{C2}", u"{C4}"}) EXPECT_EQ(1, Times(line(clsid + name))) << U8(name);
  for (const Text& name : {u"{C3}", u"{C5}"}) EXPECT_EQ(0, Times(line(clsid + name))) << U8(name);
  // The ProgID key right after its class, under the Classes key.
  EXPECT_EQ(1, Times(line(kClasses + u"Foo.Object")));
  EXPECT_EQ(FoundAt(line(clsid + u"{C1}")) + 1, FoundAt(line(kClasses + u"Foo.Object")));
  EXPECT_FALSE(AnyLineContains(u"Missing.Object"));
  for (const Text& name : {u"{I1}", u"{I2}", u"{I3}", u"{I4}"}) EXPECT_EQ(1, Times(line(iface + name))) << U8(name);
  for (const Text& name : {u"{I5}", u"{I6}"}) EXPECT_EQ(0, Times(line(iface + name))) << U8(name);

  EXPECT_EQ(1, Times(line(approved + u"|{c1}")));
  EXPECT_EQ(0, Times(line(approved + u"|{C5}")));
  EXPECT_EQ(1, Times(line(toolbar + u"|{C2}")));
  EXPECT_EQ(0, Times(line(toolbar + u"|{C3}")));
  EXPECT_EQ(1, Times(line(bho + u"{c4}")));
  EXPECT_EQ(0, Times(line(bho + u"{C5}")));

  // Each step after the one whose lists it uses.
  EXPECT_LT(FoundAt(line(typeLib + u"{T1}")), FoundAt(line(clsid + u"{C1}")));
  EXPECT_LT(FoundAt(line(clsid + u"{C4}")), FoundAt(line(iface + u"{I1}")));
  EXPECT_LT(FoundAt(line(iface + u"{I4}")), FoundAt(line(approved + u"|{c1}")));
  EXPECT_LT(FoundAt(line(approved + u"|{c1}")), FoundAt(line(toolbar + u"|{C2}")));
  EXPECT_LT(FoundAt(line(toolbar + u"|{C2}")), FoundAt(line(bho + u"{c4}")));
}

TEST_F(TraceClassAreas, ProgIdOfAThirtyTwoBitClassLivesUnderTheSharedClassesKey) {
  const Text wowClsid = kClasses + u"Wow6432Node\\CLSID\\";
  Default(kLM, wowClsid + u"{C6}\\InprocServer32", u"C:\\Program Files\\Foo\\foo32.dll");
  Default(kLM, wowClsid + u"{C6}\\ProgID", u"Foo.Wow");
  machine.CreateKey(kLM, kClasses + u"Foo.Wow");
  TraceFoo();
  const Text classLine = u"HKLM|" + wowClsid + u"{C6}";
  const Text progIdLine = u"HKLM|" + kClasses + u"Foo.Wow";
  EXPECT_EQ(1, Times(classLine)) << Joined(Found());
  EXPECT_EQ(1, Times(progIdLine)) << Joined(Found());
  EXPECT_EQ(FoundAt(classLine) + 1, FoundAt(progIdLine));
  EXPECT_EQ(0, Times(u"HKLM|" + wowClsid + u"Foo.Wow"));
  EXPECT_EQ(0, Times(u"HKLM|" + kClasses + u"Wow6432Node\\Foo.Wow"));
}

TEST_F(TraceClassAreas, NothingMatchesOutsideTheFolder) {
  Default(kLM, kClasses + u"Bar.Document\\Shell\\Open\\Command", u"C:\\Program Files\\FooBar\\bar.exe");
  Default(kLM, kClasses + u"CLSID\\{B1}\\InprocServer32", u"C:\\Program Files\\FooBar\\bar.dll");
  Default(kLM, kClasses + u"TypeLib\\{B2}\\1.0\\0\\win32", u"C:\\Program Files\\FooBar\\bar.tlb");
  machine.SetDword(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                   u"C:\\Program Files\\FooBar\\bar.dll", 1);
  InstalledProgram* foo = AddProgram(u"Foo", u"C:\\Program Files\\Foo\\");
  TraceProgram(u"Foo");
  EXPECT_EQ(TextList{foo->entryKeyLine}, Found()) << Joined(Found());
}

}  // namespace
}  // namespace tw::testing_trace
