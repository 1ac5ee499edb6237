// The installed-programs page: vendor groups, how each kind of icon path
// becomes a row, the icon cache and size lock, the scaling through
// rsicon.bmp, the details panel, the search and Refresh.
#include <gtest/gtest.h>

#include "cleanup/app_logo.h"
#include "tests/native/ui_harness.h"
#include "ui/bitmap_file.h"

namespace tw::testing_ui {
namespace {

// ---------------------------------------------------------------- groups

TEST(ProgramGroups, LastMatchingRuleDecides) {
  const struct {
    const char16_t* name;
    const char16_t* publisher;
    int group;
  } cases[] = {
      {u"Some Tool", u"Some Vendor", 1},
      {u"Some Tool", u"microsoft corporation", 8},
      {u"Microsoft Office Professional Plus 2010", u"", 7},
      {u"Microsoft .NET Framework 4.8", u"Microsoft Corporation", 9},
      {u"Windows Driver Package - Intel (e1express) Net", u"Intel", 11},
      {u"Microsoft Visual C++ 2010 x86 Redistributable", u"Microsoft Corporation", 10},
      {u"Security Update for Windows (KB2553347)", u"Microsoft Corporation", 12},
      // The publisher rules come later in the order and still win over it.
      {u"Security Update for Windows (KB2553347)", u"Nvidia", 15},
      {u"Security Update for Windows (KB2553347) v2", u"", 1},
      {u"Security Update (kb2553347)", u"", 12},
      {u"AMD Catalyst Control Center", u"", 14},
      {u"AMD Fuel", u"ATI", 14},
      {u"Radeon Settings", u"Advanced Micro Devices, Inc.", 14},
      {u"Microsoft Office Click-to-Run", u"Advanced Micro Devices, Inc.", 14},
      {u"PhysX", u"NVIDIA Corporation", 15},
      {u"Adobe Reader", u"Adobe Systems", 3},
      {u"Adobe AIR", u"HP Inc.", 1},
      {u"iTunes", u"Apple Inc.", 2},
      {u"HP Support Assistant", u"Hewlett-Packard Company", 6},
      {u"Java 8 Update 391", u"Oracle Corporation", 4},
      {u"VirtualBox", u"Oracle Corporation", 1},
      {u"Java Runtime", u"Some Vendor", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.group, MainForm::ProgramGroupId(c.name, c.publisher)) << U8(c.name) << " / " << U8(c.publisher);
  }
}

// ---------------------------------------------------------------- rows

class ProgramRows : public UiFixture {
 protected:
  void SetUp() override { Start(); }

  // One per-program report as the inventory gives it; the row's index, or -1
  // when the program got no row.
  int AddRow(const Text& name, const Text& icon, std::int32_t index = kNoIconIndex, const Text& publisher = u"") {
    form->rowName_ = name;
    form->rowPublisher_ = publisher;
    form->rowVersion_ = u"1.0";
    form->rowIconPath_ = icon;
    form->rowIconIndex_ = index;
    const int before = List()->Count();
    form->AddProgramRow();
    if (List()->Count() == before) return -1;
    EXPECT_EQ(before + 1, List()->Count());
    EXPECT_EQ(name, List()->Caption(before));
    return before;
  }
  IconList* List() { return form->programList; }
  Picture RowPicture(int row) { return form->programIcons->Get(List()->Image(row)); }
  // What the shell gives for a file, asked while it exists.
  Picture ShellIconOf(const Text& path) {
    const bool existed = machine.Exists(path);
    if (!existed) machine.AddFile(path, "MZ");
    std::optional<Picture> icon = toolkit.ShellFileIcon(path, 0x4102);
    if (!existed) machine.DeleteFile(path);
    return icon.value_or(Picture());
  }
  static Picture Opaque(int side, Pixel fill) { return Picture(side, side, 0xFF000000u | fill); }
};

TEST_F(ProgramRows, ExecutablesAndLibraries) {
  machine.AddDirectory(u"C:\\Apps");
  machine.AddFile(u"C:\\Apps\\tool.exe", "MZ");
  machine.AddFile(u"C:\\Apps\\ctl.ocx", "MZ");
  machine.AddFile(u"C:\\Apps\\res.dll", "MZ");
  machine.AddFile(u"C:\\Apps\\plain.dll", "MZ");

  int row = AddRow(u"Tool", u"C:\\Apps\\tool.exe");
  ASSERT_GE(row, 0);
  EXPECT_EQ(0x4102u, toolkit.LastShellIconFlags());
  EXPECT_EQ(*toolkit.ShellFileIcon(u"C:\\Apps\\tool.exe", 0x4102), RowPicture(row));

  row = AddRow(u"Control", u"C:\\Apps\\CTL.OCX");
  ASSERT_GE(row, 0);
  EXPECT_EQ(0x4102u, toolkit.LastShellIconFlags());
  EXPECT_FALSE(RowPicture(row).Empty());

  row = AddRow(u"Library with index", u"C:\\Apps\\res.dll", 3);
  ASSERT_GE(row, 0);
  EXPECT_EQ(3, toolkit.LastExtractIndex());
  EXPECT_EQ(*toolkit.ExtractFileIcon(u"C:\\Apps\\res.dll", 3), RowPicture(row));

  row = AddRow(u"Library without index", u"C:\\Apps\\plain.dll");
  ASSERT_GE(row, 0);
  EXPECT_EQ(0x4100u, toolkit.LastShellIconFlags());
  EXPECT_FALSE(RowPicture(row).Empty());

  // The shell has no icon for a file that is not there: a row without a picture.
  row = AddRow(u"Gone", u"C:\\Apps\\gone.exe");
  ASSERT_GE(row, 0);
  EXPECT_EQ(-1, List()->Image(row));
}

TEST_F(ProgramRows, PlaceholdersStandInForSecurityProducts) {
  machine.AddDirectory(u"C:\\Sec");
  const Picture mcafee = form->placeholderIcons->Get(0);
  const Picture bitdefender = form->placeholderIcons->Get(1);
  ASSERT_FALSE(mcafee.Empty());
  ASSERT_NE(mcafee, bitdefender);

  int row = AddRow(u"McAfee Total Protection", u"C:\\Sec\\a.dll");
  ASSERT_GE(row, 0);
  EXPECT_EQ(mcafee, RowPicture(row));
  row = AddRow(u"mcafee antivirus plus", u"C:\\Sec\\b.dll");
  ASSERT_GE(row, 0);
  EXPECT_EQ(mcafee, RowPicture(row));
  row = AddRow(u"Bitdefender Total Security", u"C:\\Sec\\c.dll");
  ASSERT_GE(row, 0);
  EXPECT_EQ(bitdefender, RowPicture(row));
  // An icon file of Bitdefender's is not even read.
  row = AddRow(u"Bitdefender Agent", u"C:\\Sec\\missing.ico");
  ASSERT_GE(row, 0);
  EXPECT_EQ(bitdefender, RowPicture(row));
  // With an icon index the library's own icon is asked for, whatever the name.
  machine.AddFile(u"C:\\Sec\\d.dll", "MZ");
  row = AddRow(u"McAfee Internet Security", u"C:\\Sec\\d.dll", 0);
  ASSERT_GE(row, 0);
  EXPECT_EQ(*toolkit.ExtractFileIcon(u"C:\\Sec\\d.dll", 0), RowPicture(row));
}

TEST_F(ProgramRows, IconFiles) {
  machine.AddDirectory(u"C:\\Icons");
  LogoPixels logo;
  for (int i = 0; i < kLogoSide * kLogoSide; ++i) logo.bgra[static_cast<std::size_t>(i)] = 0xFF000000u | (i * 977u);
  machine.AddFile(u"C:\\Icons\\app.ico", EncodeLogoIcon(logo));
  machine.AddFile(u"C:\\Icons\\ProductIcon", EncodeLogoIcon(logo));
  machine.AddFile(u"C:\\Icons\\broken.ico", "not an icon at all, just some bytes");

  int row = AddRow(u"With icon file", u"C:\\Icons\\app.ico");
  ASSERT_GE(row, 0);
  Picture expected(kLogoSide, kLogoSide);
  std::copy(logo.bgra.begin(), logo.bgra.end(), expected.pixels.begin());
  EXPECT_EQ(expected, RowPicture(row));

  row = AddRow(u"Icon without extension", u"C:\\Icons\\ProductIcon");
  ASSERT_GE(row, 0);
  EXPECT_EQ(expected, RowPicture(row));

  // An icon file that cannot be read or decoded costs the program its row,
  // and is tried again next time (nothing is cached for it).
  EXPECT_EQ(-1, AddRow(u"Missing icon file", u"C:\\Icons\\missing.ico"));
  EXPECT_EQ(-1, AddRow(u"Broken icon file", u"C:\\Icons\\broken.ico"));
  EXPECT_EQ(0u, form->imageIndexByIconPath_.count(u"C:\\Icons\\missing.ico"));
  EXPECT_EQ(0u, form->imageIndexByIconPath_.count(u"C:\\Icons\\broken.ico"));

  // Neither an executable nor an icon: a row without a picture.
  machine.AddFile(u"C:\\Icons\\readme.txt", "text");
  row = AddRow(u"No icon", u"C:\\Icons\\readme.txt");
  ASSERT_GE(row, 0);
  EXPECT_EQ(-1, List()->Image(row));
}

TEST_F(ProgramRows, InstallerIconsAreReadThroughAnExecutableCopy) {
  const Text folder = u"C:\\Windows\\Installer\\{11111111-2222-3333-4444-555555555555}";
  const Text productIcon = folder + u"\\ARPPRODUCTICON";
  const Text namedIcon = u"C:\\Data\\Icon_Product.exe";
  machine.AddDirectory(folder);
  machine.AddDirectory(u"C:\\Data");
  machine.AddFile(productIcon, "icon data");
  machine.AddFile(namedIcon, "icon data");

  for (const Text& path : {productIcon, namedIcon}) {
    const Picture copyIcon = ShellIconOf(path + u".EXE");
    ASSERT_NE(copyIcon, ShellIconOf(path)) << "the copy must give a picture of its own";
    const int row = AddRow(u"Installer product " + path, path);
    ASSERT_GE(row, 0) << U8(path);
    EXPECT_EQ(copyIcon, RowPicture(row)) << U8(path);
    EXPECT_EQ(0x4102u, toolkit.LastShellIconFlags());
    EXPECT_FALSE(machine.Exists(path + u".EXE")) << "the copy is deleted";
    EXPECT_TRUE(machine.Exists(path)) << "the original stays";
  }

  // The product's icon file is gone: the row stays, without a picture.
  const int row = AddRow(u"Installer product without icon", folder + u"\\gone");
  ASSERT_GE(row, 0);
  EXPECT_EQ(-1, List()->Image(row));
}

TEST_F(ProgramRows, AnInstallerIconCopyNeverReplacesAFileOfItsName) {
  const Text folder = u"C:\\Windows\\Installer\\{22222222-2222-3333-4444-555555555555}";
  const Text productIcon = folder + u"\\ARPPRODUCTICON";
  machine.AddDirectory(folder);
  machine.AddFile(productIcon, "icon data");
  machine.AddFile(productIcon + u".EXE", "somebody else's program");

  const int row = AddRow(u"Installer product beside a namesake", productIcon);
  ASSERT_GE(row, 0);
  EXPECT_EQ(ShellIconOf(productIcon + u".EXE"), RowPicture(row));
  std::string bytes;
  ASSERT_TRUE(Plat().ReadFileBytes(productIcon + u".EXE", &bytes)) << "the namesake is kept";
  EXPECT_EQ("somebody else's program", bytes);
}

TEST_F(ProgramRows, OneLookupPerIconFile) {
  machine.AddDirectory(u"C:\\Shared");
  machine.AddFile(u"C:\\Shared\\icons.dll", "MZ");
  const int pictures = form->programIcons->Count();
  const int first = AddRow(u"First", u"C:\\Shared\\icons.dll", 1);
  const int second = AddRow(u"Second", u"C:\\Shared\\icons.dll", 2);
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  EXPECT_EQ(1, toolkit.LastExtractIndex()) << "the second program's index is never asked for";
  EXPECT_EQ(List()->Image(first), List()->Image(second));
  EXPECT_EQ(pictures + 1, form->programIcons->Count());
  // The key is the path exactly as given: another spelling is another lookup.
  const int third = AddRow(u"Third", u"C:\\SHARED\\icons.dll", 2);
  ASSERT_GE(third, 0);
  EXPECT_EQ(2, toolkit.LastExtractIndex());
  EXPECT_NE(List()->Image(first), List()->Image(third));
}

TEST_F(ProgramRows, IconSizeLock) {
  machine.AddDirectory(u"C:\\Lock");
  machine.AddFile(u"C:\\Lock\\a.exe", "MZ");
  machine.AddFile(u"C:\\Lock\\b.exe", "MZ");
  form->listIconSide_ = 0;
  ASSERT_GE(AddRow(u"A", u"C:\\Lock\\a.exe"), 0);
  EXPECT_EQ(32, form->listIconSide_);
  // A list fixed at another size takes no icon of 32 pixels.
  form->listIconSide_ = 48;
  EXPECT_EQ(-1, AddRow(u"B", u"C:\\Lock\\b.exe"));
  // A picture already in the cache is not measured again.
  EXPECT_GE(AddRow(u"A again", u"C:\\Lock\\a.exe"), 0);
}

TEST_F(ProgramRows, LargeIconsAreScaledThroughATemporaryBitmap) {
  machine.AddDirectory(u"C:\\Big");
  // An icon file whose first image is 48 x 48.
  std::string ico = EncodeLogoIcon(LogoPixels());
  ico[6] = 48;
  ico[7] = 48;
  machine.AddFile(u"C:\\Big\\big.ico", ico);
  const int row = AddRow(u"Big", u"C:\\Big\\big.ico");
  ASSERT_GE(row, 0);
  const Picture picture = RowPicture(row);
  EXPECT_EQ(32, picture.width);
  EXPECT_EQ(32, picture.height);
  EXPECT_FALSE(machine.Exists(programFolder + u"rsicon.bmp"));

  // No folder to write the temporary bitmap in: no row.
  form->appFolder_ = u"C:\\Nowhere\\";
  machine.AddFile(u"C:\\Big\\other.ico", ico);
  EXPECT_EQ(-1, AddRow(u"Big elsewhere", u"C:\\Big\\other.ico"));
}

TEST_F(ProgramRows, ScalingKeepsTheShapeAndMasksTheBackground) {
  // 48 x 48: transparent around a red square in the middle (16..31).
  Picture icon(48, 48, 0);
  for (int y = 16; y < 32; ++y)
    for (int x = 16; x < 32; ++x) icon.At(x, y) = 0xFFFF0000u;
  ASSERT_TRUE(MainForm::ScaleIconTo32(&icon, programFolder));
  ASSERT_EQ(32, icon.width);
  ASSERT_EQ(32, icon.height);
  EXPECT_FALSE(machine.Exists(programFolder + u"rsicon.bmp"));
  // The white the icon was drawn on is the bitmap's transparent colour.
  EXPECT_EQ(0u, icon.At(0, 31) >> 24);
  EXPECT_EQ(0u, icon.At(31, 0) >> 24);
  EXPECT_EQ(0xFFFF0000u, icon.At(15, 15));  // source pixels 22..23: inside the square
  EXPECT_EQ(0u, icon.At(5, 15) >> 24);

  // Unwritable folder: false and the icon as it was.
  Picture kept = Opaque(40, 0x123456);
  const Picture before = kept;
  EXPECT_FALSE(MainForm::ScaleIconTo32(&kept, u"C:\\Nowhere"));
  EXPECT_EQ(before, kept);
  // A temporary file held open by another program cannot be replaced.
  machine.AddFile(programFolder + u"rsicon.bmp", "old");
  machine.HoldOpen(programFolder + u"rsicon.bmp");
  EXPECT_FALSE(MainForm::ScaleIconTo32(&kept, programFolder));
  machine.Release(programFolder + u"rsicon.bmp");
}

// ---------------------------------------------------------------- bitmap file

TEST(BitmapFile, RoundTripsAndRowOrder) {
  Picture picture(3, 2);  // 3 pixels: rows of 9 bytes padded to 12 at 24 bpp
  const Pixel pixels[] = {0xFF102030u, 0xFF405060u, 0xFF708090u, 0xFFA0B0C0u, 0xFFD0E0F0u, 0xFF010203u};
  std::copy(std::begin(pixels), std::end(pixels), picture.pixels.begin());

  const std::string bytes24 = EncodeBitmapFile(picture, 24);
  ASSERT_EQ(14u + 40u + 2u * 12u, bytes24.size());
  // Bottom-up: the file's first row is the picture's last, in B, G, R order.
  EXPECT_EQ('\xC0', bytes24[54]);
  EXPECT_EQ('\xB0', bytes24[55]);
  EXPECT_EQ('\xA0', bytes24[56]);
  Picture back;
  ASSERT_TRUE(DecodeBitmapFile(bytes24, &back));
  EXPECT_EQ(picture, back);

  picture.At(1, 1) = 0x80D0E0F0u;
  ASSERT_TRUE(DecodeBitmapFile(EncodeBitmapFile(picture, 32), &back));
  EXPECT_EQ(picture, back);

  // A 32 bpp file without any alpha is drawn opaque.
  Picture noAlpha(2, 2, 0x00112233u);
  ASSERT_TRUE(DecodeBitmapFile(EncodeBitmapFile(noAlpha, 32), &back));
  EXPECT_EQ(Picture(2, 2, 0xFF112233u), back);

  // Top-down files (negative height) come back the right way up.
  std::string topDown = bytes24;
  const std::int32_t negative = -2;
  for (int i = 0; i < 4; ++i) topDown[22 + i] = static_cast<char>((static_cast<std::uint32_t>(negative) >> (8 * i)) & 0xFF);
  ASSERT_TRUE(DecodeBitmapFile(topDown, &back));
  EXPECT_EQ(0xFFA0B0C0u, back.At(0, 0));
}

TEST(BitmapFile, RefusesWhatItCannotRead) {
  const std::string good = EncodeBitmapFile(Picture(4, 4, 0xFF000000u), 24);
  Picture untouched(1, 1, 7);
  auto refused = [&](std::string bytes) {
    Picture picture = untouched;
    return !DecodeBitmapFile(bytes, &picture) && picture == untouched;
  };
  EXPECT_TRUE(refused(good.substr(0, good.size() - 1)));  // truncated pixels
  EXPECT_TRUE(refused(good.substr(0, 30)));               // truncated header
  std::string bad = good;
  bad[0] = 'X';
  EXPECT_TRUE(refused(bad));
  bad = good;
  bad[30] = 1;  // BI_RLE8
  EXPECT_TRUE(refused(bad));
  bad = good;
  bad[28] = 8;  // 8 bpp
  EXPECT_TRUE(refused(bad));
  bad = good;
  bad[18] = 0;  // width 0
  EXPECT_TRUE(refused(bad));
  EXPECT_TRUE(EncodeBitmapFile(Picture(), 24).empty());
  EXPECT_TRUE(EncodeBitmapFile(Picture(2, 2), 16).empty());
}

// ---------------------------------------------------------------- the page

class ProgramsPage : public UiFixture {
 protected:
  IconList* List() { return form->programList; }
  void AddNamed(const Text& name, const Text& publisher = u"Some Vendor") {
    AddProgram(ProgramSetup(name, publisher, u"1.0", u"C:\\Program Files\\" + name));
  }
  TextList Captions() {
    TextList captions;
    for (int row = 0; row < List()->Count(); ++row) captions.push_back(List()->Caption(row));
    return captions;
  }
  void Search(const Text& text) {
    Edit* box = form->searchBox;
    ASSERT_TRUE(toolkit.Focus(box));
    box->SetText(text);
    ASSERT_TRUE(Click(ids::searchButton));
  }
};

TEST_F(ProgramsPage, LayoutAndGroups) {
  Start();
  EXPECT_EQ((Bounds{0, 0, 775, 579}), form->programListFrame->GetBounds());
  EXPECT_EQ((Bounds{0, 529, 775, 50}), form->searchPanel->GetBounds());
  EXPECT_EQ((Bounds{32, 13, 340, 21}), form->searchBox->GetBounds());
  EXPECT_EQ((Bounds{352, 15, 18, 18}), form->searchButton->GetBounds());
  EXPECT_EQ((Bounds{775, 284, 249, 54}), form->refreshButton->GetBounds());
  EXPECT_EQ((Bounds{829, 406, 150, 150}), form->runAnalysisButton->GetBounds());
  EXPECT_EQ((Bounds{32, 84, 32, 32}), form->selectedProgramIcon->GetBounds());
  EXPECT_EQ((Bounds{32, 32, 705, 32}), form->selectedNameLabel->GetBounds());
  const struct {
    Label* label;
    int top;
  } lines[] = {{form->selectedVersionLabel, 82}, {form->selectedPublisherLabel, 105},
               {form->selectedLocationLabel, 128}};
  for (const auto& line : lines) {
    EXPECT_EQ(80, line.label->GetBounds().left);
    EXPECT_EQ(line.top, line.label->GetBounds().top);
  }
  auto background = [](Panel* panel) { return dynamic_cast<headless::HPanel&>(*panel).BackgroundColour(); };
  EXPECT_EQ(16776443u, background(form->programListFrame));
  EXPECT_EQ(16776443u, background(form->selectedProgramPanel));
  EXPECT_EQ(13616824u, background(form->searchPanel));
  EXPECT_EQ(Text(u"Search..."), form->searchBox->GetText());
  EXPECT_EQ(8421504u, form->searchBox->TextColour());

  const std::vector<int> groups = List()->GroupIds();
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 14, 15}), groups);
  EXPECT_EQ(Text(u"Oracle Jave"), List()->GroupHeader(4));
  EXPECT_EQ(Text(u"Other Microsoft Programs"), List()->GroupHeader(8));
}

TEST_F(ProgramsPage, ClickFillsTheDetails) {
  AddNamed(u"Alpha Editor", u"Alpha Soft");
  AddProgram(ProgramSetup(u"Bare Tool", u"", u"", u"C:\\Program Files\\Bare"));
  Start();

  ASSERT_TRUE(SelectProgram(u"Alpha Editor"));
  ASSERT_NE(nullptr, form->selectedProgram_);
  EXPECT_EQ(Text(u"alpha editor"), form->selectedProgram_->nameLow);
  EXPECT_EQ(Text(u"Alpha Editor"), LabelText(ids::selectedNameLabel));
  EXPECT_FALSE(form->selectedNameLabel->WordWrap());
  EXPECT_EQ(Text(u"Version: 1.0"), LabelText(ids::selectedVersionLabel));
  EXPECT_EQ(Text(u"Publisher: Alpha Soft"), LabelText(ids::selectedPublisherLabel));
  EXPECT_EQ(u"Install Location: " + form->selectedProgram_->installLocation,
            LabelText(ids::selectedLocationLabel));
  EXPECT_EQ((Bounds{0, 0, 775, 369}), List()->GetBounds());
  EXPECT_EQ((Bounds{0, 369, 775, 160}), form->selectedProgramPanel->GetBounds());
  const Picture picture = form->programIcons->Get(List()->Image(RowOf(u"Alpha Editor")));
  EXPECT_EQ(picture, form->selectedProgramIcon->GetPicture());
  EXPECT_EQ(picture, form->analyzingProgramIcon->GetPicture());
  EXPECT_EQ(picture, form->reportProgramIcon->GetPicture());

  ASSERT_TRUE(SelectProgram(u"Bare Tool"));
  EXPECT_EQ(Text(u"Version: N/A"), LabelText(ids::selectedVersionLabel));
  EXPECT_EQ(Text(u"Publisher: N/A"), LabelText(ids::selectedPublisherLabel));

  // A click beside the rows: no selection, no details.
  ASSERT_TRUE(toolkit.ClickRow(List(), -1));
  EXPECT_EQ(nullptr, form->selectedProgram_);
  EXPECT_EQ((Bounds{0, 0, 775, 529}), List()->GetBounds());
  EXPECT_EQ(1, form->selectedProgramPanel->GetBounds().height);
}

TEST_F(ProgramsPage, SearchBoxFocusAndEnter) {
  AddNamed(u"Office Tools");
  Start();
  Edit* box = form->searchBox;
  ASSERT_TRUE(toolkit.Focus(box));
  EXPECT_EQ(Text(), box->GetText());
  EXPECT_EQ(0u, box->TextColour());
  box->SetText(u"office");
  ASSERT_TRUE(toolkit.Focus(box));
  EXPECT_EQ(Text(u"office"), box->GetText()) << "typed text stays on the next focus";

  const std::size_t shown = MessageCount();
  ASSERT_TRUE(toolkit.KeyDown(box, 65));
  EXPECT_EQ(shown, MessageCount());
  box->SetText(u"no such thing");
  ASSERT_TRUE(toolkit.KeyDown(box, 13));
  EXPECT_EQ(Text(u"Sorry, no software found."), LastMessage());
}

TEST_F(ProgramsPage, SearchMessagesLeaveTheListAlone) {
  AddNamed(u"Alpha Editor");
  AddNamed(u"Beta Player");
  Start();
  const TextList all = Captions();
  ASSERT_EQ(2u, all.size());

  // The untouched idle text, and blanks only.
  ASSERT_TRUE(Click(ids::searchButton));
  EXPECT_EQ(Text(u"Please enter the program keywords, such as Adobe Photoshop, Office 2010..."), LastMessage());
  EXPECT_EQ(64u, LastFlags());
  const std::size_t shown = MessageCount();
  Search(u"   \t ");
  EXPECT_EQ(shown + 1, MessageCount());
  EXPECT_EQ(Text(u"Please enter the program keywords, such as Adobe Photoshop, Office 2010..."), LastMessage());

  Search(u"gamma");
  EXPECT_EQ(Text(u"Sorry, no software found."), LastMessage());
  EXPECT_EQ(64u, LastFlags());
  EXPECT_EQ(all, Captions());
  EXPECT_FALSE(form->inventory_->showsSearch);
}

TEST_F(ProgramsPage, SearchListsMatchesInOrderAndKeepsTheSelection) {
  AddNamed(u"Microsoft Office Professional", u"Microsoft Corporation");
  AddNamed(u"LibreOffice", u"The Document Foundation");
  AddNamed(u"Beta Player");
  AddNamed(u"office helper", u"Adobe Systems");
  Start();
  ASSERT_TRUE(SelectProgram(u"Beta Player"));
  InstalledProgram* selected = form->selectedProgram_;
  ASSERT_NE(nullptr, selected);

  const std::size_t shown = MessageCount();
  Search(u"  OFFice ");
  EXPECT_EQ(shown, MessageCount());
  EXPECT_EQ((TextList{u"LibreOffice", u"Microsoft Office Professional", u"office helper"}), Captions());
  EXPECT_EQ(1, List()->Group(RowOf(u"LibreOffice")));
  EXPECT_EQ(7, List()->Group(RowOf(u"Microsoft Office Professional")));
  EXPECT_EQ(3, List()->Group(RowOf(u"office helper")));
  EXPECT_TRUE(form->inventory_->showsSearch);
  EXPECT_EQ(selected, form->selectedProgram_);

  // The records stay: a second search again looks at every program.
  Search(u"player");
  EXPECT_EQ((TextList{u"Beta Player"}), Captions());
  EXPECT_NE(-1, List()->Image(0)) << "the cached picture is used again";
}

// Each row a search adds lets waiting messages through; a Refresh, a newer
// search or a close that comes in between stops the older search.
TEST_F(ProgramsPage, SearchStopsWhenOvertakenMidway) {
  AddNamed(u"Office Alpha");
  AddNamed(u"Office Beta");
  AddNamed(u"Office Gamma");
  AddNamed(u"Player One");
  Start();
  constexpr std::uint32_t kInterrupt = 0x465;
  std::function<void()> interrupt;
  Window& window = form->MainWindow();
  const auto own = window.onUserMessage;
  window.onUserMessage = [&](std::uint32_t message) {
    if (message == kInterrupt)
      interrupt();
    else if (own)
      own(message);
  };
  const TextList all = Captions();
  ASSERT_EQ(4u, all.size());

  interrupt = [&] { ASSERT_TRUE(Click(ids::refreshButton)); };
  window.PostUserMessage(kInterrupt);
  Search(u"office");
  ASSERT_TRUE(WaitInventory());
  EXPECT_EQ(all, Captions()) << "the reloaded list, without rows of the older search";

  interrupt = [&] { Search(u"player"); };
  window.PostUserMessage(kInterrupt);
  Search(u"office");
  EXPECT_EQ((TextList{u"Player One"}), Captions());

  interrupt = [&] { CloseWindow(); };
  window.PostUserMessage(kInterrupt);
  Search(u"office");
  EXPECT_EQ(nullptr, form->inventory_);
  EXPECT_EQ((TextList{u"Office Alpha"}), Captions()) << "nothing is read from the freed inventory";
  window.onUserMessage = own;
}

TEST_F(ProgramsPage, UnreadableIconFileStaysMissing) {
  AddNamed(u"Broken Icon");
  AddNamed(u"Fine Program");
  machine.AddFile(u"C:\\Program Files\\Broken Icon\\app.ico", "garbage");
  machine.SetString(kLM, kUninstallKey + u"Broken Icon", u"DisplayIcon", u"C:\\Program Files\\Broken Icon\\app.ico");
  Start();
  EXPECT_EQ(-1, RowOf(u"Broken Icon"));
  EXPECT_NE(-1, RowOf(u"Fine Program"));
  Search(u"icon");
  EXPECT_EQ(0, List()->Count());
  EXPECT_TRUE(form->inventory_->showsSearch) << "the record matched; only its row is missing";
}

TEST_F(ProgramsPage, RefreshAfterAClick) {
  AddNamed(u"Alpha Editor");
  AddNamed(u"Beta Player");
  Start();
  ASSERT_TRUE(SelectProgram(u"Alpha Editor"));
  Search(u"beta");
  ASSERT_EQ(1, List()->Count());

  ASSERT_TRUE(Click(ids::refreshButton));
  EXPECT_EQ(nullptr, form->selectedProgram_);
  EXPECT_EQ(0, List()->Count());
  EXPECT_TRUE(form->imageIndexByIconPath_.empty());
  EXPECT_EQ(0, form->programIcons->Count());
  EXPECT_EQ(1, form->selectedProgramPanel->GetBounds().height);
  EXPECT_FALSE(form->selectedProgramPanel->Visible());

  ASSERT_TRUE(WaitInventory());
  EXPECT_EQ((TextList{u"Alpha Editor", u"Beta Player"}), Captions());
  EXPECT_FALSE(form->inventory_->showsSearch);
  EXPECT_EQ(nullptr, form->selectedProgram_);
}

}  // namespace
}  // namespace tw::testing_ui
