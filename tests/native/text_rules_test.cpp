// The text rules and the registry line splitters: pure functions, checked
// against the cases that code plausibly gets wrong.
#include <gtest/gtest.h>

#include "access/registry.h"
#include "access/text_rules.h"

namespace tw {
namespace {

TEST(TextRules, TrimAndAsciiCaseFolding) {
  EXPECT_EQ(u"a b", Trim(Text(u"\x01\t\r\n a b \x1f\x20")));
  EXPECT_EQ(u"", Trim(u" \t "));
  EXPECT_EQ(u"\u00a0x\u00a0", Trim(u" \u00a0x\u00a0 "));  // no-break space has code 160: kept
  EXPECT_EQ(u"ABC\u00e9\u00c9Z[`{", UpperAscii(Text(u"abC\u00e9\u00c9z[`{")));
  EXPECT_EQ(u"abc\u00e9\u00c9z@[", LowerAscii(Text(u"ABc\u00e9\u00c9Z@[")));
  EXPECT_TRUE(SameTextAscii(u"Program Files", u"PROGRAM files"));
  EXPECT_FALSE(SameTextAscii(u"\u00e9", u"\u00c9"));  // only ASCII letters fold
  EXPECT_FALSE(SameTextAscii(u"ab", u"abc"));
}

TEST(TextRules, OrdinalSortPutsUpperBeforeLower) {
  TextList list{u"b", u"a", u"Z", u"\u00e4", u"A", u"aa"};
  SortOrdinal(list);
  EXPECT_EQ((TextList{u"A", u"Z", u"a", u"aa", u"b", u"\u00e4"}), list);
}

TEST(TextRules, Utf8RoundTripAndLoneSurrogates) {
  const Text text = u"a\u00e9\u4e2d\U0001F600";
  EXPECT_EQ(text, FromUtf8(ToUtf8(text)));
  EXPECT_EQ("a\xEF\xBF\xBD" "b", ToUtf8(Text(u"a") + char16_t(0xD800) + u"b"));
  EXPECT_EQ(u"\uFFFD", FromUtf8("\xC0\xAF").substr(0, 1));  // overlong form rejected
}

struct SplitCase {
  const char16_t* text;
  char separator;
  std::vector<Text> items;
};

TEST(Splitting, QuotesLineBreaksAndEmptyItems) {
  const SplitCase cases[] = {
      {u"HKLM|SOFTWARE\\Foo|", '|', {u"HKLM", u"SOFTWARE\\Foo"}},
      {u"HKCU|Software\\It's|Name", '|', {u"HKCU", u"Software\\It's|Name"}},
      {u"HKCU|\"a|b\"|c", '|', {u"HKCU", u"\"a|b\"", u"c"}},
      {u"a|'unclosed|b|c", '|', {u"a", u"'unclosed|b|c"}},
      {u"a|\"x'y\"|z", '|', {u"a", u"\"x'y\"", u"z"}},
      {u"||", '|', {}},
      {u"", '|', {}},
      {u" a | b ", '|', {u" a ", u" b "}},
      {u"one\r\ntwo\rthree\nfour", '|', {u"one", u"two", u"three", u"four"}},
      {u"\r\n\r\nx|y", '|', {u"x", u"y"}},
      {u"a\"q\r\nq\"b|c", '|', {u"a\"q\r\nq\"b", u"c"}},
      {u"\\SOFTWARE\\\\Classes\\", '\\', {u"SOFTWARE", u"Classes"}},
      {u"1,2,,3", ',', {u"1", u"2", u"3"}},
      {u"\"C:\\a,b\\x.exe\",0", ',', {u"\"C:\\a,b\\x.exe\"", u"0"}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(ToUtf8(c.text));
    TextList items{u"poison"};
    bool any = false;
    if (c.separator == '|') any = SplitByBar(c.text, &items);
    if (c.separator == '\\') any = SplitByBackslash(c.text, &items);
    if (c.separator == ',') any = SplitByComma(c.text, &items);
    EXPECT_EQ(c.items, items);
    EXPECT_EQ(!c.items.empty(), any);
  }
}

TEST(Splitting, IsIntegerText) {
  const struct {
    const char16_t* text;
    bool integer;
  } cases[] = {
      {u" -12 ", true},      {u"+7", true},          {u"0", true},           {u"$1F", true},
      {u"0x10", true},       {u"0X10", true},        {u"x10", true},         {u"X1f", true},
      {u"2147483647", true}, {u"-2147483648", true}, {u"$FFFFFFFF", true},   {u"0xffffffff", true},
      {u"\t42\r\n", true},   {u"00000000000000000001", true},
      {u"", false},          {u"   ", false},        {u"12a", false},        {u"2147483648", false},
      {u"-2147483649", false}, {u"$100000000", false}, {u"0x", false},       {u"$", false},
      {u"-", false},         {u"1 2", false},        {u"1.5", false},        {u"\uff11", false},
      {u"99999999999999999999", false},
  };
  for (const auto& c : cases) {
    std::int32_t value = 0;
    EXPECT_EQ(c.integer, ParseIntegerText(c.text, &value)) << ToUtf8(c.text);
  }
}

TEST(Wow6432VariantsTest, InsertionPositions) {
  TextList list{u"untouched"};
  EXPECT_FALSE(Wow6432Variants(u"SOFTWARE", true, &list));
  EXPECT_FALSE(Wow6432Variants(u"", true, &list));
  EXPECT_EQ((TextList{u"untouched"}), list);

  EXPECT_TRUE(Wow6432Variants(u"SOFTWARE\\Classes\\CLSID", true, &list));
  EXPECT_EQ((TextList{u"SOFTWARE\\Classes\\CLSID", u"SOFTWARE\\Wow6432Node\\Classes\\CLSID",
                      u"SOFTWARE\\Classes\\Wow6432Node\\CLSID"}),
            list);

  EXPECT_TRUE(Wow6432Variants(u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", true, &list));
  EXPECT_EQ((TextList{u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
                      u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
                      u"SOFTWARE\\Microsoft\\Wow6432Node\\Windows\\CurrentVersion\\Uninstall\\",
                      u"SOFTWARE\\Microsoft\\Windows\\Wow6432Node\\CurrentVersion\\Uninstall\\",
                      u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Wow6432Node\\Uninstall\\"}),
            list);

  EXPECT_TRUE(Wow6432Variants(u"SOFTWARE\\X", false, &list));
  EXPECT_EQ((TextList{u"SOFTWARE\\Wow6432Node\\X"}), list);

  EXPECT_TRUE(Wow6432Variants(u"\\", true, &list));
  EXPECT_EQ((TextList{u"\\"}), list);

  // Positions are counted from the components, so a leading "\" shifts the
  // insertion one character left of the separator; the result stays inside
  // the text.
  EXPECT_TRUE(Wow6432Variants(u"\\A\\B", true, &list));
  EXPECT_EQ((TextList{u"\\A\\B", u"\\\\Wow6432NodeA\\B"}), list);
}

TEST(RegistryLines, RootTexts) {
  EXPECT_EQ(win::kHKeyLocalMachine, RegRootFromText(u"HKLM"));
  EXPECT_EQ(win::kHKeyCurrentUser, RegRootFromText(u"HKCU"));
  EXPECT_EQ(win::kHKeyUsers, RegRootFromText(u"HKU"));
  EXPECT_EQ(win::kHKeyClassesRoot, RegRootFromText(u"HKCR"));
  for (const char16_t* other : {u"hklm", u"HKLM ", u"HKEY_LOCAL_MACHINE", u"", u"HKCC"}) {
    EXPECT_EQ(0u, RegRootFromText(other)) << ToUtf8(other);
  }
  EXPECT_EQ(0xF003Fu, RegAccessMask(kViewDefault));
  EXPECT_EQ(0xF013Fu, RegAccessMask(kView64));
  EXPECT_EQ(0xF023Fu, RegAccessMask(kView32));
  EXPECT_EQ(0xF003Fu, RegAccessMask(3));
}

}  // namespace
}  // namespace tw
