// Step 1: the installed programs as icon rows in vendor groups, the details
// panel of the clicked program, the search and Refresh.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "access/folders.h"
#include "access/message_box.h"
#include "access/text_rules.h"
#include "platform/platform.h"
#include "ui/artwork/artwork.h"
#include "ui/bitmap_file.h"
#include "ui/control_ids.h"
#include "ui/main_window.h"

namespace tw::ui {

namespace {

constexpr Colour kBlack = 0;
const Text kIdleSearchText = u"Search...";
const Text kScaleFileName = u"rsicon.bmp";

// SHGetFileInfoW flags: SHGFI_ICON | SHGFI_SYSICONINDEX, and with SHGFI_OPENICON.
constexpr std::uint32_t kShellIconFlags = 0x4100;
constexpr std::uint32_t kShellOpenIconFlags = 0x4102;

// Step 1 page geometry: the list panel on the left, the buttons' strip right of it.
constexpr int kPageWidth = 1024;
constexpr int kPageHeight = 579;
constexpr int kListPanelWidth = 775;
constexpr int kSearchPanelHeight = 50;
constexpr int kInfoPanelHeight = 160;

struct GroupRow {
  int id;
  const char16_t* header;
};
constexpr GroupRow kGroups[] = {
    {1, u"Installed Programs"},
    {2, u"Apple"},
    {3, u"Adobe"},
    {4, u"Oracle Jave"},
    {6, u"Hewlett-Packard"},
    {7, u"Microsoft Office"},
    {8, u"Other Microsoft Programs"},
    {9, u".Net Framework"},
    {10, u"Visual C++"},
    {11, u"Windows Driver Package"},
    {12, u"Microsoft Hotfix"},
    {14, u"Advanced Micro Devices"},
    {15, u"Nvidia"},
};

// Plain substring test after upper-casing both sides by the ASCII rule;
// `upperText` is already upper-cased.
bool HasUpper(const Text& upperText, const char16_t* literal) { return Contains(upperText, UpperAscii(Text(literal))); }

std::uint32_t Channel(Pixel p, int shift) { return (p >> shift) & 0xFFu; }

Pixel MakePixel(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// The icon drawn at its own size onto a white bitmap of the same size.
Picture DrawOnWhite(const Picture& icon) {
  Picture canvas(icon.width, icon.height);
  for (std::size_t i = 0; i < icon.pixels.size(); ++i) {
    const Pixel p = icon.pixels[i];
    const std::uint32_t a = Channel(p, 24);
    auto over = [a](std::uint32_t c) { return (c * a + 255u * (255u - a) + 127u) / 255u; };
    canvas.pixels[i] = MakePixel(255, over(Channel(p, 16)), over(Channel(p, 8)), over(Channel(p, 0)));
  }
  return canvas;
}

// Stretches the picture over a width x height one, each target pixel the
// area-weighted mean of the source pixels it covers (so a shrink keeps thin
// lines as lighter lines instead of dropping them).
Picture Stretch(const Picture& source, int width, int height) {
  Picture out(width, height);
  const double scaleX = static_cast<double>(source.width) / width;
  const double scaleY = static_cast<double>(source.height) / height;
  for (int y = 0; y < height; ++y) {
    const double top = y * scaleY;
    const double bottom = (y + 1) * scaleY;
    for (int x = 0; x < width; ++x) {
      const double left = x * scaleX;
      const double right = (x + 1) * scaleX;
      double sum[4] = {0, 0, 0, 0};
      double total = 0;
      for (int sy = static_cast<int>(top); sy < source.height && sy < bottom; ++sy) {
        const double wy = std::min<double>(bottom, sy + 1) - std::max<double>(top, sy);
        if (wy <= 0) continue;
        for (int sx = static_cast<int>(left); sx < source.width && sx < right; ++sx) {
          const double wx = std::min<double>(right, sx + 1) - std::max<double>(left, sx);
          if (wx <= 0) continue;
          const double w = wx * wy;
          const Pixel p = source.At(sx, sy);
          for (int c = 0; c < 4; ++c) sum[c] += w * Channel(p, 24 - 8 * c);
          total += w;
        }
      }
      std::uint32_t v[4] = {0, 0, 0, 0};
      if (total > 0) {
        for (int c = 0; c < 4; ++c) v[c] = static_cast<std::uint32_t>(std::lround(sum[c] / total));
      }
      out.At(x, y) = MakePixel(v[0], v[1], v[2], v[3]);
    }
  }
  return out;
}

// A masked image list's picture: every pixel of the mask colour (the colour
// of the bottom-left pixel, what a bitmap's transparent colour is taken
// from) comes back transparent.
Picture MaskedByBottomLeft(const Picture& bitmap) {
  Picture out = bitmap;
  const Pixel mask = bitmap.At(0, bitmap.height - 1) & 0x00FFFFFFu;
  for (Pixel& p : out.pixels) {
    if ((p & 0x00FFFFFFu) == mask) {
      p = 0;
    } else {
      p |= 0xFF000000u;
    }
  }
  return out;
}

void SourceOver(Picture& target, const Picture& source, int left, int top) {
  for (int y = 0; y < source.height; ++y) {
    const int ty = top + y;
    if (ty < 0 || ty >= target.height) continue;
    for (int x = 0; x < source.width; ++x) {
      const int tx = left + x;
      if (tx < 0 || tx >= target.width) continue;
      const Pixel s = source.At(x, y);
      const Pixel d = target.At(tx, ty);
      const std::uint32_t a = Channel(s, 24);
      auto mix = [a](std::uint32_t sc, std::uint32_t dc) { return (sc * a + dc * (255u - a) + 127u) / 255u; };
      const std::uint32_t outA = a + (Channel(d, 24) * (255u - a) + 127u) / 255u;
      target.At(tx, ty) =
          MakePixel(outA, mix(Channel(s, 16), Channel(d, 16)), mix(Channel(s, 8), Channel(d, 8)), mix(Channel(s, 0), Channel(d, 0)));
    }
  }
}

}  // namespace

void MainForm::BuildStep1Page() {
  Toolkit& toolkit = toolkit_;

  // The strip right of the list is part of the page's own background, so the
  // two buttons sit on the page at their page coordinates.
  Picture pageBackground(kPageWidth, kPageHeight, OpaquePixel(art::kPageColour));
  SourceOver(pageBackground, art::Step1SidePanel(), kListPanelWidth, 0);
  programListPage->SetBackgroundColour(art::kPageColour);
  programListPage->SetBackgroundPicture(pageBackground);

  programIcons = toolkit.CreateImageList(kListIconSide, kListIconSide);
  placeholderIcons = toolkit.CreateImageList(kListIconSide, kListIconSide);
  placeholderIcons->Add(art::PlaceholderIcon(0));
  placeholderIcons->Add(art::PlaceholderIcon(1));

  programListFrame =
      programListPage->AddPanel(ids::programListFrame, {0, 0, kListPanelWidth, kPageHeight}, art::kListPanelColour);

  // Stacked from the top: the list, the details panel, the search strip. The
  // details start hidden: the list then reaches down to the search strip.
  const int searchTop = kPageHeight - kSearchPanelHeight;
  programList = programListFrame->AddIconList(ids::programList,
                                                              {0, 0, kListPanelWidth, searchTop});
  programList->SetImageList(programIcons.get());
  programList->onClick = [this] { ProgramListClick(); };

  selectedProgramPanel = programListFrame->AddPanel(
      ids::selectedProgramPanel, {0, searchTop - kInfoPanelHeight, kListPanelWidth, kInfoPanelHeight},
      art::kListPanelColour);
  selectedProgramIcon = selectedProgramPanel->AddPictureBox(ids::selectedProgramIcon, {32, 84, 32, 32});
  selectedNameLabel = selectedProgramPanel->AddLabel(ids::selectedNameLabel, {32, 32, 705, 32}, u"");
  Font nameFont;
  nameFont.height = 20;
  nameFont.bold = true;
  selectedNameLabel->SetFont(nameFont);
  selectedNameLabel->SetTextColour(art::kTextGrey);
  selectedVersionLabel = selectedProgramPanel->AddLabel(ids::selectedVersionLabel, {80, 82, 0, 0}, u"");
  selectedPublisherLabel = selectedProgramPanel->AddLabel(ids::selectedPublisherLabel, {80, 105, 0, 0}, u"");
  selectedLocationLabel =
      selectedProgramPanel->AddLabel(ids::selectedLocationLabel, {80, 128, 0, 0}, u"");
  for (Label* label : {selectedVersionLabel, selectedPublisherLabel, selectedLocationLabel}) {
    label->SetTextColour(art::kTextGrey);
  }

  searchPanel = programListFrame->AddPanel(ids::searchPanel,
                                                   {0, searchTop, kListPanelWidth, kSearchPanelHeight},
                                                   art::kSearchPanelColour);
  searchBox = searchPanel->AddEdit(ids::searchBox, {32, 13, 340, 21});
  searchBox->onFocus = [this] { SearchBoxEnter(); };
  searchBox->onKeyDown = [this](int key) { SearchBoxKeyDown(key); };
  searchButton = searchPanel->AddImageButton(ids::searchButton, {352, 15, 18, 18}, u"Search");
  searchButton->SetPictures(art::ButtonPictures(toolkit, art::Button::kSearch, 18, 18));
  searchButton->onClick = [this] { SearchButtonClick(); };

  refreshButton = programListPage->AddImageButton(ids::refreshButton, {775, 284, 249, 54}, u"Refresh");
  refreshButton->SetPictures(art::ButtonPictures(toolkit, art::Button::kRefresh, 249, 54));
  refreshButton->onClick = [this] { RefreshButtonClick(); };
  runAnalysisButton = programListPage->AddImageButton(ids::runAnalysisButton, {829, 406, 150, 150}, u"Run Analysis");
  runAnalysisButton->SetPictures(art::ButtonPictures(toolkit, art::Button::kRunAnalysis, 150, 150));
  runAnalysisButton->onClick = [this] { RunAnalysisButtonClick(); };
}

void MainForm::CreateSoftwareGroups() {
  programList->EnableGroups();
  const std::vector<int> existing = programList->GroupIds();
  for (const GroupRow& group : kGroups) {
    if (std::find(existing.begin(), existing.end(), group.id) != existing.end()) continue;
    programList->AddGroup(group.id, group.header);
  }
}

int MainForm::ProgramGroupId(const Text& name, const Text& publisher) {
  const Text n = UpperAscii(name);
  const Text p = UpperAscii(publisher);
  // Every rule that matches replaces the result of those before it.
  int group = 1;
  if (HasUpper(p, u"Microsoft")) group = 8;
  if (HasUpper(n, u"Microsoft Office")) group = 7;
  if (HasUpper(n, u".Net Framework")) group = 9;
  if (HasUpper(n, u"Windows Driver Package")) group = 11;
  if (HasUpper(n, u"Visual C++")) group = 10;
  if (!name.empty() && name.back() == u')' && HasUpper(n, u"(KB")) group = 12;
  if (HasUpper(n, u"AMD Catalyst Control Center") || HasUpper(n, u"AMD Fuel")) group = 14;
  if (HasUpper(p, u"Advanced Micro Devices")) group = 14;
  if (HasUpper(p, u"Nvidia")) group = 15;
  if (HasUpper(p, u"Adobe")) group = 3;
  if (HasUpper(p, u"Apple")) group = 2;
  if (HasUpper(p, u"Hewlett-Packard")) group = 6;
  if (HasUpper(p, u"Oracle") && HasUpper(n, u"Java")) group = 4;
  return group;
}

bool MainForm::ScaleIconTo32(Picture* icon, const Text& folder) {
  if (icon == nullptr || icon->Empty()) return false;
  const Text file = WithTrailingBackslash(folder) + kScaleFileName;

  const Picture canvas = DrawOnWhite(*icon);
  if (!SaveBitmapFile(file, canvas, 24)) {
    Plat().DeleteFile(file);
    return false;
  }
  const Picture stretched = Stretch(canvas, kListIconSide, kListIconSide);
  Picture loaded;
  const bool ok = SaveBitmapFile(file, stretched, 24) && LoadBitmapFile(file, &loaded) &&
                  loaded.width == kListIconSide && loaded.height == kListIconSide;
  Plat().DeleteFile(file);
  if (!ok) return false;
  *icon = MaskedByBottomLeft(loaded);
  return true;
}

void MainForm::AddProgramRow() {
  const Text& path = rowIconPath_;
  const Text upperPath = UpperAscii(path);
  const Text upperName = UpperAscii(rowName_);

  int image = -1;
  bool newIcon = false;
  Picture icon;  // empty: the row shows no picture

  const auto cached = imageIndexByIconPath_.find(path);
  if (cached != imageIndexByIconPath_.end()) {
    image = cached->second;
  } else {
    newIcon = true;
    // Each rule gives a picture, none (an icon handle of 0: no picture), or
    // fails (the file cannot be read as an icon: no row at all).
    std::optional<Picture> got;
    bool failed = false;
    const bool bitdefender = HasUpper(upperName, u"Bitdefender");
    if (HasUpper(upperPath, u"Icon_Product") ||
        (HasUpper(upperPath, u"\\Installer\\") && !HasUpper(upperPath, u".EXE"))) {
      // Windows Installer keeps product icons without an extension; the shell
      // only reads the icon of such a file under an executable's name.
      // A file of the copy's name that was there before is not ours: it is
      // neither overwritten nor deleted, and its icon is read as it stands.
      if (FileExists(path)) {
        const Text copy = path + u".EXE";
        const bool existed = FileExists(copy);
        if (!existed) Plat().CopyFile(path, copy, true);
        if (FileExists(copy)) {
          got = toolkit_.ShellFileIcon(copy, kShellOpenIconFlags);
          if (!existed) Plat().DeleteFile(copy);
        }
      }
    } else if (HasUpper(upperPath, u".EXE") || HasUpper(upperPath, u".OCX")) {
      got = toolkit_.ShellFileIcon(path, kShellOpenIconFlags);
    } else if (HasUpper(upperPath, u".DLL")) {
      if (rowIconIndex_ != kNoIconIndex) {
        got = toolkit_.ExtractFileIcon(path, rowIconIndex_);
      } else if (HasUpper(upperName, u"McAfee Internet Security") || HasUpper(upperName, u"McAfee AntiVirus Plus") ||
                 HasUpper(upperName, u"McAfee Total Protection")) {
        got = placeholderIcons->Get(0);
      } else if (bitdefender) {
        got = placeholderIcons->Get(1);
      } else {
        got = toolkit_.ShellFileIcon(path, kShellIconFlags);
      }
    } else if (HasUpper(upperPath, u".ICO")) {
      if (bitdefender) {
        got = placeholderIcons->Get(1);
      } else {
        got = toolkit_.LoadIconFile(path);
        failed = !got.has_value();
      }
    } else if (HasUpper(upperPath, u"ICO") && (EndsWith(upperPath, u"ICON") || EndsWith(upperPath, u"ICO"))) {
      got = toolkit_.LoadIconFile(path);
      failed = !got.has_value();
    }
    if (failed) return;
    if (got) icon = std::move(*got);

    if (!icon.Empty()) {
      if ((icon.width != kListIconSide || icon.height != kListIconSide) &&
          !ScaleIconTo32(&icon, appFolder_)) {
        return;
      }
      // The first icon of a load fixes the size of every picture in the list.
      if (listIconSide_ == 0) {
        if (icon.height >= kListIconSide) {
          listIconSide_ = icon.height;
          if (programIcons->Width() != icon.height || programIcons->Height() != icon.height) {
            programIcons->SetSize(icon.height, icon.height);
          }
        }
      } else if (icon.height != listIconSide_ || icon.width != listIconSide_) {
        return;
      }
    }
  }

  // The toolkit's rows take their picture when they are made, so the new
  // picture goes into the image list first.
  if (newIcon) {
    // An empty picture is refused (-1) like any other the list will not take.
    image = icon.Empty() ? -1 : programIcons->Add(icon);
    imageIndexByIconPath_[path] = image;
  }
  programList->AddItem(rowName_,
                                   ProgramGroupId(rowName_, rowPublisher_),
                                   image);
}

void MainForm::ProgramListClick() {
  const int row = programList->Selected();
  InstalledProgram* record =
      (row < 0 || inventory_ == nullptr)
          ? nullptr
          : inventory_->Find(LowerAscii(programList->Caption(row)));
  selectedProgram_ = record;
  if (record == nullptr) {
    ShowProgramDetails(false);
    return;
  }

  const Picture picture = programIcons->Get(programList->Image(row));
  for (PictureBox* box : {selectedProgramIcon, analyzingProgramIcon, reportProgramIcon}) {
    if (box != nullptr) box->SetPicture(picture);
  }
  selectedNameLabel->SetWordWrap(false);
  selectedNameLabel->SetText(record->name);
  auto line = [](const char16_t* title, const Text& value) {
    return Text(title) + (value.empty() ? Text(u"N/A") : value);
  };
  selectedVersionLabel->SetText(line(u"Version: ", record->displayVersion));
  selectedPublisherLabel->SetText(line(u"Publisher: ", record->publisher));
  selectedLocationLabel->SetText(line(u"Install Location: ", record->installLocation));
  ShowProgramDetails(true);
}

void MainForm::SearchBoxEnter() {
  if (searchBox->GetText() == kIdleSearchText) {
    searchBox->SetText(u"");
    searchBox->SetTextColour(kBlack);
  }
}

void MainForm::SearchBoxKeyDown(int virtualKey) {
  constexpr int kVkReturn = 13;
  if (virtualKey == kVkReturn) SearchButtonClick();
}

void MainForm::SearchButtonClick() {
  const Text wanted = Trim(searchBox->GetText());
  if (wanted.empty() || wanted == kIdleSearchText) {
    ShowMessage(u"Please enter the program keywords, such as Adobe Photoshop, Office 2010...",
                win::kMbIconInformation);
    return;
  }
  if (inventory_ == nullptr) return;
  ProgramInventory& inventory = *inventory_;

  const Text lowered = LowerAscii(wanted);
  bool matched = false;
  for (const auto& entry : inventory.byNameLow) {
    if (!Contains(entry.first, lowered)) continue;
    if (!matched) {
      matched = true;
      programList->Clear();
      inventory.ClearShownNames();
      inventory.showsSearch = true;
    }
    inventory.shownNames.push_back(entry.second->nameLow);
  }
  if (!matched) {
    ShowMessage(u"Sorry, no software found.", win::kMbIconInformation);
    return;
  }

  SortOrdinal(inventory.shownNames);
  const std::uint64_t run = ++listRun_;
  // The rows are built by the same handler as during a load; it copies what
  // it is given before it processes waiting messages.
  const TextList keys = inventory.shownNames;
  for (const Text& key : keys) {
    // A close frees the inventory; a Refresh or a newer search owns the list.
    if (closed_ || run != listRun_ || inventory_.get() != &inventory) break;
    const InstalledProgram* record = inventory.Find(key);
    if (record == nullptr) continue;
    OnProgramFound(record->name, record->publisher, record->displayVersion,
                                     record->displayIcon, record->displayIconIndex);
  }
}

void MainForm::RefreshButtonClick() {
  ++listRun_;
  // Both workers hold records of the list about to be emptied.
  traceWorker_.reset();
  inventoryWorker_.reset();
  programList->Clear();
  if (inventory_ != nullptr) inventory_->Clear();
  std::unordered_map<Text, std::int32_t>().swap(imageIndexByIconPath_);
  programIcons->Clear();
  selectedProgram_ = nullptr;
  ShowProgramDetails(false);
  StartInventoryScan();
}

}  // namespace tw::ui
