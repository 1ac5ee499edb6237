// The simulated registry against the behaviour of advapi32 on Windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_machine.h"

namespace tw::sim {
namespace {

using namespace tw::win;

// Outside SOFTWARE, so that no WOW64 redirection applies.
const Text kScratch = u"SYSTEM\\Scratch";

std::vector<Text> EnumKeys(SimMachine& m, HKey key) {
  std::vector<Text> names;
  for (std::uint32_t i = 0;; ++i) {
    char16_t name[256];
    std::uint32_t chars = 256;
    long status = m.RegEnumKeyEx(key, i, name, &chars);
    if (status == kErrorNoMoreItems) break;
    EXPECT_EQ(status, kErrorSuccess);
    if (status != kErrorSuccess) break;
    names.emplace_back(name, chars);
  }
  return names;
}

HKey Open(SimMachine& m, HKey root, const Text& path, std::uint32_t access = kKeyAllAccess) {
  HKey key = 0;
  EXPECT_EQ(m.RegOpenKeyEx(root, path, access, &key), kErrorSuccess);
  return key;
}

Text ReadText(SimMachine& m, HKey root, const Text& path, const Text& name, std::uint32_t access) {
  HKey key = 0;
  if (m.RegOpenKeyEx(root, path, access, &key) != kErrorSuccess) return u"<no key>";
  char16_t buffer[64] = {};
  std::uint32_t bytes = sizeof(buffer) - 2;
  long status = m.RegQueryValueEx(key, name, nullptr, reinterpret_cast<std::uint8_t*>(buffer), &bytes);
  m.RegCloseKey(key);
  return status == kErrorSuccess ? Text(buffer) : u"<no value>";
}

TEST(SimRegistry, SubkeysEnumerateByUpperCasedNameAndKeepTheirCase) {
  SimMachine m;
  for (const char16_t* name : {u"beta", u"Alpha", u"_under", u"ALPHA2", u"a"}) m.CreateKey(kHKeyLocalMachine, kScratch + u"\\" + name);
  HKey key = Open(m, kHKeyLocalMachine, kScratch);
  // '_' (0x5F) sorts after the upper-case letters, as the upper-cased comparison puts it.
  EXPECT_EQ(EnumKeys(m, key), (std::vector<Text>{u"a", u"Alpha", u"ALPHA2", u"beta", u"_under"}));
  HKey sameKey = Open(m, kHKeyLocalMachine, u"system\\SCRATCH\\ALPHA");
  EXPECT_NE(sameKey, 0u);
  m.RegCloseKey(sameKey);
  m.RegCloseKey(key);
  EXPECT_EQ(m.OpenKeyHandles(), 0u);
}

TEST(SimRegistry, EnumKeyBufferRules) {
  SimMachine m;
  m.CreateKey(kHKeyLocalMachine, kScratch + u"\\Twelve_chars");
  HKey key = Open(m, kHKeyLocalMachine, kScratch);
  char16_t name[16];
  std::uint32_t chars = 12;  // no room for the NUL
  EXPECT_EQ(m.RegEnumKeyEx(key, 0, name, &chars), kErrorMoreData);
  EXPECT_EQ(chars, 12u);
  chars = 13;
  EXPECT_EQ(m.RegEnumKeyEx(key, 0, name, &chars), kErrorSuccess);
  EXPECT_EQ(chars, 12u);
  EXPECT_EQ(Text(name), u"Twelve_chars");
  EXPECT_EQ(m.RegEnumKeyEx(key, 1, name, &chars), kErrorNoMoreItems);
  m.RegCloseKey(key);
}

TEST(SimRegistry, QueryValueSizesAndMissingValues) {
  SimMachine m;
  m.SetString(kHKeyLocalMachine, kScratch, u"WithNul", u"abc");
  m.SetString(kHKeyLocalMachine, kScratch, u"NoNul", u"abc", false);
  m.SetDword(kHKeyLocalMachine, kScratch, u"Number", 0x41);
  HKey key = Open(m, kHKeyLocalMachine, kScratch);
  std::uint32_t type = 0, bytes = 0;
  EXPECT_EQ(m.RegQueryValueEx(key, u"withnul", &type, nullptr, &bytes), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(bytes, 8u);
  EXPECT_EQ(m.RegQueryValueEx(key, u"NoNul", nullptr, nullptr, &bytes), kErrorSuccess);
  EXPECT_EQ(bytes, 6u);

  std::uint8_t small[4] = {0xBD, 0xBD, 0xBD, 0xBD};
  bytes = sizeof(small);
  EXPECT_EQ(m.RegQueryValueEx(key, u"WithNul", nullptr, small, &bytes), kErrorMoreData);
  EXPECT_EQ(bytes, 8u);

  std::uint8_t dword[4] = {};
  bytes = 4;
  EXPECT_EQ(m.RegQueryValueEx(key, u"Number", &type, dword, &bytes), kErrorSuccess);
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(dword[0], 0x41);

  EXPECT_EQ(m.RegQueryValueEx(key, u"Missing", nullptr, nullptr, &bytes), kErrorFileNotFound);
  EXPECT_EQ(m.RegQueryValueEx(key, u"", nullptr, nullptr, &bytes), kErrorFileNotFound);  // default value unset
  m.RegCloseKey(key);
}

TEST(SimRegistry, ValuesEnumerateInCreationOrderAndInfoCountsThem) {
  SimMachine m;
  m.SetString(kHKeyLocalMachine, kScratch, u"Zed", u"1");
  m.SetString(kHKeyLocalMachine, kScratch, u"", u"default");
  m.SetString(kHKeyLocalMachine, kScratch, u"LongerName", u"123456789");
  m.SetString(kHKeyLocalMachine, kScratch, u"zed", u"replaced, keeps its place");
  m.CreateKey(kHKeyLocalMachine, kScratch + u"\\Sub");
  HKey key = Open(m, kHKeyLocalMachine, kScratch);
  std::vector<Text> names;
  for (std::uint32_t i = 0;; ++i) {
    char16_t name[32];
    std::uint32_t chars = 32;
    if (m.RegEnumValue(key, i, name, &chars, nullptr, nullptr, nullptr) != kErrorSuccess) break;
    names.emplace_back(name, chars);
  }
  EXPECT_EQ(names, (std::vector<Text>{u"Zed", u"", u"LongerName"}));

  char16_t name[4];
  std::uint32_t chars = 4, bytes = 0;
  EXPECT_EQ(m.RegEnumValue(key, 2, name, &chars, nullptr, nullptr, &bytes), kErrorMoreData);

  std::uint32_t subKeys = 0, longestSub = 0, values = 0, longestName = 0, longestData = 0;
  EXPECT_EQ(m.RegQueryInfoKey(key, &subKeys, &longestSub, &values, &longestName, &longestData), kErrorSuccess);
  EXPECT_EQ(subKeys, 1u);
  EXPECT_EQ(longestSub, 3u);
  EXPECT_EQ(values, 3u);
  EXPECT_EQ(longestName, 10u);
  EXPECT_EQ(longestData, 2u * 25u + 2u);
  m.RegCloseKey(key);
}

TEST(SimRegistry, SubKeyTextRules) {
  SimMachine m;
  m.CreateKey(kHKeyLocalMachine, kScratch + u"\\Leaf");
  HKey key = 0;
  EXPECT_EQ(m.RegOpenKeyEx(kHKeyLocalMachine, u"\\" + kScratch + u"\\Leaf\\", kKeyRead, &key), kErrorSuccess);
  m.RegCloseKey(key);
  EXPECT_EQ(m.RegOpenKeyEx(kHKeyLocalMachine, kScratch + u"\\\\Leaf", kKeyRead, &key), kErrorFileNotFound);
  EXPECT_EQ(key, 0u);
  HKey parent = Open(m, kHKeyLocalMachine, kScratch);
  HKey self = Open(m, parent, u"");
  EXPECT_EQ(EnumKeys(m, self), (std::vector<Text>{u"Leaf"}));
  m.RegCloseKey(self);
  m.RegCloseKey(parent);
  EXPECT_EQ(m.RegCloseKey(parent), kErrorInvalidHandle);
}

TEST(SimRegistry, DeleteRulesAndDeletedHandles) {
  SimMachine m;
  m.CreateKey(kHKeyLocalMachine, kScratch + u"\\Parent\\Child");
  EXPECT_EQ(m.RegDeleteKey(kHKeyLocalMachine, kScratch + u"\\Parent"), kErrorAccessDenied);
  HKey child = Open(m, kHKeyLocalMachine, kScratch + u"\\Parent\\Child");
  EXPECT_EQ(m.RegDeleteKey(kHKeyLocalMachine, kScratch + u"\\parent\\CHILD"), kErrorSuccess);
  EXPECT_FALSE(m.KeyExists(kHKeyLocalMachine, kScratch + u"\\Parent\\Child"));
  std::uint32_t count = 0;
  EXPECT_EQ(m.RegQueryInfoKey(child, &count, nullptr, nullptr, nullptr, nullptr), kErrorKeyDeleted);
  std::uint32_t bytes = 0;
  EXPECT_EQ(m.RegQueryValueEx(child, u"x", nullptr, nullptr, &bytes), kErrorKeyDeleted);
  EXPECT_EQ(m.RegCloseKey(child), kErrorSuccess);
  EXPECT_EQ(m.RegDeleteKey(kHKeyLocalMachine, kScratch + u"\\Parent\\Child"), kErrorFileNotFound);
  EXPECT_EQ(m.RegDeleteKey(kHKeyLocalMachine, kScratch + u"\\Parent"), kErrorSuccess);
}

TEST(SimRegistry, RefusedFullAccessStillReads) {
  SimMachine m;
  m.SetString(kHKeyLocalMachine, kScratch + u"\\Locked\\Inner", u"V", u"x");
  m.DenyFullAccess(kHKeyLocalMachine, kScratch + u"\\Locked");
  HKey key = 0;
  EXPECT_EQ(m.RegOpenKeyEx(kHKeyLocalMachine, kScratch + u"\\Locked", kKeyAllAccess, &key), kErrorAccessDenied);
  EXPECT_EQ(m.RegOpenKeyEx(kHKeyLocalMachine, kScratch + u"\\Locked\\Inner", kKeyAllAccess, &key),
            kErrorAccessDenied);
  EXPECT_EQ(ReadText(m, kHKeyLocalMachine, kScratch + u"\\Locked\\Inner", u"V", kKeyRead), u"x");
  key = Open(m, kHKeyLocalMachine, kScratch + u"\\Locked\\Inner", kKeyRead);
  std::uint8_t byte = 1;
  EXPECT_EQ(m.RegSetValueEx(key, u"W", kRegBinary, &byte, 1), kErrorAccessDenied);
  EXPECT_EQ(m.RegDeleteValue(key, u"V"), kErrorAccessDenied);
  m.RegCloseKey(key);
  EXPECT_EQ(m.RegDeleteKey(kHKeyLocalMachine, kScratch + u"\\Locked\\Inner"), kErrorAccessDenied);
  EXPECT_EQ(m.RegCreateKeyEx(kHKeyLocalMachine, kScratch + u"\\Locked\\New", kKeyAllAccess, &key),
            kErrorAccessDenied);
}

TEST(SimRegistry, Wow64ViewsOfASoftwareKey) {
  SimMachine m;  // 32-bit process on 64-bit Windows
  m.SetString(kHKeyLocalMachine, u"SOFTWARE\\Vendor", u"Bits", u"64");
  m.SetString(kHKeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Vendor", u"Bits", u"32");
  EXPECT_EQ(ReadText(m, kHKeyLocalMachine, u"SOFTWARE\\Vendor", u"Bits", kKeyAllAccess), u"32");
  EXPECT_EQ(ReadText(m, kHKeyLocalMachine, u"SOFTWARE\\Vendor", u"Bits", kKeyAllAccess | kKeyWow64_32Key), u"32");
  EXPECT_EQ(ReadText(m, kHKeyLocalMachine, u"SOFTWARE\\Vendor", u"Bits", kKeyAllAccess | kKeyWow64_64Key), u"64");
  EXPECT_EQ(ReadText(m, kHKeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Vendor", u"Bits", kKeyAllAccess), u"32");

  SimMachine native(Preset::Windows10x64Native);
  native.SetString(kHKeyLocalMachine, u"SOFTWARE\\Vendor", u"Bits", u"64");
  native.SetString(kHKeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Vendor", u"Bits", u"32");
  EXPECT_EQ(ReadText(native, kHKeyLocalMachine, u"SOFTWARE\\Vendor", u"Bits", kKeyRead), u"64");
  EXPECT_EQ(ReadText(native, kHKeyLocalMachine, u"SOFTWARE\\Vendor", u"Bits", kKeyRead | kKeyWow64_32Key), u"32");

  SimMachine x86(Preset::Windows7x86);
  x86.SetString(kHKeyLocalMachine, u"SOFTWARE\\Vendor", u"Bits", u"only");
  EXPECT_EQ(ReadText(x86, kHKeyLocalMachine, u"SOFTWARE\\Vendor", u"Bits", kKeyRead), u"only");
  EXPECT_EQ(ReadText(x86, kHKeyLocalMachine, u"SOFTWARE\\Vendor", u"Bits", kKeyRead | kKeyWow64_32Key), u"only");
}

TEST(SimRegistry, Wow64CreateAndDeleteLandInTheView) {
  SimMachine m;
  HKey key = 0;
  ASSERT_EQ(m.RegCreateKeyEx(kHKeyLocalMachine, u"SOFTWARE\\Made", kKeyAllAccess, &key), kErrorSuccess);
  m.RegCloseKey(key);
  EXPECT_TRUE(m.KeyExists(kHKeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Made"));
  EXPECT_FALSE(m.KeyExists(kHKeyLocalMachine, u"SOFTWARE\\Made"));
  m.CreateKey(kHKeyLocalMachine, u"SOFTWARE\\Made");
  EXPECT_EQ(m.RegDeleteKeyEx(kHKeyLocalMachine, u"SOFTWARE\\Made", kKeyWow64_64Key), kErrorSuccess);
  EXPECT_TRUE(m.KeyExists(kHKeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Made"));
  EXPECT_EQ(m.RegDeleteKey(kHKeyLocalMachine, u"SOFTWARE\\Made"), kErrorSuccess);
  EXPECT_FALSE(m.KeyExists(kHKeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Made"));

  m.SetExport(Export::RegDeleteKeyExW, false);
  EXPECT_EQ(m.RegDeleteKeyEx(kHKeyLocalMachine, u"SOFTWARE\\Anything", kKeyWow64_64Key), kErrorProcNotFound);
}

TEST(SimRegistry, SharedClassesAndTheirRedirectedSubtrees) {
  SimMachine m;
  m.SetString(kHKeyLocalMachine, u"SOFTWARE\\Classes\\.ext", u"", u"shared");
  m.SetString(kHKeyLocalMachine, u"SOFTWARE\\Classes\\CLSID\\{1}", u"", u"64");
  m.SetString(kHKeyLocalMachine, u"SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{1}", u"", u"32");
  EXPECT_EQ(ReadText(m, kHKeyLocalMachine, u"SOFTWARE\\Classes\\.ext", u"", kKeyRead), u"shared");
  EXPECT_EQ(ReadText(m, kHKeyLocalMachine, u"SOFTWARE\\Classes\\CLSID\\{1}", u"", kKeyRead), u"32");
  EXPECT_EQ(ReadText(m, kHKeyLocalMachine, u"SOFTWARE\\Classes\\CLSID\\{1}", u"", kKeyRead | kKeyWow64_64Key),
            u"64");
  // Both spellings of the 32-bit classes reach one key.
  EXPECT_EQ(ReadText(m, kHKeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Classes\\CLSID\\{1}", u"",
                     kKeyRead | kKeyWow64_64Key),
            u"32");
  EXPECT_EQ(ReadText(m, kHKeyClassesRoot, u"CLSID\\{1}", u"", kKeyRead), u"32");
  EXPECT_EQ(ReadText(m, kHKeyClassesRoot, u"CLSID\\{1}", u"", kKeyRead | kKeyWow64_64Key), u"64");
}

TEST(SimRegistry, ClassesRootMergesUserOverMachine) {
  SimMachine m;
  m.SetString(kHKeyLocalMachine, u"SOFTWARE\\Classes\\.both", u"", u"machine");
  m.SetString(kHKeyCurrentUser, u"Software\\Classes\\.both", u"", u"user");
  m.CreateKey(kHKeyLocalMachine, u"SOFTWARE\\Classes\\.machineonly");
  m.CreateKey(kHKeyCurrentUser, u"Software\\Classes\\.useronly");
  EXPECT_EQ(ReadText(m, kHKeyClassesRoot, u".both", u"", kKeyAllAccess), u"user");

  std::vector<Text> names = EnumKeys(m, kHKeyClassesRoot);
  std::vector<Text> dotted;
  for (const Text& name : names)
    if (name.rfind(u".", 0) == 0) dotted.push_back(name);
  EXPECT_EQ(dotted, (std::vector<Text>{u".both", u".machineonly", u".useronly"}));

  EXPECT_EQ(m.RegDeleteKey(kHKeyClassesRoot, u".both"), kErrorSuccess);
  EXPECT_FALSE(m.KeyExists(kHKeyCurrentUser, u"Software\\Classes\\.both"));
  EXPECT_TRUE(m.KeyExists(kHKeyLocalMachine, u"SOFTWARE\\Classes\\.both"));
  EXPECT_EQ(ReadText(m, kHKeyClassesRoot, u".both", u"", kKeyAllAccess), u"machine");
  EXPECT_EQ(m.RegDeleteKey(kHKeyClassesRoot, u".machineonly"), kErrorSuccess);
  EXPECT_FALSE(m.KeyExists(kHKeyLocalMachine, u"SOFTWARE\\Classes\\.machineonly"));
}

TEST(SimRegistry, UsersHoldDefaultAndTheCurrentUser) {
  SimMachine m;
  EXPECT_EQ(EnumKeys(m, kHKeyUsers), (std::vector<Text>{u".Default", m.CurrentUserSid()}));
  m.SetString(kHKeyUsers, m.CurrentUserSid() + u"\\Software\\Probe", u"V", u"same hive");
  EXPECT_EQ(ReadText(m, kHKeyCurrentUser, u"Software\\Probe", u"V", kKeyRead), u"same hive");
}

}  // namespace
}  // namespace tw::sim
