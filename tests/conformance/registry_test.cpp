// Registry operations against keys and values created through the platform,
// in both views. The same cases run on the simulated machine and, under Wine,
// on the real registry.
#include <gtest/gtest.h>

#include "access/registry.h"
#include "tests/conformance/conformance_util.h"

namespace tw {
namespace {

using namespace testutil;

constexpr HKey kLM = win::kHKeyLocalMachine;
constexpr HKey kCU = win::kHKeyCurrentUser;

TEST(RegistryRead, StringsOfEveryLengthAndType) {
  const Text key = Scratch(u"Read");
  const Text long300(300, u'L');
  SetString(kCU, key, u"Long", long300);
  SetString(kCU, key, u"", u"default text");
  SetRaw(kCU, key, u"NoNul", win::kRegSz, Utf16Bytes(u"abc", false));
  SetRaw(kCU, key, u"Dword", win::kRegDword, std::string("\x41\x00\x42\x00", 4));
  SetRaw(kCU, key, u"DwordZero", win::kRegDword, std::string("\x41\x00\x00\x00", 4));
  SetRaw(kCU, key, u"Multi", win::kRegMultiSz, Utf16Bytes(u"one", true) + Utf16Bytes(u"two", true) + std::string(2, '\0'));
  SetString(kCU, key, u"Exact254", Text(254, u'e'));
  SetString(kCU, key, u"Exact127", Text(127, u's'));

  Text text = u"poison";
  EXPECT_TRUE(RegReadString(kCU, key, u"Long", &text, kViewDefault));
  EXPECT_EQ(300u, text.size());
  EXPECT_EQ(long300, text);

  EXPECT_TRUE(RegReadString(kCU, key, u"", &text, kViewDefault));
  EXPECT_EQ(u"default text", text);

  EXPECT_TRUE(RegReadString(kCU, key, u"NoNul", &text, kViewDefault));
  EXPECT_EQ(u"abc", text);

  // A REG_DWORD is read as its bytes taken as UTF-16 up to the first NUL.
  EXPECT_TRUE(RegReadString(kCU, key, u"Dword", &text, kViewDefault));
  EXPECT_EQ(u"AB", text);
  EXPECT_TRUE(RegReadString(kCU, key, u"DwordZero", &text, kViewDefault));
  EXPECT_EQ(u"A", text);

  EXPECT_TRUE(RegReadString(kCU, key, u"Multi", &text, kViewDefault));
  EXPECT_EQ(u"one", text);

  // Around the 256-byte switch between the fixed and the sized buffer.
  EXPECT_TRUE(RegReadString(kCU, key, u"Exact254", &text, kViewDefault));
  EXPECT_EQ(Text(254, u'e'), text);
  EXPECT_TRUE(RegReadString(kCU, key, u"Exact127", &text, kViewDefault));
  EXPECT_EQ(Text(127, u's'), text);

  text = u"poison";
  EXPECT_FALSE(RegReadString(kCU, key, u"Missing", &text, kViewDefault));
  EXPECT_TRUE(text.empty());
  text = u"poison";
  EXPECT_FALSE(RegReadString(kCU, key + u"\\NoSuchKey", u"Long", &text, kViewDefault));
  EXPECT_TRUE(text.empty());
  EXPECT_FALSE(RegReadString(0, key, u"Long", &text, kViewDefault));
}

TEST(RegistryRead, VeryLongDataIsReadWhole) {
  const Text key = Scratch(u"Huge");
  Text big(70000, u'b');
  big[69999] = u'Z';
  SetString(kCU, key, u"Big", big);
  Text text;
  EXPECT_TRUE(RegReadString(kCU, key, u"Big", &text, kViewDefault));
  EXPECT_EQ(big, text);
}

TEST(RegistryEnum, SubKeysValueNamesAndValues) {
  const Text key = Scratch(u"Enum");
  CreateKey(kCU, key + u"\\beta");
  CreateKey(kCU, key + u"\\Alpha");
  CreateKey(kCU, key + u"\\ padded ");
  SetString(kCU, key, u"", u"default");
  SetString(kCU, key, u"First", u"  one  ");
  SetString(kCU, key, u"  Spaced  ", u"two");
  SetString(kCU, key, u"   ", u"blank name");
  SetRaw(kCU, key, u"Num", win::kRegDword, std::string("\x33\x00\x00\x00", 4));

  TextList names{u"poison"};
  RegEnumSubKeys(kCU, key, &names, kViewDefault);
  TextList sorted = names;
  SortOrdinal(sorted);
  EXPECT_EQ((TextList{u"Alpha", u"beta", u"padded"}), sorted) << U8(names);

  names = {u"poison"};
  EXPECT_TRUE(RegEnumValueNames(kCU, key, &names, kViewDefault));
  sorted = names;
  SortOrdinal(sorted);
  // Names as stored, blanks and all ("Spaced" would be another value); the
  // default value's empty name is left out.
  EXPECT_EQ((TextList{u"   ", u"  Spaced  ", u"First", u"Num"}), sorted) << U8(names);

  TextList values{u"kept"};
  names = {u"poison"};
  EXPECT_TRUE(RegEnumValues(kCU, key, &names, kViewDefault, &values));
  ASSERT_EQ(names.size() + 1, values.size()) << U8(names) << U8(values);
  EXPECT_EQ(u"kept", values[0]);  // the data list is appended to, not cleared
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == u"First") {
      EXPECT_EQ(u"one", values[i + 1]);
    } else if (names[i] == u"  Spaced  ") {
      EXPECT_EQ(u"two", values[i + 1]);
    } else if (names[i] == u"Num") {
      EXPECT_EQ(u"3", values[i + 1]);
    }
  }

  names = {u"poison"};
  EXPECT_FALSE(RegEnumValueNames(kCU, key + u"\\Missing", &names, kViewDefault));
  EXPECT_TRUE(names.empty());
  names = {u"poison"};
  RegEnumSubKeys(kCU, key + u"\\Missing", &names, kViewDefault);
  EXPECT_TRUE(names.empty());
}

TEST(RegistryTree, ListIsPostOrderFromTheLastSubkey) {
  const Text key = Scratch(u"K");
  CreateKey(kCU, key + u"\\A\\A1");
  CreateKey(kCU, key + u"\\B");
  TextList list{u"existing"};
  EXPECT_TRUE(RegListKeyTree(kCU, u"\\" + key + u"\\", &list, kViewDefault));
  EXPECT_EQ((TextList{u"existing", key + u"\\B", key + u"\\A\\A1", key + u"\\A"}), list) << U8(list);

  EXPECT_FALSE(RegListKeyTree(kCU, u"  ", &list, kViewDefault));
  EXPECT_FALSE(RegListKeyTree(kCU, key + u"\\Missing", &list, kViewDefault));
  EXPECT_FALSE(RegListKeyTree(0, key, &list, kViewDefault));
}

TEST(RegistryTree, DeleteTreeNormalisesThePath) {
  const Text key = Scratch(u"Del");
  CreateKey(kCU, key + u"\\A\\A1\\A2");
  CreateKey(kCU, key + u"\\B");
  SetString(kCU, key + u"\\A", u"v", u"x");
  CreateKey(kCU, Scratch(u"Sibling"));

  EXPECT_FALSE(RegDeleteKeyTree(kCU, u"", kViewDefault));
  EXPECT_FALSE(RegDeleteKeyTree(kCU, u"   ", kViewDefault));
  EXPECT_FALSE(RegDeleteKeyTree(kCU, u"\\", kViewDefault));
  EXPECT_TRUE(KeyOpens(kCU, key, 0));

  EXPECT_TRUE(RegDeleteKeyTree(kCU, u"\\" + key + u"\\", kViewDefault));
  EXPECT_FALSE(KeyOpens(kCU, key, 0));
  EXPECT_TRUE(KeyOpens(kCU, Scratch(u"Sibling"), 0));
  EXPECT_TRUE(KeyOpens(kCU, Scratch(), 0));

  EXPECT_FALSE(RegDeleteKeyTree(kCU, key, kViewDefault));  // already gone
}

// The 64-bit view flag deletes the 64-bit key, never a key of the same path
// in the 32-bit view.
TEST(RegistryViews, DeleteTreeInThe64BitViewLeavesThe32BitTwin) {
  const Text key = u"SOFTWARE\\TidewellTest\\" + bench::CurrentTestName() + u"\\Twin";
  CreateKey(kLM, key + u"\\Sub", win::kKeyWow64_64Key);
  CreateKey(kLM, key + u"\\Sub", win::kKeyWow64_32Key);
  SetString(kLM, key, u"which", u"32", win::kKeyWow64_32Key);

  EXPECT_TRUE(RegDeleteKeyTree(kLM, key, kView64));
  EXPECT_FALSE(KeyOpens(kLM, key, win::kKeyWow64_64Key));
  EXPECT_TRUE(KeyOpens(kLM, key + u"\\Sub", win::kKeyWow64_32Key));
  // The 32-bit copy is reached from the 64-bit view through Wow6432Node.
  Text which;
  EXPECT_TRUE(RegReadString(kLM, u"SOFTWARE\\Wow6432Node\\TidewellTest\\" + bench::CurrentTestName() + u"\\Twin",
                            u"which", &which, kView64));
  EXPECT_EQ(u"32", which);
}

TEST(RegistryViews, VariantsReachThe32BitCopies) {
  const Text tail = u"TidewellTest\\" + bench::CurrentTestName() + u"\\App";
  const Text path = u"SOFTWARE\\" + tail;
  SetString(kLM, path, u"Bits", u"64", win::kKeyWow64_64Key);
  CreateKey(kLM, path + u"\\Plugins64", win::kKeyWow64_64Key);
  SetString(kLM, path, u"Bits32", u"32", win::kKeyWow64_32Key);
  CreateKey(kLM, path + u"\\Plugins32", win::kKeyWow64_32Key);

  int count = -1;
  TextList variants{u"poison"};
  RegExistingVariants(kLM, path, kView64, &variants, &count);
  EXPECT_EQ(2, count);
  EXPECT_EQ((TextList{path, u"SOFTWARE\\Wow6432Node\\" + tail}), variants) << U8(variants);

  TextList lines;
  for (const Text& variant : variants) {
    TextList names;
    RegEnumValueNames(kLM, variant, &names, kView64);
    for (const Text& name : names) lines.push_back(variant + u"|" + name);
  }
  EXPECT_EQ((TextList{path + u"|Bits", u"SOFTWARE\\Wow6432Node\\" + tail + u"|Bits32"}), lines) << U8(lines);
  RegSubKeyLines(kLM, path, &lines, kView64);
  EXPECT_EQ((TextList{path + u"|Plugins64", u"SOFTWARE\\Wow6432Node\\" + tail + u"|Plugins32"}), lines)
      << U8(lines);

  TextList tree{u"cleared"};
  RegListKeyTreeAllViews(kLM, path, &tree, kView64);
  EXPECT_EQ((TextList{path + u"\\Plugins64", u"SOFTWARE\\Wow6432Node\\" + tail + u"\\Plugins32"}), tree)
      << U8(tree);
}

TEST(RegistryFind, DepthFirstPreOrder) {
  const Text key = Scratch(u"Find") + u"\\";
  CreateKey(kCU, key + u"A\\Deep\\Target");
  CreateKey(kCU, key + u"B\\Target");
  CreateKey(kCU, key + u"C");
  Text found = u"poison";
  // "A" sorts before "B", and A's subtree is searched before B is looked at.
  RegFindSubKey(kCU, key, u"target", &found, kViewDefault);
  EXPECT_EQ(key + u"A\\Deep\\target\\", found);
  RegFindSubKey(kCU, key, u" B ", &found, kViewDefault);
  EXPECT_EQ(key + u" B \\", found);  // the name as the caller gave it
  RegFindSubKey(kCU, key, u"Nowhere", &found, kViewDefault);
  EXPECT_TRUE(found.empty());
  found = u"poison";
  RegFindSubKey(kCU, key + u"Missing\\", u"Target", &found, kViewDefault);
  EXPECT_TRUE(found.empty());
}

TEST(RegistryValues, RemoveValueAndLinesWithBarsOrQuotes) {
  const Text key = Scratch(u"Values");
  SetString(kCU, key, u"Keep", u"1");
  SetString(kCU, key, u"Drop", u"2");
  SetString(kCU, key, u"With|Bar", u"3");

  EXPECT_TRUE(RegRemoveValue(kCU, u"\\" + key + u"\\", u"Drop", kViewDefault));
  Text text;
  EXPECT_FALSE(RegReadString(kCU, key, u"Drop", &text, kViewDefault));
  EXPECT_TRUE(RegReadString(kCU, key, u"Keep", &text, kViewDefault));
  EXPECT_FALSE(RegRemoveValue(kCU, key, u"Drop", kViewDefault));
  EXPECT_FALSE(RegRemoveValue(kCU, u"", u"Keep", kViewDefault));
  EXPECT_FALSE(RegRemoveValue(0, key, u"Keep", kViewDefault));

  // The notation has no escaping: a value name holding "|" cannot travel in a
  // value line, and the line is cut apart where the name has its bar.
  TextList items;
  SplitByBar(u"HKCU|" + key + u"|With|Bar", &items);
  ASSERT_EQ(4u, items.size());
  EXPECT_FALSE(RegRemoveValue(RegRootFromText(items[0]), items[1], items[2], kViewDefault));
  EXPECT_TRUE(RegReadString(kCU, key, u"With|Bar", &text, kViewDefault));
}

}  // namespace
}  // namespace tw
