// The registry line taken apart once: its text form, its roots, its view
// and the "at or below" rule every layer compares keys with.
#include <gtest/gtest.h>

#include <random>

#include "access/registry_line.h"
#include "cleanup/registry_backup.h"
#include "platform/sim/sim_machine.h"

namespace tw {
namespace {

using sim::SimMachine;

class RegistryLineTest : public ::testing::Test {
 protected:
  RegistryLineTest() { SetPlatform(&m); }
  ~RegistryLineTest() override { SetPlatform(nullptr); }
  SimMachine m;
};

Text Pick(std::mt19937& rng, std::initializer_list<const char16_t*> choices) {
  std::uniform_int_distribution<std::size_t> at(0, choices.size() - 1);
  return *(choices.begin() + at(rng));
}

// Written lines read back as what they name, in every spelling of the key
// (doubled and outer "\", letter case, letters beyond ASCII), and the rule
// "at or below" holds by components, never by a name's prefix.
TEST_F(RegistryLineTest, LinesReadBackAndKeysCompareByComponents) {
  std::mt19937 rng(7);
  const HKey roots[] = {win::kHKeyLocalMachine, win::kHKeyCurrentUser, win::kHKeyUsers, win::kHKeyClassesRoot};
  for (int round = 0; round < 400; ++round) {
    const HKey root = roots[round % 4];
    Text key;
    for (int depth = 1 + round % 4; depth > 0; --depth)
      key += (key.empty() ? Text() : Text(u"\\")) + Pick(rng, {u"Software", u"Vendor", u"Über", u"app 2", u"X'Y"});
    const bool value = round % 3 != 0;
    const Text name = round % 3 == 1 ? Text() : Pick(rng, {u"InstallDir", u"Größe", u"a\"b"});
    const Text written = Pick(rng, {u"", u"\\"}) + key + Pick(rng, {u"", u"\\"});
    const Text line = RegistryRootText(root) + u"|" + written + (value ? u"|" + name : Text());

    RegistryLine parsed;
    ASSERT_TRUE(ParseRegistryLine(line, &parsed)) << ToUtf8(line);
    EXPECT_EQ(root, parsed.root);
    EXPECT_EQ(written, parsed.writtenKey);
    EXPECT_EQ(key, parsed.keyPath);
    EXPECT_EQ(value, parsed.isValue) << ToUtf8(line);
    EXPECT_EQ(value ? name : Text(), parsed.valueName);
    RegistryLine again;
    ASSERT_TRUE(ParseRegistryLine(RegistryLineText(root, parsed.keyPath, value ? &name : nullptr), &again));
    EXPECT_EQ(parsed.keyPath, again.keyPath);
    EXPECT_EQ(parsed.isValue, again.isValue);

    const Text upper = UpperAsWindows(key);
    EXPECT_TRUE(SameKeyPath(key, u"\\\\" + upper + u"\\"));
    EXPECT_TRUE(KeyPathAtOrBelow(upper + u"\\Sub", key));
    EXPECT_FALSE(KeyPathAtOrBelow(key, upper + u"\\Sub"));
    EXPECT_FALSE(KeyPathAtOrBelow(key + u"Two", key));  // a sibling whose name begins alike
    EXPECT_TRUE(AnyKeyAtOrBelow(RegistryKeyForms(root, upper + u"\\Sub"), RegistryKeyForms(root, key)));
  }
  // Empty items are no part of a line: "HKLM||SOFTWARE" is not the key
  // SOFTWARE, "KEY||" not the key, "KEY||x" not its value x.
  for (const char16_t* other : {u"hklm|Software", u"HKEY_LOCAL_MACHINE|Software", u"HKLM", u"HKLM|a|b|c", u"X|a",
                                u"HKLM||SOFTWARE", u"|HKLM|SOFTWARE", u"HKLM|SOFTWARE\\App||", u"HKLM|SOFTWARE\\App||x",
                                u"HKLM|SOFTWARE\\App|x|", u"HKLM|SOFTWARE\\App|||"}) {
    RegistryLine parsed;
    EXPECT_FALSE(ParseRegistryLine(other, &parsed)) << ToUtf8(other);
  }
  // A value whose name holds "|" has no line that names it alone: its line
  // names it or nothing, never another value or the key.
  for (const char16_t* name : {u"|", u"x|", u"|x", u"a|b", u"||", u"|x|"}) {
    const Text value = name;
    RegistryLine parsed;
    if (ParseRegistryLine(RegistryLineText(win::kHKeyCurrentUser, u"Software\\App", &value), &parsed)) {
      EXPECT_TRUE(parsed.isValue) << ToUtf8(value);
      EXPECT_EQ(value, parsed.valueName);
    }
    // A key whose name holds "|" has no line at all: "HKCU|Software\\a|b"
    // would name the value b of the key a.
    const Text key = u"Software\\App" + value;
    EXPECT_EQ(u"", RegistryLineText(win::kHKeyCurrentUser, key)) << ToUtf8(key);
    EXPECT_EQ(u"", RegistryLineText(win::kHKeyCurrentUser, key, &value)) << ToUtf8(key);
  }
}

TEST_F(RegistryLineTest, RootNamesAndTheView) {
  for (HKey root : {win::kHKeyLocalMachine, win::kHKeyCurrentUser, win::kHKeyUsers, win::kHKeyClassesRoot}) {
    EXPECT_EQ(root, RegRootFromText(RegistryRootText(root)));
    EXPECT_EQ(root, RegistryRootNamed(LowerAscii(RegistryRootText(root))));
    EXPECT_EQ(root, RegistryRootNamed(LowerAscii(RegistryRootLongName(root))));
  }
  EXPECT_TRUE(RegistryRootText(0).empty());
  EXPECT_EQ(0u, RegistryRootNamed(u"HKEY_LOCAL"));
  EXPECT_EQ(kView64, RegistryViewOf(1));
  for (int type : {0, -1, 2}) EXPECT_EQ(kViewDefault, RegistryViewOf(type));
}

// A key already in the backup covers its subkeys however their names are
// cased, beyond ASCII too, as the registry folds them: nothing twice.
TEST_F(RegistryLineTest, BackupWritesAKeyBelowOneAddedOnce) {
  m.SetValue(win::kHKeyCurrentUser, u"Software\\Über\\Sub", u"v", win::kRegSz, std::string("a\0\0\0", 4));
  RegistryBackup backup(kView64, false);
  ASSERT_TRUE(backup.AddKey(win::kHKeyCurrentUser, u"Software\\Über"));
  const std::size_t saved = backup.Exact().entries.size();
  EXPECT_TRUE(backup.AddKey(win::kHKeyCurrentUser, u"SOFTWARE\\über\\Sub"));
  EXPECT_TRUE(backup.AddValue(win::kHKeyCurrentUser, u"software\\über\\sub", u"v"));
  EXPECT_EQ(saved, backup.Exact().entries.size());
}

}  // namespace
}  // namespace tw
