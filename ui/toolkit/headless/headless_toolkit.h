// The toolkit as plain state, for the native tests of the windows. Nothing is
// drawn; every control keeps what it was given, and the toolkit offers a
// test the input a user would give: clicks, keys, folder-picker answers, and
// the delivery of posted messages and worker hand-overs.
//
// Visibility follows Windows: a control can only be clicked when it, and
// every container above it up to its top-level window, is visible and
// enabled. A page of a page control is visible only while it is the active
// page (the first page added becomes active when none is).
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "ui/toolkit/toolkit.h"

namespace tw::ui {

class HeadlessToolkit;

namespace headless {

// What every headless control has besides its interface: its place in the
// tree of controls.
class Node {
 public:
  virtual ~Node() = default;
  virtual Control& Self() = 0;
  Node* parent = nullptr;
  std::vector<std::unique_ptr<Control>> children;
};

Node* AsNode(Control* control);

template <typename Base>
class ControlImpl : public Base, public Node {
 public:
  explicit ControlImpl(int id, const Bounds& bounds) : id_(id), bounds_(bounds) {}
  Control& Self() override { return *this; }
  int Id() const override { return id_; }
  void SetBounds(const Bounds& bounds) override { bounds_ = bounds; }
  Bounds GetBounds() const override { return bounds_; }
  void SetVisible(bool visible) override { visible_ = visible; }
  bool Visible() const override { return visible_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }

 protected:
  int id_;
  Bounds bounds_;
  bool visible_ = true;
  bool enabled_ = true;
};

class HLabel : public ControlImpl<Label> {
 public:
  HLabel(int id, const Bounds& bounds, const Text& text);
  void SetText(const Text& text) override;
  Text GetText() const override { return text_; }
  void SetFont(const Font& font) override { font_ = font; }
  Font GetFont() const override { return font_; }
  void SetTextColour(Colour colour) override { colour_ = colour; }
  Colour TextColour() const override { return colour_; }
  void SetWordWrap(bool wrap) override { wrap_ = wrap; }
  bool WordWrap() const override { return wrap_; }
  void SetAlignment(Align) override {}
  void SetHandCursor(bool) override {}

 private:
  void Fit();
  bool autoWidth_, autoHeight_;
  Text text_;
  Font font_;
  Colour colour_ = 0;
  bool wrap_ = false;
};

class HImageButton : public ControlImpl<ImageButton> {
 public:
  HImageButton(int id, const Bounds& bounds, const Text& caption)
      : ControlImpl(id, bounds), caption_(caption) {}
  void SetPictures(const Pictures& pictures) override { pictures_ = pictures; }
  Text Caption() const override { return caption_; }
  int ShownPicture() const override;
  // The mouse over the button (1) or pressed on it (2), or neither (0).
  int mouseState = 0;

 private:
  Text caption_;
  Pictures pictures_;
};

class HPictureBox : public ControlImpl<PictureBox> {
 public:
  using ControlImpl::ControlImpl;
  void SetPicture(const Picture& picture) override;
  Picture GetPicture() const override { return picture_; }
  void SetFrames(const std::vector<Picture>& frames, int intervalMs) override;
  void StartAnimation() override { animating_ = !frames_.empty(); }
  void StopAnimation() override { animating_ = false; }
  bool Animating() const override { return animating_; }

 private:
  Picture picture_;
  std::vector<Picture> frames_;
  int intervalMs_ = 0;
  bool animating_ = false;
};

class HPageControl;

template <typename Base>
class ContainerImpl : public ControlImpl<Base> {
 public:
  using ControlImpl<Base>::ControlImpl;
  Label* AddLabel(int id, const Bounds& bounds, const Text& text) override;
  ImageButton* AddImageButton(int id, const Bounds& bounds, const Text& caption) override;
  PictureBox* AddPictureBox(int id, const Bounds& bounds) override;
  Panel* AddPanel(int id, const Bounds& bounds, Colour background) override;
  PageControl* AddPageControl(int id, const Bounds& bounds) override;
  Edit* AddEdit(int id, const Bounds& bounds) override;
  IconList* AddIconList(int id, const Bounds& bounds) override;
  ReportList* AddReportList(int id, const Bounds& bounds, const Text& title) override;
  void SetBackgroundColour(Colour colour) override { background_ = colour; }
  void SetBackgroundPicture(const Picture&) override {}
  Colour BackgroundColour() const { return background_; }

 protected:
  template <typename T>
  T* Adopt(std::unique_ptr<T> child) {
    T* raw = child.get();
    child->parent = this;
    this->children.push_back(std::move(child));
    return raw;
  }
  Colour background_ = 0xFFFFFF;
};

class HPanel : public ContainerImpl<Panel> {
 public:
  HPanel(int id, const Bounds& bounds, Colour background) : ContainerImpl(id, bounds) {
    background_ = background;
  }
};

class HPage : public ContainerImpl<Container> {
 public:
  HPage(int id, HPageControl* owner);
  bool Visible() const override;
  Bounds GetBounds() const override;

 private:
  HPageControl* owner_;
};

class HPageControl : public ControlImpl<PageControl> {
 public:
  using ControlImpl::ControlImpl;
  Container* AddPage(int id) override;
  void SetActivePage(Container* page) override;
  Container* ActivePage() const override { return active_; }

 private:
  Container* active_ = nullptr;
};

class HEdit : public ControlImpl<Edit> {
 public:
  using ControlImpl::ControlImpl;
  void SetText(const Text& text) override { text_ = text; }
  Text GetText() const override { return text_; }
  void SetTextColour(Colour colour) override { colour_ = colour; }
  Colour TextColour() const override { return colour_; }
  void SetReadOnly(bool readOnly) override { readOnly_ = readOnly; }
  bool ReadOnly() const override { return readOnly_; }

 private:
  Text text_;
  Colour colour_ = 0;
  bool readOnly_ = false;
};

class HImageList : public ImageList {
 public:
  HImageList(int width, int height) : width_(width), height_(height) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetSize(int width, int height) override;
  int Add(const Picture& picture) override;
  int Count() const override { return static_cast<int>(pictures_.size()); }
  Picture Get(int index) const override;
  void Clear() override { pictures_.clear(); }

 private:
  int width_, height_;
  std::vector<Picture> pictures_;
};

class HIconList : public ControlImpl<IconList> {
 public:
  using ControlImpl::ControlImpl;
  void SetImageList(ImageList* images) override { images_ = images; }
  bool EnableGroups() override { return true; }
  void AddGroup(int groupId, const Text& header) override;
  std::vector<int> GroupIds() const override;
  Text GroupHeader(int groupId) const override;
  int AddItem(const Text& caption, int groupId, int image) override;
  void Clear() override;
  int Count() const override { return static_cast<int>(rows_.size()); }
  Text Caption(int row) const override;
  int Group(int row) const override;
  int Image(int row) const override;
  int Selected() const override { return selected_; }
  void Select(int row) override;
  ImageList* Images() const { return images_; }

 private:
  struct Row {
    Text caption;
    int group;
    int image;
  };
  ImageList* images_ = nullptr;
  std::vector<std::pair<int, Text>> groups_;
  std::vector<Row> rows_;
  int selected_ = -1;
};

class HReportList : public ControlImpl<ReportList> {
 public:
  HReportList(int id, const Bounds& bounds, const Text& title) : ControlImpl(id, bounds), title_(title) {}
  int AddRow(const Text& text) override;
  void Clear() override { rows_.clear(); }
  int Count() const override { return static_cast<int>(rows_.size()); }
  Text RowText(int row) const override;
  bool Checked(int row) const override;
  void SetChecked(int row, bool checked) override;
  Text ColumnTitle() const override { return title_; }

 private:
  Text title_;
  std::vector<std::pair<Text, bool>> rows_;
};

class HWindow : public ContainerImpl<Window> {
 public:
  HWindow(HeadlessToolkit* toolkit, int id, const Text& title, int width, int height, bool main);
  ~HWindow() override;
  bool Visible() const override { return showing_; }
  void SetVisible(bool visible) override;
  void Show() override;
  void ShowModal() override;
  void Close() override;
  bool Showing() const override { return showing_; }
  bool ShowingModal() const override { return showing_ && modal_; }
  void Minimize() override { ++minimized_; }
  void SetTitle(const Text& title) override { title_ = title; }
  Text Title() const override { return title_; }
  void ClientOrigin(int* x, int* y) const override;
  int ClientWidth() const override { return bounds_.width; }
  int ClientHeight() const override { return bounds_.height; }
  void MoveClientTo(int x, int y) override;
  void BeginDrag() override;
  void PostUserMessage(std::uint32_t message) override;
  std::uintptr_t NativeHandle() const override { return 0; }
  int MinimizeCount() const { return minimized_; }
  void Detach() { toolkit_ = nullptr; }

 private:
  HeadlessToolkit* toolkit_;
  Text title_;
  bool main_;
  bool showing_ = false;
  bool modal_ = false;
  int minimized_ = 0;
};

}  // namespace headless

class HeadlessToolkit : public Toolkit {
 public:
  HeadlessToolkit();
  ~HeadlessToolkit() override;

  std::unique_ptr<Window> CreateMainWindow(int id, const Text& title, int clientWidth,
                                           int clientHeight) override;
  std::unique_ptr<Window> CreateSecondaryWindow(int id, const Text& title, int clientWidth,
                                                int clientHeight) override;
  std::unique_ptr<ImageList> CreateImageList(int width, int height) override;
  void Run() override {}
  void ProcessMessages() override;
  void Terminate() override { terminated_ = true; }
  bool Terminated() const override { return terminated_; }
  void MinimizeApplication() override { ++minimized_; }
  std::uintptr_t ApplicationHandle() const override { return 0; }
  void MonitorAreas(const Window* window, Bounds* workArea, Bounds* monitor) const override;
  std::optional<Text> PickFolder(Window& owner, const Text& title) override;
  std::optional<Picture> ShellFileIcon(const Text& path, std::uint32_t flags) override;
  std::optional<Picture> ExtractFileIcon(const Text& path, int index) override;
  std::optional<Picture> LoadIconFile(const Text& path) override;
  void DrawText(Picture&, const Bounds&, const Text&, const Font&, Colour, Align) override {}

  // ---- For tests.
  // Runs an image button's or label's onClick when it can be clicked (it and
  // every container above it visible and enabled); for an icon list, its
  // onClick under the same rule. True when the handler ran.
  bool Click(Control* control);
  // Selects `row` of an icon list (-1: a click beside the rows) and clicks it.
  bool ClickRow(IconList* list, int row);
  // The mouse entering or leaving a label (its handlers), or an image button
  // (its hover picture); false when the control cannot take the mouse.
  bool MouseEnter(Control* control);
  bool MouseLeave(Control* control);
  // A mouse button on a container's own background.
  bool MouseDown(Container* container, int button);
  // Focus and a key press in an edit box.
  bool Focus(Edit* edit);
  bool KeyDown(Edit* edit, int virtualKey);
  // Whether a user could reach the control now (the rule of Click).
  bool Reachable(Control* control) const;

  // Any control (or window) of the windows made by this toolkit, by its ID.
  Control* Find(int id) const;
  template <typename T>
  T* FindAs(int id) const {
    return dynamic_cast<T*>(Find(id));
  }
  std::vector<Window*> Windows() const;

  // Folder-picker answers, used in turn; with none queued the picker is
  // cancelled. As the shell's dialog does, a path that is no folder as this
  // process sees it (through its file-system redirection) is not taken: the
  // picker then ends as cancelled.
  void QueueFolderPick(std::optional<Text> answer) { folderAnswers_.push_back(std::move(answer)); }
  int FolderPickCount() const { return folderPicks_; }

  // Processes messages and worker hand-overs in turn until `done` holds;
  // false when `timeout` passed first.
  bool PumpUntil(std::function<bool()> done,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(60000));
  int PendingMessages() const { return static_cast<int>(messages_.size()); }

  // How often the application or any window was minimised.
  int Minimized() const;
  int DragCount() const { return drags_; }
  std::uint32_t LastShellIconFlags() const { return lastShellFlags_; }
  int LastExtractIndex() const { return lastExtractIndex_; }

  // Called by the headless windows.
  void Register(headless::HWindow* window) { windows_.push_back(window); }
  void Unregister(headless::HWindow* window);
  void Post(headless::HWindow* window, std::uint32_t message) { messages_.push_back({window, message}); }
  void CountDrag() { ++drags_; }

 private:
  std::vector<headless::HWindow*> windows_;
  std::deque<std::pair<headless::HWindow*, std::uint32_t>> messages_;
  std::deque<std::optional<Text>> folderAnswers_;
  int folderPicks_ = 0;
  bool terminated_ = false;
  int minimized_ = 0;
  int drags_ = 0;
  std::uint32_t lastShellFlags_ = 0;
  int lastExtractIndex_ = 0;
  Bounds workArea_{0, 0, 1920, 1040};
  Bounds monitor_{0, 0, 1920, 1080};
};

}  // namespace tw::ui
