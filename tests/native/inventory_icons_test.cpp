// The icon tables, the fallback for entries without DisplayIcon, the
// resolution of icon texts, and the Windows Installer product scan.
#include <gtest/gtest.h>

#include "tests/native/inventory_harness.h"

namespace tw::testing_inventory {
namespace {

constexpr HKey kLM = win::kHKeyLocalMachine;
constexpr HKey kCU = win::kHKeyCurrentUser;
constexpr HKey kUsers = win::kHKeyUsers;
const Text kUninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const Text kMsiexec = u"C:\\Windows\\system32\\msiexec.exe";
const Text kUserData = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\";

std::string U8(const Text& text) { return ToUtf8(text); }

class InventoryIcons : public InventoryFixture {
 protected:
  void ExpectIcon(const Text& name, const Text& icon, std::int32_t index) {
    const InstalledProgram* record = Record(name);
    ASSERT_NE(nullptr, record) << U8(name);
    EXPECT_TRUE(SameTextAscii(icon, record->displayIcon)) << U8(name) << ": " << U8(record->displayIcon);
    EXPECT_EQ(index, record->displayIconIndex) << U8(name);
  }
};

TEST_F(InventoryIcons, DisplayIconTexts) {
  machine.AddFile(u"C:\\Program Files\\Foo\\app.exe", "MZ");
  machine.AddFile(u"C:\\Program Files\\Native\\only.ico", "ico");
  machine.AddFile(u"C:\\It's\\app.exe", "MZ");
  const struct {
    const char16_t* name;
    const char16_t* icon;
    Text expected;
    std::int32_t index;
  } cases[] = {
      {u"quoted with index", u"\"C:\\Program Files\\Foo\\app.exe\",0", u"C:\\Program Files\\Foo\\app.exe", 0},
      {u"no index", u"C:\\Program Files\\Foo\\app.exe", u"C:\\Program Files\\Foo\\app.exe", kNoIconIndex},
      {u"negative index", u"C:\\Program Files\\Foo\\app.exe,-101", u"C:\\Program Files\\Foo\\app.exe", 0},
      {u"hex index", u"C:\\Program Files\\Foo\\app.exe, $10", u"C:\\Program Files\\Foo\\app.exe", 16},
      {u"no drive", u"app.exe", kMsiexec, kNoIconIndex},
      {u"missing file keeps its index", u"C:\\Gone\\gone.exe,3", kMsiexec, 3},
      {u"apostrophe swallows the comma", u"C:\\It's\\app.exe,2", kMsiexec, kNoIconIndex},
      {u"program files token, native folder", u"%ProgramFiles%\\Native\\only.ico", u"C:\\Program Files\\Native\\only.ico",
       kNoIconIndex},
      {u"program files token, nowhere", u"%ProgramFiles%\\Nowhere\\x.ico", kMsiexec, kNoIconIndex},
  };
  int n = 0;
  for (const auto& c : cases) {
    const Text key = kUninstall + u"Icon" + FromUtf8(std::to_string(n++));
    AddEntry(kLM, key, {{u"DisplayName", c.name}, {u"DisplayIcon", c.icon}});
  }
  AddEntry(kLM, kUninstall + u"NoIcon", {{u"DisplayName", u"no icon at all"}});
  RunScan();
  for (const auto& c : cases) ExpectIcon(c.name, c.expected, c.index);
  ExpectIcon(u"no icon at all", kMsiexec, kNoIconIndex);
}

TEST_F(InventoryIcons, FallbacksFromProductsAppPathsAndDefaultIcons) {
  const Text products = u"SOFTWARE\\Classes\\Installer\\Products\\";
  machine.SetString(kLM, products + u"AAA", u"ProductName", u"Msi Thing");
  machine.SetString(kLM, products + u"AAA", u"ProductIcon", u" C:\\Windows\\Installer\\{A}\\thing.ico ");
  machine.AddFile(u"C:\\Windows\\Installer\\{A}\\thing.ico", "ico");
  machine.SetString(kLM, products + u"BBB", u"ProductName", u"MSI THING");
  machine.SetString(kLM, products + u"BBB", u"ProductIcon", u"C:\\Windows\\Installer\\{B}\\other.ico");
  const Text userProducts = machine.CurrentUserSid() + u"\\Software\\Microsoft\\Installer\\Products\\";
  machine.SetString(kUsers, userProducts + u"CCC", u"ProductName", u"msi thing");
  machine.SetString(kUsers, userProducts + u"CCC", u"ProductIcon", u"C:\\Users\\user\\user.ico");
  machine.SetString(kUsers, userProducts + u"DDD", u"ProductName", u"User Only");
  machine.SetString(kUsers, userProducts + u"DDD", u"ProductIcon", u"C:\\Users\\user\\only.ico");
  machine.AddFile(u"C:\\Users\\user\\only.ico", "ico");

  machine.CreateKey(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tool.exe");
  machine.AddFile(u"D:\\Tools\\Tool\\tool.exe", "MZ");

  machine.SetString(kLM, u"SOFTWARE\\Classes\\.foo\\DefaultIcon", u"", u"C:\\Program Files\\Foo\\foo.exe,1");
  machine.AddFile(u"C:\\Program Files\\Foo\\foo.exe", "MZ");
  machine.SetString(kLM, u"SOFTWARE\\Classes\\.win\\DefaultIcon", u"", u"C:\\Windows\\Sys\\w.exe,0");
  machine.SetString(kLM, u"SOFTWARE\\Classes\\.root\\DefaultIcon", u"", u"%SystemRoot%\\Bar\\b.exe");
  machine.SetString(kLM, u"SOFTWARE\\Classes\\.bar\\DefaultIcon", u"", u"D:\\Bar\\bar.ico");
  machine.AddFile(u"D:\\Bar\\bar.ico", "ico");

  AddEntry(kLM, kUninstall + u"Msi", {{u"DisplayName", u"msi thing"}});
  AddEntry(kLM, kUninstall + u"UserOnly", {{u"DisplayName", u"User Only"}});
  AddEntry(kLM, kUninstall + u"Tool", {{u"DisplayName", u"Tool"}, {u"InstallLocation", u"D:\\Tools\\Tool"}});
  AddEntry(kLM, kUninstall + u"Foo", {{u"DisplayName", u"Foo"}, {u"InstallLocation", u"C:\\Program Files\\Foo\\"}});
  AddEntry(kLM, kUninstall + u"Bar", {{u"DisplayName", u"Bar"}, {u"InstallLocation", u"d:\\bar"}});
  RunScan();
  // Machine products first; the first one under a name keeps it.
  ExpectIcon(u"msi thing", u"C:\\Windows\\Installer\\{A}\\thing.ico", kNoIconIndex);
  ExpectIcon(u"User Only", u"C:\\Users\\user\\only.ico", kNoIconIndex);
  ExpectIcon(u"Tool", u"D:\\Tools\\Tool\\tool.exe", kNoIconIndex);
  ExpectIcon(u"Foo", u"C:\\Program Files\\Foo\\foo.exe", 1);
  ExpectIcon(u"Bar", u"D:\\Bar\\bar.ico", kNoIconIndex);
}

TEST_F(InventoryIcons, InstallerProductsFillAndAdd) {
  const Text products = kUserData + u"S-1-5-18\\Products\\";
  // A product with an uninstall entry: the entry's fields win, the
  // Installer record fills the missing folder.
  AddEntry(kLM, kUninstall + u"{P1}", {{u"DisplayName", u"Shared Product"}, {u"Publisher", u"Entry"}});
  machine.SetString(kLM, products + u"P1\\InstallProperties", u"DisplayName", u"shared product");
  machine.SetString(kLM, products + u"P1\\InstallProperties", u"Publisher", u"Installer");
  machine.SetString(kLM, products + u"P1\\InstallProperties", u"InstallLocation", u"D:\\Shared\\");
  // Only under UserData, and not filtered by name.
  machine.SetString(kLM, products + u"P2\\InstallProperties", u"DisplayName", u"IMBoosterARP Helper");
  machine.SetString(kLM, products + u"P2\\InstallProperties", u"LocalPackage", u"C:\\Windows\\Installer\\p2.msi");
  // Too long a command: skipped.
  machine.SetString(kLM, products + u"P3\\InstallProperties", u"DisplayName", u"Long One");
  machine.SetString(kLM, products + u"P3\\InstallProperties", u"UninstallString", Text(300, u'u'));
  // The SID listed again under a Wow6432Node variant, and a product listed
  // only there (whose key under the SID's own path does not exist).
  const Text wowProducts =
      u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\";
  machine.CreateKey(kLM, wowProducts + u"P4\\InstallProperties");
  machine.SetString(kLM, wowProducts + u"P4\\InstallProperties", u"DisplayName", u"Wow Only");
  AddEntry(kCU, kUninstall + u"Parrot", {{u"DisplayName", u"Unrelated"}});
  RunScan();

  const InstalledProgram* shared = Record(u"Shared Product");
  ASSERT_NE(nullptr, shared);
  EXPECT_EQ(u"Entry", shared->publisher);
  EXPECT_EQ(u"D:\\Shared\\", shared->installLocation);
  EXPECT_EQ(u"HKLM|" + kUninstall + u"{P1}", shared->entryKeyLine);

  const InstalledProgram* helper = Record(u"IMBoosterARP Helper");
  ASSERT_NE(nullptr, helper);
  EXPECT_EQ(u"", helper->entryKeyLine);
  EXPECT_EQ(u"C:\\Windows\\Installer\\p2.msi", helper->uninstallString);
  EXPECT_EQ(1, helper->is64Bit);

  EXPECT_EQ(nullptr, Record(u"Long One"));
  EXPECT_EQ(nullptr, Record(u"Wow Only"));
  EXPECT_EQ(3u, inventory.records.size());
}

}  // namespace
}  // namespace tw::testing_inventory
