// The registry areas outside the class registrations: Windows Installer
// products (with patches and components) and components (with their
// products), compatibility layers, MUI caches, Shared Components, elevation
// policies and Run lists; and the registry view the 64-bit flag selects.
#include <gtest/gtest.h>

#include "tests/native/trace_harness.h"

namespace tw::testing_trace {
namespace {

const Text kUserData = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\";
const Text kSystemSid = u"S-1-5-18";
const Text kProducts = kUserData + kSystemSid + u"\\Products\\";
const Text kPatches = kUserData + kSystemSid + u"\\Patches\\";
const Text kComponents = kUserData + kSystemSid + u"\\Components\\";
const Text kRun = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const Text kFolder = u"C:\\Program Files\\Foo\\";
const Text kCommand = u"MsiExec.exe /X{P2}";

class TraceSystemAreas : public TraceFixture {
 protected:
  TraceSystemAreas() { machine.AddFile(kFolder + u"foo.exe", "MZ"); }

  // A product's InstallProperties; an empty optional text leaves the value out.
  void Product(const Text& name, const Text* location, const Text* uninstall) {
    const Text key = kProducts + name + u"\\InstallProperties";
    machine.CreateKey(kLM, key);
    if (location) machine.SetString(kLM, key, u"InstallLocation", *location);
    if (uninstall) machine.SetString(kLM, key, u"UninstallString", *uninstall);
  }
  void Component(const Text& name, std::initializer_list<std::pair<Text, Text>> values) {
    machine.CreateKey(kLM, kComponents + name);
    for (const auto& value : values) machine.SetString(kLM, kComponents + name, value.first, value.second);
  }
  static Text LM(const Text& path) { return u"HKLM|" + path; }
};

TEST_F(TraceSystemAreas, InstallerProductsWithPatchesAndComponents) {
  const Text inFolder = kFolder;
  const Text elsewhere = u"C:\\Elsewhere\\";
  const Text neighbour = u"C:\\Program Files\\FooBar\\";
  const Text otherCommand = u"MsiExec.exe /X{OTHER}";
  const Text sameCommand = u"  msiexec.exe /x{p2} ";
  Product(u"P1", &inFolder, &otherCommand);     // by its folder
  Product(u"P2", &elsewhere, &sameCommand);     // by its command
  Product(u"P3", &inFolder, &sameCommand);      // by both: recorded twice
  Product(u"P4", nullptr, &sameCommand);        // no InstallLocation: not examined
  Product(u"P5", &inFolder, nullptr);           // no UninstallString: no patches, no components
  Product(u"P6", &neighbour, &otherCommand);    // neither
  for (const Text& product : {u"P1", u"P2", u"P4", u"P5", u"P6"}) {
    machine.CreateKey(kLM, kProducts + product + u"\\Patches\\PATCH-" + product);
  }
  // A component shared by two products, one of each product, and unrelated ones.
  Component(u"CA", {{u"P1", inFolder + u"a.dll"}, {u"P9", u"C:\\Other\\a.dll"}});
  Component(u"CB", {{u"P2", u"C:\\Elsewhere\\b.dll"}});
  Component(u"CC", {{u"P5", u"C:\\Other\\c.dll"}});
  Component(u"CX", {{u"P6", u"C:\\Other\\x.dll"}});
  AddProgram(u"Foo", kFolder, kCommand);
  TraceProgram(u"Foo");

  EXPECT_EQ(1, Times(LM(kProducts + u"P1"))) << Joined(Found());
  EXPECT_EQ(1, Times(LM(kProducts + u"P2")));
  EXPECT_EQ(2, Times(LM(kProducts + u"P3")));
  EXPECT_EQ(0, Times(LM(kProducts + u"P4")));
  EXPECT_EQ(1, Times(LM(kProducts + u"P5")));
  EXPECT_EQ(0, Times(LM(kProducts + u"P6")));
  // Both lines are delivered too.
  EXPECT_EQ(2, CountOf(Log().registryList, LM(kProducts + u"P3")));

  EXPECT_EQ(1, Times(LM(kPatches + u"PATCH-P1")));
  EXPECT_EQ(1, Times(LM(kPatches + u"PATCH-P2")));
  for (const Text& patch : {u"PATCH-P4", u"PATCH-P5", u"PATCH-P6"}) EXPECT_EQ(0, Times(LM(kPatches + patch))) << U8(patch);

  // Area 5 records P1's value in the shared component, not the component,
  // which P9 holds too; area 6 passes it over.
  EXPECT_EQ(1, Times(LM(kComponents + u"CA|P1"))) << Joined(Found());
  EXPECT_EQ(0, Times(LM(kComponents + u"CA")));
  EXPECT_EQ(1, Times(LM(kComponents + u"CB")));
  EXPECT_EQ(0, Times(LM(kComponents + u"CC")));
  EXPECT_EQ(0, Times(LM(kComponents + u"CX")));
  EXPECT_EQ(0, Times(LM(kProducts + u"P9")));

  // A product's patches and components follow it.
  EXPECT_LT(FoundAt(LM(kProducts + u"P1")), FoundAt(LM(kPatches + u"PATCH-P1")));
  EXPECT_LT(FoundAt(LM(kPatches + u"PATCH-P1")), FoundAt(LM(kComponents + u"CA|P1")));
  EXPECT_LT(FoundAt(LM(kComponents + u"CA|P1")), FoundAt(LM(kProducts + u"P2")));
}

TEST_F(TraceSystemAreas, AnEmptyCommandNeverMatchesABlankUninstallString) {
  const Text elsewhere = u"C:\\Elsewhere\\";
  const Text blank = u"   ";
  const Text empty = u"";
  Product(u"PB", &elsewhere, &blank);
  Product(u"PE", &elsewhere, &empty);
  machine.CreateKey(kLM, kProducts + u"PB\\Patches\\PATCH-PB");
  Component(u"CB", {{u"PB", u"C:\\Elsewhere\\b.dll"}, {u"PE", u"C:\\Elsewhere\\e.dll"}});
  AddProgram(u"Foo", kFolder, u"");
  AddProgram(u"Blank", kFolder, u"   ");
  TraceProgram(u"Foo");
  EXPECT_EQ(TextList{u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo"}, Found());
  Log() = TraceLog();
  TraceProgram(u"Blank");
  EXPECT_EQ(0, Times(LM(kProducts + u"PB")));
  EXPECT_EQ(0, Times(LM(kProducts + u"PE")));
  // Force Remove has no command at all.
  Log() = TraceLog();
  ForceRemove(kFolder);
  EXPECT_EQ(TextList{u""}, Found());
}

TEST_F(TraceSystemAreas, WithoutFoldersAProductStillMatchesOnItsCommand) {
  const Text inFolder = kFolder;
  const Text otherCommand = u"MsiExec.exe /X{OTHER}";
  const Text sameCommand = kCommand;
  Product(u"P1", &inFolder, &otherCommand);
  Product(u"P2", &inFolder, &sameCommand);
  machine.CreateKey(kLM, kProducts + u"P2\\Patches\\PATCH-P2");
  InstalledProgram* msi = AddProgram(u"Msi Only", u"", kCommand);
  TraceProgram(u"Msi Only");
  EXPECT_EQ((TextList{msi->entryKeyLine, LM(kProducts + u"P2"), LM(kPatches + u"PATCH-P2")}), Found());
}

TEST_F(TraceSystemAreas, InstallerComponentsWithExactlyOneValue) {
  Component(u"CD", {{u"P8", kFolder + u"d.dll"}});
  Component(u"CE", {{u"p8", kFolder + u"e.dll"}});  // the same product, other case
  Component(u"CF", {{u"P9", u"C:\\Other\\f.dll"}});
  Component(u"CG", {{u"P7", kFolder + u"g.dll"}, {u"P6", kFolder + u"g.dll"}});
  Component(u"CH", {{u"P5", u"C:\\Program Files\\FooBar\\h.dll"}});
  // A plug-in with one component in the folder and one in its own: the
  // component here is the program's, the plug-in product is not.
  Component(u"CI", {{u"P4", kFolder + u"plugin.dll"}});
  Component(u"CJ", {{u"P4", u"C:\\Program Files\\Plugin\\p.dll"}});
  AddProgram(u"Foo", kFolder);
  TraceProgram(u"Foo");
  EXPECT_EQ(1, Times(LM(kComponents + u"CD"))) << Joined(Found());
  EXPECT_EQ(1, Times(LM(kComponents + u"CE")));
  EXPECT_EQ(0, Times(LM(kComponents + u"CF")));
  EXPECT_EQ(0, Times(LM(kComponents + u"CG")));
  EXPECT_EQ(0, Times(LM(kComponents + u"CH")));
  // The owning product once, after its components.
  EXPECT_EQ(1, Times(LM(kProducts + u"P8")) + Times(LM(kProducts + u"p8")));
  EXPECT_LT(FoundAt(LM(kComponents + u"CE")), FoundAt(LM(kProducts + u"P8")));
  EXPECT_EQ(1, Times(LM(kComponents + u"CI")));
  EXPECT_EQ(0, Times(LM(kComponents + u"CJ")));
  for (const Text& product : {u"P4", u"P5", u"P6", u"P7", u"P9"}) EXPECT_EQ(0, Times(LM(kProducts + product))) << U8(product);
}

TEST_F(TraceSystemAreas, AUserListedUnderTwoVariantsIsScannedTwice) {
  const Text inFolder = kFolder;
  const Text command = u"x";
  Product(u"P1", &inFolder, &command);
  machine.CreateKey(kLM, kProducts + u"P1\\Patches\\PATCH-P1");
  Component(u"CA", {{u"P1", u"C:\\Other\\a.dll"}, {u"P2", u"C:\\Other\\b.dll"}});
  Component(u"CD", {{u"P8", kFolder + u"d.dll"}});
  machine.CreateKey(kLM, u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\" + kSystemSid);
  AddProgram(u"Foo", kFolder);
  TraceProgram(u"Foo");
  for (const Text& line : {LM(kProducts + u"P1"), LM(kPatches + u"PATCH-P1"), LM(kComponents + u"CA|P1"),
                           LM(kComponents + u"CD")}) {
    EXPECT_EQ(2, Times(line)) << U8(line) << "\n" << Joined(Found());
  }
  // The product list of area 6 is shared by all users: its product once.
  EXPECT_EQ(1, Times(LM(kProducts + u"P8")));
}

TEST_F(TraceSystemAreas, CompatibilityLayersAndMuiCachesByValueName) {
  const Text user = machine.CurrentUserSid();
  const Text layers = user + u"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
  machine.SetString(kUsers, layers, kFolder + u"foo.exe", u"~ RUNASADMIN");
  machine.SetString(kUsers, layers, u"C:\\Program Files\\FooBar\\bar.exe", u"~ WIN7RTM");
  const Text defaultLayers = u".Default\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
  machine.SetString(kUsers, defaultLayers, kFolder + u"tool.exe", u"WINXPSP3");

  const Text muiCache = u"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache\\";
  machine.SetString(kCU, muiCache, kFolder + u"foo.exe.FriendlyAppName", u"Foo");
  machine.SetString(kCU, muiCache, u"@shell32.dll,-1", u"Shell");
  machine.SetString(kLM, muiCache, kFolder + u"svc.exe", u"Foo service");
  const Text noRoam = user + u"\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache\\";
  machine.SetString(kUsers, noRoam, kFolder + u"foo.exe", u"Foo");
  machine.SetString(kUsers, noRoam, u"C:\\Program Files\\FooBar\\bar.exe", u"Bar");
  AddProgram(u"Foo", kFolder);
  TraceProgram(u"Foo");

  const Text layerLine = u"HKU|" + layers + u"|" + kFolder + u"foo.exe";
  EXPECT_EQ(1, Times(layerLine)) << Joined(Found());
  EXPECT_EQ(1, Times(u"HKU|" + defaultLayers + u"|" + kFolder + u"tool.exe"));
  EXPECT_EQ(0, Times(u"HKU|" + layers + u"|C:\\Program Files\\FooBar\\bar.exe"));

  const Text userMui = u"HKCU|" + muiCache + u"|" + kFolder + u"foo.exe.FriendlyAppName";
  const Text machineMui = u"HKLM|" + muiCache + u"|" + kFolder + u"svc.exe";
  const Text noRoamMui = u"HKU|" + noRoam + u"|" + kFolder + u"foo.exe";
  EXPECT_EQ(1, Times(userMui));
  EXPECT_EQ(0, Times(u"HKCU|" + muiCache + u"|@shell32.dll,-1"));
  EXPECT_EQ(1, Times(machineMui));
  EXPECT_EQ(1, Times(noRoamMui));
  EXPECT_EQ(0, Times(u"HKU|" + noRoam + u"|C:\\Program Files\\FooBar\\bar.exe"));
  EXPECT_LT(FoundAt(layerLine), FoundAt(userMui));
  EXPECT_LT(FoundAt(userMui), FoundAt(machineMui));
  EXPECT_LT(FoundAt(machineMui), FoundAt(noRoamMui));
}

TEST_F(TraceSystemAreas, SharedComponentsOneLinePerKeyDescendantsFirst) {
  const Text shared = u"Software\\Shared Components\\";
  machine.SetString(kCU, shared + u"Vendor\\Foo", u"Path", kFolder + u"shared");
  machine.SetString(kCU, shared + u"Vendor\\Foo", u"Help", kFolder + u"help.chm");
  machine.SetString(kCU, shared + u"Vendor", u"Root", u"C:\\Program Files\\Foo");
  machine.SetString(kCU, shared + u"Other", u"Path", u"C:\\Program Files\\FooBar\\x");
  AddProgram(u"Foo", kFolder);
  TraceProgram(u"Foo");
  const Text fooLine = u"HKCU|" + shared + u"Vendor\\Foo";
  const Text vendorLine = u"HKCU|" + shared + u"Vendor";
  EXPECT_EQ(1, Times(fooLine)) << Joined(Found());
  EXPECT_EQ(1, Times(vendorLine));
  EXPECT_EQ(0, Times(u"HKCU|" + shared + u"Other"));
  EXPECT_LT(FoundAt(fooLine), FoundAt(vendorLine));
}

TEST_F(TraceSystemAreas, ElevationPoliciesAndRunLists) {
  const Text policies = u"SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy\\";
  machine.SetString(kLM, policies + u"{E1}", u"AppPath", u"C:\\Program Files\\Foo");
  machine.SetString(kLM, policies + u"{E2}", u"AppPath", u"C:\\Program Files\\FooBar");
  machine.SetString(kLM, policies + u"{E3}", u"AppName", u"foo.exe");
  machine.SetString(kLM, kRun, u"FooTray", u"\"C:\\Program Files\\Foo\\tray.exe\" /background");
  machine.SetString(kLM, kRun, u"BarTray", u"\"C:\\Program Files\\FooBar\\bar.exe\" /background");
  machine.SetString(kLM, u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", u"Foo32",
                    u"C:\\Program Files\\Foo\\foo32.exe");
  machine.SetString(kCU, kRun, u"FooUser", u"C:\\PROGRA~1\\Foo\\foo.exe -min");
  machine.SetString(kCU, kRun, u"Other", u"C:\\Other\\o.exe");
  AddProgram(u"Foo", kFolder);
  TraceProgram(u"Foo");
  const Text policyLine = u"HKLM|" + policies + u"{E1}";
  const Text machineRun = u"HKLM|" + kRun + u"|FooTray";
  const Text userRun = u"HKCU|" + kRun + u"|FooUser";
  EXPECT_EQ(1, Times(policyLine)) << Joined(Found());
  EXPECT_EQ(0, Times(u"HKLM|" + policies + u"{E2}"));
  EXPECT_EQ(0, Times(u"HKLM|" + policies + u"{E3}"));
  EXPECT_EQ(1, Times(machineRun));
  EXPECT_EQ(0, Times(u"HKLM|" + kRun + u"|BarTray"));
  EXPECT_EQ(1, Times(u"HKLM|SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run|Foo32"));
  EXPECT_EQ(1, Times(userRun));
  EXPECT_EQ(0, Times(u"HKCU|" + kRun + u"|Other"));
  EXPECT_LT(FoundAt(policyLine), FoundAt(machineRun));
  EXPECT_LT(FoundAt(machineRun), FoundAt(userRun));
}

TEST_F(TraceSystemAreas, TheSixtyFourBitFlagSelectsTheRegistryView) {
  // On 64-bit Windows the native Run key is seen only through the 64-bit
  // view; the default view of this 32-bit process lands on the 32-bit key.
  machine.SetString(kLM, kRun, u"Native", kFolder + u"n.exe");
  machine.SetString(kLM, u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", u"Wow", kFolder + u"w.exe");
  AddProgram(u"Native", kFolder, u"", 1);
  AddProgram(u"Wow", kFolder, u"", 0);
  TraceProgram(u"Native");
  EXPECT_EQ(1, Times(u"HKLM|" + kRun + u"|Native")) << Joined(Found());
  EXPECT_EQ(0, Times(u"HKLM|" + kRun + u"|Wow"));
  Log() = TraceLog();
  TraceProgram(u"Wow");
  EXPECT_EQ(0, Times(u"HKLM|" + kRun + u"|Native")) << Joined(Found());
  EXPECT_EQ(1, Times(u"HKLM|" + kRun + u"|Wow"));
}

}  // namespace
}  // namespace tw::testing_trace
