#include "ui/toolkit/headless/headless_toolkit.h"

#include <algorithm>
#include <thread>

#include "cleanup/app_logo.h"
#include "platform/platform.h"
#include "workers/handover.h"
#include "workers/headless_handover.h"

namespace tw::ui {
namespace headless {

Node* AsNode(Control* control) { return dynamic_cast<Node*>(control); }

// ---------------------------------------------------------------- Label

HLabel::HLabel(int id, const Bounds& bounds, const Text& text)
    : ControlImpl(id, bounds), autoWidth_(bounds.width == 0), autoHeight_(bounds.height == 0), text_(text) {
  Fit();
}

void HLabel::SetText(const Text& text) {
  text_ = text;
  Fit();
}

// A label made without a size grows with its text, as an auto-sized static
// control does; the width is an estimate of Tahoma's average advance.
void HLabel::Fit() {
  if (autoWidth_) bounds_.width = static_cast<int>(text_.size()) * (font_.height * 6 / 11 + 1);
  if (autoHeight_) bounds_.height = font_.height + 3;
}

int HImageButton::ShownPicture() const {
  if (!Enabled()) return 3;
  return mouseState;
}

// ---------------------------------------------------------------- PictureBox

void HPictureBox::SetPicture(const Picture& picture) {
  picture_ = picture.Empty() ? Picture() : picture;
}

void HPictureBox::SetFrames(const std::vector<Picture>& frames, int intervalMs) {
  frames_ = frames;
  intervalMs_ = intervalMs;
  if (frames_.empty()) animating_ = false;
}

// ---------------------------------------------------------------- containers

template <typename Base>
Label* ContainerImpl<Base>::AddLabel(int id, const Bounds& bounds, const Text& text) {
  return Adopt(std::make_unique<HLabel>(id, bounds, text));
}
template <typename Base>
ImageButton* ContainerImpl<Base>::AddImageButton(int id, const Bounds& bounds, const Text& caption) {
  return Adopt(std::make_unique<HImageButton>(id, bounds, caption));
}
template <typename Base>
PictureBox* ContainerImpl<Base>::AddPictureBox(int id, const Bounds& bounds) {
  return Adopt(std::make_unique<HPictureBox>(id, bounds));
}
template <typename Base>
Panel* ContainerImpl<Base>::AddPanel(int id, const Bounds& bounds, Colour background) {
  return Adopt(std::make_unique<HPanel>(id, bounds, background));
}
template <typename Base>
PageControl* ContainerImpl<Base>::AddPageControl(int id, const Bounds& bounds) {
  return Adopt(std::make_unique<HPageControl>(id, bounds));
}
template <typename Base>
Edit* ContainerImpl<Base>::AddEdit(int id, const Bounds& bounds) {
  return Adopt(std::make_unique<HEdit>(id, bounds));
}
template <typename Base>
IconList* ContainerImpl<Base>::AddIconList(int id, const Bounds& bounds) {
  return Adopt(std::make_unique<HIconList>(id, bounds));
}
template <typename Base>
ReportList* ContainerImpl<Base>::AddReportList(int id, const Bounds& bounds, const Text& title) {
  return Adopt(std::make_unique<HReportList>(id, bounds, title));
}

template class ContainerImpl<Panel>;
template class ContainerImpl<Container>;
template class ContainerImpl<Window>;

HPage::HPage(int id, HPageControl* owner) : ContainerImpl(id, Bounds{}), owner_(owner) {}

bool HPage::Visible() const { return visible_ && owner_->ActivePage() == this; }

Bounds HPage::GetBounds() const {
  const Bounds outer = owner_->GetBounds();
  return Bounds{0, 0, outer.width, outer.height};
}

Container* HPageControl::AddPage(int id) {
  auto page = std::make_unique<HPage>(id, this);
  HPage* raw = page.get();
  page->parent = this;
  children.push_back(std::move(page));
  if (!active_) active_ = raw;
  return raw;
}

void HPageControl::SetActivePage(Container* page) {
  for (const auto& child : children) {
    if (child.get() == page) {
      active_ = page;
      return;
    }
  }
}

// ---------------------------------------------------------------- lists

void HImageList::SetSize(int width, int height) {
  width_ = width;
  height_ = height;
  pictures_.clear();
}

int HImageList::Add(const Picture& picture) {
  if (picture.Empty() || picture.pixels.size() != static_cast<std::size_t>(picture.width * picture.height))
    return -1;
  if (picture.width == width_ && picture.height == height_) {
    pictures_.push_back(picture);
  } else {
    Picture scaled(width_, height_);
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        scaled.At(x, y) = picture.At(x * picture.width / width_, y * picture.height / height_);
    pictures_.push_back(std::move(scaled));
  }
  return Count() - 1;
}

Picture HImageList::Get(int index) const {
  if (index < 0 || index >= Count()) return Picture();
  return pictures_[static_cast<std::size_t>(index)];
}

void HIconList::AddGroup(int groupId, const Text& header) {
  for (auto& group : groups_) {
    if (group.first == groupId) {
      group.second = header;
      return;
    }
  }
  groups_.emplace_back(groupId, header);
}

std::vector<int> HIconList::GroupIds() const {
  std::vector<int> ids;
  for (const auto& group : groups_) ids.push_back(group.first);
  return ids;
}

Text HIconList::GroupHeader(int groupId) const {
  for (const auto& group : groups_)
    if (group.first == groupId) return group.second;
  return Text();
}

int HIconList::AddItem(const Text& caption, int groupId, int image) {
  rows_.push_back({caption, groupId, image});
  return Count() - 1;
}

void HIconList::Clear() {
  rows_.clear();
  selected_ = -1;
}

Text HIconList::Caption(int row) const {
  return row >= 0 && row < Count() ? rows_[static_cast<std::size_t>(row)].caption : Text();
}
int HIconList::Group(int row) const {
  return row >= 0 && row < Count() ? rows_[static_cast<std::size_t>(row)].group : -1;
}
int HIconList::Image(int row) const {
  return row >= 0 && row < Count() ? rows_[static_cast<std::size_t>(row)].image : -1;
}
void HIconList::Select(int row) { selected_ = row >= 0 && row < Count() ? row : -1; }

int HReportList::AddRow(const Text& text) {
  rows_.emplace_back(text, true);
  return Count() - 1;
}
Text HReportList::RowText(int row) const {
  return row >= 0 && row < Count() ? rows_[static_cast<std::size_t>(row)].first : Text();
}
bool HReportList::Checked(int row) const {
  return row >= 0 && row < Count() && rows_[static_cast<std::size_t>(row)].second;
}
void HReportList::SetChecked(int row, bool checked) {
  if (row >= 0 && row < Count()) rows_[static_cast<std::size_t>(row)].second = checked;
}

// ---------------------------------------------------------------- windows

HWindow::HWindow(HeadlessToolkit* toolkit, int id, const Text& title, int width, int height, bool main)
    : ContainerImpl(id, Bounds{0, 0, width, height}), toolkit_(toolkit), title_(title), main_(main) {
  toolkit_->Register(this);
}

HWindow::~HWindow() {
  if (toolkit_) toolkit_->Unregister(this);
}

void HWindow::SetVisible(bool visible) {
  if (visible)
    Show();
  else
    showing_ = false;
}

void HWindow::Show() {
  showing_ = true;
  modal_ = false;
  if (onShow) onShow();
}

void HWindow::ShowModal() {
  showing_ = true;
  modal_ = true;
  if (onShow) onShow();
}

void HWindow::Close() {
  showing_ = false;
  modal_ = false;
  if (onClose) onClose();
}

void HWindow::ClientOrigin(int* x, int* y) const {
  *x = bounds_.left;
  *y = bounds_.top;
}

void HWindow::MoveClientTo(int x, int y) {
  bounds_.left = x;
  bounds_.top = y;
}

void HWindow::BeginDrag() {
  if (toolkit_) toolkit_->CountDrag();
}

void HWindow::PostUserMessage(std::uint32_t message) {
  if (toolkit_) toolkit_->Post(this, message);
}

}  // namespace headless

using headless::AsNode;
using headless::HWindow;

namespace {

// A colour of its own for each path, the same for every spelling of it
// (Windows paths ignore case).
Colour PathColour(const Text& path) {
  std::uint32_t hash = 2166136261u;
  for (char16_t c : LowerAscii(path)) {
    hash ^= static_cast<std::uint32_t>(c);
    hash *= 16777619u;
  }
  return hash & 0xFFFFFFu;
}

// The shell has an icon for folders too; ExtractIconW only reads files.
bool PathExists(const Text& path, bool foldersToo) {
  const std::uint32_t attributes = Plat().GetFileAttributes(path);
  if (attributes == win::kInvalidFileAttributes) return false;
  return foldersToo || (attributes & win::kFileAttributeDirectory) == 0;
}

bool IsFolder(const Text& path) {
  const std::uint32_t attributes = Plat().GetFileAttributes(path);
  return attributes != win::kInvalidFileAttributes && (attributes & win::kFileAttributeDirectory) != 0;
}

Control* FindIn(Control* control, int id) {
  if (control->Id() == id) return control;
  headless::Node* node = AsNode(control);
  if (!node) return nullptr;
  for (const auto& child : node->children)
    if (Control* found = FindIn(child.get(), id)) return found;
  return nullptr;
}

}  // namespace

HeadlessToolkit::HeadlessToolkit() = default;

HeadlessToolkit::~HeadlessToolkit() {
  for (HWindow* window : windows_) window->Detach();
}

std::unique_ptr<Window> HeadlessToolkit::CreateMainWindow(int id, const Text& title, int clientWidth,
                                                          int clientHeight) {
  return std::make_unique<HWindow>(this, id, title, clientWidth, clientHeight, true);
}

std::unique_ptr<Window> HeadlessToolkit::CreateSecondaryWindow(int id, const Text& title, int clientWidth,
                                                               int clientHeight) {
  return std::make_unique<HWindow>(this, id, title, clientWidth, clientHeight, false);
}

std::unique_ptr<ImageList> HeadlessToolkit::CreateImageList(int width, int height) {
  return std::make_unique<headless::HImageList>(width, height);
}

void HeadlessToolkit::Unregister(HWindow* window) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
  messages_.erase(std::remove_if(messages_.begin(), messages_.end(),
                                 [window](const auto& m) { return m.first == window; }),
                  messages_.end());
}

void HeadlessToolkit::ProcessMessages() {
  auto* handOver = dynamic_cast<HeadlessHandOver*>(CurrentHandOver());
  // Messages a handler posts are handled in the same call, as a PeekMessage
  // loop would; the bound keeps a handler that always re-posts from hanging.
  for (int round = 0; round < 10000; ++round) {
    bool any = false;
    if (!messages_.empty()) {
      auto [window, message] = messages_.front();
      messages_.pop_front();
      if (window->onUserMessage) window->onUserMessage(message);
      any = true;
    }
    if (handOver && handOver->PumpPending() > 0) any = true;
    if (!any) return;
  }
}

bool HeadlessToolkit::PumpUntil(std::function<bool()> done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    ProcessMessages();
    if (done()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    const auto slice = std::min<std::chrono::milliseconds>(
        std::chrono::milliseconds(20), std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
    if (auto* handOver = dynamic_cast<HeadlessHandOver*>(CurrentHandOver()))
      handOver->PumpUntil([&] { return !messages_.empty() || done(); }, slice);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void HeadlessToolkit::MonitorAreas(const Window*, Bounds* workArea, Bounds* monitor) const {
  *workArea = workArea_;
  *monitor = monitor_;
}

std::optional<Text> HeadlessToolkit::PickFolder(Window&, const Text&) {
  ++folderPicks_;
  if (folderAnswers_.empty()) return std::nullopt;
  std::optional<Text> answer = std::move(folderAnswers_.front());
  folderAnswers_.pop_front();
  if (answer && !IsFolder(*answer)) return std::nullopt;
  return answer;
}

std::optional<Picture> HeadlessToolkit::ShellFileIcon(const Text& path, std::uint32_t flags) {
  lastShellFlags_ = flags;
  if (!PathExists(path, true)) return std::nullopt;
  return Picture(32, 32, OpaquePixel(PathColour(path)));
}

std::optional<Picture> HeadlessToolkit::ExtractFileIcon(const Text& path, int index) {
  lastExtractIndex_ = index;
  if (!PathExists(path, false)) return std::nullopt;
  return Picture(32, 32, OpaquePixel(PathColour(path) ^ static_cast<Colour>(index * 0x1F3D5B)));
}

std::optional<Picture> HeadlessToolkit::LoadIconFile(const Text& path) {
  std::string bytes;
  if (!Plat().ReadFileBytes(path, &bytes)) return std::nullopt;
  auto word = [&](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
           (static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8);
  };
  // ICONDIR (reserved 0, type 1, count) and at least the first ICONDIRENTRY.
  if (bytes.size() < 6 + 16 || word(0) != 0 || word(2) != 1 || word(4) < 1) return std::nullopt;
  int width = static_cast<unsigned char>(bytes[6]);
  int height = static_cast<unsigned char>(bytes[7]);
  if (width == 0) width = 256;
  if (height == 0) height = 256;
  if (width == kLogoSide && height == kLogoSide) {
    LogoPixels logo;
    if (DecodeLogoIcon(bytes, &logo)) {
      Picture picture(kLogoSide, kLogoSide);
      std::copy(logo.bgra.begin(), logo.bgra.end(), picture.pixels.begin());
      return picture;
    }
  }
  return Picture(width, height, OpaquePixel(PathColour(path)));
}

// ---------------------------------------------------------------- test input

bool HeadlessToolkit::Reachable(Control* control) const {
  if (!control) return false;
  for (Control* at = control; at;) {
    if (!at->Visible() || !at->Enabled()) return false;
    headless::Node* node = AsNode(at);
    at = node && node->parent ? &node->parent->Self() : nullptr;
  }
  return true;
}

bool HeadlessToolkit::Click(Control* control) {
  if (!Reachable(control)) return false;
  if (auto* button = dynamic_cast<ImageButton*>(control)) {
    if (!button->onClick) return false;
    button->onClick();
    return true;
  }
  if (auto* label = dynamic_cast<Label*>(control)) {
    if (!label->onClick) return false;
    label->onClick();
    return true;
  }
  if (auto* list = dynamic_cast<IconList*>(control)) {
    if (!list->onClick) return false;
    list->onClick();
    return true;
  }
  return false;
}

bool HeadlessToolkit::ClickRow(IconList* list, int row) {
  if (!Reachable(list)) return false;
  list->Select(row);
  return Click(list);
}

bool HeadlessToolkit::MouseEnter(Control* control) {
  if (!Reachable(control)) return false;
  if (auto* button = dynamic_cast<headless::HImageButton*>(control)) {
    button->mouseState = 1;
    return true;
  }
  if (auto* label = dynamic_cast<Label*>(control)) {
    if (label->onMouseEnter) label->onMouseEnter();
    return true;
  }
  return false;
}

bool HeadlessToolkit::MouseLeave(Control* control) {
  if (auto* button = dynamic_cast<headless::HImageButton*>(control)) {
    button->mouseState = 0;
    return true;
  }
  if (auto* label = dynamic_cast<Label*>(control)) {
    if (label->onMouseLeave) label->onMouseLeave();
    return true;
  }
  return false;
}

bool HeadlessToolkit::MouseDown(Container* container, int button) {
  if (!Reachable(container) || !container->onMouseDown) return false;
  container->onMouseDown(button);
  return true;
}

bool HeadlessToolkit::Focus(Edit* edit) {
  if (!Reachable(edit)) return false;
  if (edit->onFocus) edit->onFocus();
  return true;
}

bool HeadlessToolkit::KeyDown(Edit* edit, int virtualKey) {
  if (!Reachable(edit)) return false;
  if (edit->onKeyDown) edit->onKeyDown(virtualKey);
  return true;
}

Control* HeadlessToolkit::Find(int id) const {
  for (HWindow* window : windows_)
    if (Control* found = FindIn(window, id)) return found;
  return nullptr;
}

std::vector<Window*> HeadlessToolkit::Windows() const {
  return std::vector<Window*>(windows_.begin(), windows_.end());
}

int HeadlessToolkit::Minimized() const {
  int count = minimized_;
  for (HWindow* window : windows_) count += window->MinimizeCount();
  return count;
}

}  // namespace tw::ui
