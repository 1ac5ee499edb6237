// The pending-uninstall state files on the simulated machine: the text format
// on bytes, the whole state written and read back, the pending test, the
// deletion, failures that must be reported, and the icon file.
#include <gtest/gtest.h>

#include "cleanup/app_logo.h"
#include "cleanup/state_files.h"
#include "platform/sim/sim_machine.h"

namespace tw {
namespace {

const Text kFolder = u"C:\\Tools\\Tidewell\\";
const std::string kMark = "\xEF\xBB\xBF";

class CleanupStateFiles : public ::testing::Test {
 protected:
  CleanupStateFiles() { SetPlatform(&m_); }
  ~CleanupStateFiles() override { SetPlatform(nullptr); }
  std::string Bytes(const Text& name) {
    std::string bytes;
    EXPECT_TRUE(m_.ReadFileBytes(kFolder + name, &bytes)) << ToUtf8(name);
    return bytes;
  }
  sim::SimMachine m_;
};

LogoPixels Pattern() {
  LogoPixels p;
  for (int y = 0; y < kLogoSide; ++y)
    for (int x = 0; x < kLogoSide; ++x) p.At(x, y) = (x + y) % 5 == 0 ? 0x00123456u : 0xFF000000u | (y << 16) | (x << 8) | 7;
  return p;
}

TEST_F(CleanupStateFiles, TextIsUtf8WithMarkAndCrLfAndReadsEveryEncoding) {
  EXPECT_EQ("", EncodeStateLines({}));
  EXPECT_EQ(kMark + "\r\n", EncodeStateLines({u""}));
  EXPECT_EQ(kMark + "a\r\n\xC3\xA9\xF0\x9F\x98\x80\r\n", EncodeStateLines({u"a", u"\u00e9\U0001F600"}));
  // A lone surrogate (high, low, high at the end) has no UTF-8 form: such a
  // list is written in UTF-16 and comes back unit for unit.
  for (const Text lone : {Text{char16_t(0xD800), u'z'}, Text{u'z', char16_t(0xDC00)}, Text{u'a', char16_t(0xDBFF)}}) {
    const TextList lines{u"a", u"\u00e9\U0001F600", u"HKCU|Software\\" + lone + u"|" + lone};
    const std::string bytes = EncodeStateLines(lines);
    EXPECT_EQ(0u, bytes.find("\xFF\xFE"));
    EXPECT_EQ(lines, DecodeStateLines(bytes));
    EXPECT_FALSE(DecodeStateLines(bytes.substr(0, bytes.size() - 1)).has_value());
  }

  const TextList two{u"\u00e9\U0001F600", u"b"};
  EXPECT_EQ(two, DecodeStateLines(kMark + "\xC3\xA9\xF0\x9F\x98\x80\r\nb\r\n"));
  // With our mark a last line without CR LF is a write cut short.
  EXPECT_FALSE(DecodeStateLines(kMark + "\xC3\xA9\xF0\x9F\x98\x80\r\nb").has_value());
  EXPECT_EQ(two, DecodeStateLines(std::string("\xFF\xFE\xE9\0\x3D\xD8\0\xDE\r\0\n\0b\0", 14)));
  EXPECT_EQ(two, DecodeStateLines(std::string("\xFE\xFF\0\xE9\xD8\x3D\xDE\0\0\r\0\n\0b", 14)));
  EXPECT_FALSE(DecodeStateLines(std::string("\xFE\xFF\0b\0", 5)).has_value());  // half a unit: cut short
  // No mark: the ANSI code page (Windows-1252 on this machine).
  EXPECT_EQ((TextList{u"Caf\u00e9"}), DecodeStateLines("Caf\xE9\r\n"));

  // CR LF, CR and LF each end a line; empty lines in between stay.
  EXPECT_EQ((TextList{u"a", u"", u"b", u"c", u"d"}), DecodeStateLines("a\r\n\r\nb\rc\nd"));
  EXPECT_EQ((TextList{u"a", u""}), DecodeStateLines(kMark + "a\r\n\r\n"));
  EXPECT_TRUE(DecodeStateLines("")->empty());
  EXPECT_FALSE(DecodeStateLines(kMark).has_value());
}

TEST_F(CleanupStateFiles, StateRoundTripKeepsEveryCharacterAndEntry) {
  PendingState state;
  state.name = u"\u753b\u50cf\u30c4\u30fc\u30eb \U0001F600";
  state.publisher = u"\u041e\u041e\u041e \u0422\u0435\u0441\u0442";
  for (int i = 0; i < 4000; ++i) state.files.push_back(u"C:\\\u7a0b\u5e8f\\f" + FromUtf8(std::to_string(i)) + u".dll");
  state.folders = {u"C:\\Program Files\\\u00c5ngstr\u00f6m\\", u"C:\\\u0416\\"};
  state.registry = {u"HKLM|SOFTWARE\\\u7a0b\u5e8f", u"HKCU|Software\\Run|\u00e9"};
  // A kept value whose name holds a lone surrogate is kept by that name.
  state.kept = {u"HKCU|Software\\Run|x" + Text(1, char16_t(0xDC01)), u"C:\\\u0416\\keep.txt"};
  state.uninstallType = 1;
  state.logo = Pattern();
  ASSERT_TRUE(WritePendingState(u"C:\\Tools\\Tidewell", state).Ok());

  const std::string config = Bytes(kStateConfigFile);
  EXPECT_EQ(0u, config.find(kMark));
  EXPECT_EQ("\r\n", config.substr(config.size() - 2));
  LoadedState back = ReadPendingState(kFolder);
  EXPECT_TRUE(back.Ok());
  EXPECT_EQ((TextList{state.name, state.publisher}), back.config.value());
  EXPECT_EQ(state.name, back.name);
  EXPECT_EQ(state.publisher, back.publisher);
  EXPECT_EQ(state.files, back.files.value());
  EXPECT_EQ(state.folders, back.folders.value());
  EXPECT_EQ(state.registry, back.registry.value());
  EXPECT_EQ(state.kept, back.kept.value());
  EXPECT_EQ(1, back.uninstallType);
  EXPECT_TRUE(back.logo == state.logo);

  // Type 0 round-trips too; without a logo the earlier program's picture goes.
  state.uninstallType = 0;
  state.logo.reset();
  ASSERT_TRUE(WritePendingState(kFolder, state).Ok());
  back = ReadPendingState(kFolder);
  EXPECT_EQ(0, back.uninstallType);
  EXPECT_FALSE(back.logo.has_value());
  EXPECT_FALSE(m_.Exists(kFolder + kStateLogoFile));
}

TEST_F(CleanupStateFiles, EmptyListsAreZeroByteFilesAndStillPending) {
  PendingState state;
  state.name = u"Only Registry";
  state.registry = {u"HKCU|Software\\Vendor"};
  ASSERT_TRUE(WritePendingState(kFolder, state).Ok());
  EXPECT_EQ("", Bytes(kStateFilesFile));
  EXPECT_EQ("", Bytes(kStateFoldersFile));
  EXPECT_EQ(kMark + "Only Registry\r\n\r\n", Bytes(kStateConfigFile));
  EXPECT_TRUE(IsUninstallPending(kFolder));
  const LoadedState back = ReadPendingState(kFolder);
  ASSERT_TRUE(back.files && back.folders);
  EXPECT_TRUE(back.files->empty());
  EXPECT_EQ(u"", back.publisher);
}

TEST_F(CleanupStateFiles, ReadsFilesOfEarlierVersionsAndKeepsListsWithoutAFile) {
  m_.AddFile(kFolder + kStateConfigFile, "Caf\xE9 Tool\r\n");      // one line, ANSI
  m_.AddFile(kFolder + kStateFilesFile, "C:\\Caf\xE9\\a.exe\r\nC:\\b.dll");  // no last break
  m_.AddFile(kFolder + kStateRegistryFile, std::string("\xFF\xFE" "H\0K\0U\0|\0a\0\r\0H\0K\0C\0R\0|\0b\0", 26));
  LoadedState back = ReadPendingState(kFolder);
  EXPECT_TRUE(back.Ok());
  EXPECT_EQ(1u, back.config->size());
  EXPECT_EQ(u"Caf\u00e9 Tool", back.name);
  EXPECT_EQ(u"", back.publisher);
  EXPECT_EQ((TextList{u"C:\\Caf\u00e9\\a.exe", u"C:\\b.dll"}), back.files.value());
  EXPECT_FALSE(back.folders.has_value());
  EXPECT_EQ((TextList{u"HKU|a", u"HKCR|b"}), back.registry.value());
  // No type file: an uninstall saved before the type was kept, whose
  // registry view is not known.
  EXPECT_EQ(0, back.uninstallType);
  EXPECT_FALSE(back.typeKnown);
  EXPECT_FALSE(back.logo.has_value());
}

TEST_F(CleanupStateFiles, OnlyTheListFilesMakeAnUninstallPending) {
  EXPECT_FALSE(IsUninstallPending(kFolder));
  for (const Text name : {kStateConfigFile, kStateLogoFile, kStateTypeFile}) m_.AddFile(kFolder + name, "x");
  EXPECT_FALSE(IsUninstallPending(kFolder));
  for (const Text name : {kStateFilesFile, kStateFoldersFile, kStateRegistryFile}) {
    m_.AddFile(kFolder + name);
    EXPECT_TRUE(IsUninstallPending(kFolder)) << ToUtf8(name);
    m_.DeleteFile(kFolder + name);
  }
}

TEST_F(CleanupStateFiles, DeletionRemovesEveryStateFileAndNothingElse) {
  PendingState state;
  state.files = {u"C:\\x"};
  state.logo = Pattern();
  ASSERT_TRUE(WritePendingState(kFolder, state).Ok());
  m_.AddFile(kFolder + u"rsicon.bmp");
  m_.AddFile(kFolder + u"SLF_FI.txt.bak");
  EXPECT_TRUE(DeletePendingState(kFolder).empty());
  for (const Text& name : StateFileNames()) EXPECT_FALSE(m_.Exists(kFolder + name)) << ToUtf8(name);
  EXPECT_TRUE(m_.Exists(kFolder + u"tidewell.exe") && m_.Exists(kFolder + u"rsicon.bmp") &&
              m_.Exists(kFolder + u"SLF_FI.txt.bak"));
  EXPECT_TRUE(DeletePendingState(kFolder).empty());  // nothing there: no error

  // A file that cannot go is named, and the uninstall stays pending.
  m_.AddFile(kFolder + kStateRegistryFile);
  m_.AddFile(kFolder + kStateTypeFile);
  m_.HoldOpen(kFolder + kStateRegistryFile);
  EXPECT_EQ(std::vector<Text>{kStateRegistryFile}, DeletePendingState(kFolder));
  EXPECT_FALSE(m_.Exists(kFolder + kStateTypeFile));
  EXPECT_TRUE(IsUninstallPending(kFolder));
}

TEST_F(CleanupStateFiles, FilesThatCannotBeWrittenOrReadAreNamed) {
  PendingState state;
  state.files = {u"C:\\new"};
  state.logo = Pattern();
  // The writing stops at the first file that fails, and is named.
  const StateWriteResult nowhere = WritePendingState(u"C:\\Missing\\", state);
  EXPECT_EQ((std::vector<Text>{kStateConfigFile}), nowhere.failed);
  EXPECT_EQ(u"The uninstall state could not be saved in C:\\Missing\\: SIConfig.txt. A restart of Tidewell cannot "
            u"resume this uninstall.",
            DescribeStateWriteFailure(u"C:\\Missing", nowhere.failed));

  // A read-only list file keeps its old content, nothing beside it is left
  // behind, and no list file stays to make a half-written state pending.
  m_.AddFile(kFolder + kStateFilesFile, "C:\\old\r\n", win::kFileAttributeReadOnly);
  EXPECT_EQ(std::vector<Text>{kStateFilesFile}, WritePendingState(kFolder, state).failed);
  EXPECT_EQ("C:\\old\r\n", Bytes(kStateFilesFile));
  EXPECT_FALSE(m_.Exists(kFolder + kStateFilesFile + u".new"));
  EXPECT_FALSE(m_.Exists(kFolder + kStateFoldersFile));
  m_.SetFileAttributes(kFolder + kStateFilesFile, 0);
  ASSERT_TRUE(WritePendingState(kFolder, state).Ok());

  // Something of a state file's name that cannot be read or makes no sense.
  m_.DeleteFile(kFolder + kStateFoldersFile);
  m_.AddDirectory(kFolder + kStateFoldersFile);
  m_.WriteFileBytes(kFolder + kStateTypeFile, "64-bit\r\n");
  m_.WriteFileBytes(kFolder + kStateLogoFile, EncodeLogoIcon(Pattern()).substr(0, 3000));
  const LoadedState back = ReadPendingState(kFolder);
  EXPECT_EQ((std::vector<Text>{kStateFoldersFile, kStateTypeFile, kStateLogoFile}), back.unreadable);
  EXPECT_FALSE(back.folders.has_value());
  EXPECT_EQ((TextList{u"C:\\new"}), back.files.value());
  EXPECT_FALSE(back.typeKnown);
  EXPECT_FALSE(back.logo.has_value());
}

TEST_F(CleanupStateFiles, IconRoundTripWithMaskAndHeader) {
  const LogoPixels in = Pattern();
  const std::string ico = EncodeLogoIcon(in);
  ASSERT_EQ(4286u, ico.size());
  EXPECT_EQ(std::string("\0\0\1\0\1\0\x20\x20\0\0\1\0\x20\0", 14), ico.substr(0, 14));
  EXPECT_EQ(std::string("\x28\0\0\0\x20\0\0\0\x40\0\0\0\1\0\x20\0", 16), ico.substr(22, 16));
  // Bottom-up: the first stored pixel is the picture's bottom-left one.
  EXPECT_EQ(std::string("\7\0\x1F\xFF", 4), ico.substr(62, 4));
  // Mask row of the bottom line (y 31): pixels with x + 31 divisible by 5 are transparent.
  EXPECT_EQ(std::string("\x08\x42\x10\x84", 4), ico.substr(62 + 4096, 4));
  ASSERT_TRUE(Plat().WriteFileBytes(kFolder + kStateLogoFile, EncodeLogoIcon(in)));
  LogoPixels out;
  ASSERT_TRUE(ReadLogoFile(kFolder + kStateLogoFile, &out));
  EXPECT_TRUE(out == in);
}

TEST_F(CleanupStateFiles, IconReaderRefusesDamageAndTakesOtherForms) {
  const std::string good = EncodeLogoIcon(Pattern());
  const LogoPixels untouched{};
  std::string png = good;
  png.replace(22, 4, "\x89PNG");
  std::string wideBitmap = good;
  wideBitmap[26] = 16;  // biWidth 16 under a 32 x 32 entry
  std::string pastEnd = good;
  pastEnd[19] = 1;  // dwImageOffset beyond the file
  for (const std::string& bad : {std::string(), good.substr(0, 5), good.substr(0, 21), good.substr(0, 4285), png,
                                 wideBitmap, pastEnd, "\0\0\2\0" + good.substr(4)}) {
    LogoPixels pixels;
    EXPECT_FALSE(DecodeLogoIcon(bad, &pixels)) << bad.size();
    EXPECT_TRUE(pixels == untouched);
  }

  // 32 bpp without alpha: the AND mask decides. Then the same picture as a
  // 1 bpp image (white on a palette of black and white) behind a 16 x 16 entry.
  std::string noAlpha = good;
  for (std::size_t at = 62 + 3; at < 62 + 4096; at += 4) noAlpha[at] = 0;
  LogoPixels pixels;
  ASSERT_TRUE(DecodeLogoIcon(noAlpha, &pixels));
  EXPECT_EQ(0u, pixels.At(0, 0));
  EXPECT_EQ(0xFF000107u, pixels.At(1, 0));

  std::string mono = std::string("\0\0\1\0\2\0", 6) + std::string("\x10\x10\0\0\1\0\1\0\0\0\0\0\0\0\0\0", 16) +
                     std::string("\x20\x20\2\0\1\0\1\0\0\0\0\0\x26\0\0\0", 16);
  mono += std::string("\x28\0\0\0\x20\0\0\0\x40\0\0\0\1\0\1\0", 16) + std::string(24, '\0');
  mono += std::string(4, '\0') + std::string("\xFF\xFF\xFF\0", 4) + std::string(128, '\xFF') + good.substr(62 + 4096);
  ASSERT_TRUE(DecodeLogoIcon(mono, &pixels));
  EXPECT_EQ(0u, pixels.At(0, 0));
  EXPECT_EQ(0xFFFFFFFFu, pixels.At(1, 0));
}

}  // namespace
}  // namespace tw
