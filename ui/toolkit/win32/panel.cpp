// Panels, the page control and its pages: plain container windows of our own
// class. A page has no background of its own unless one is set, so it shows
// what lies beneath the page control.
#include "ui/toolkit/win32/native_window.h"

#include <algorithm>

namespace tw::ui::win32 {
namespace {

constexpr DWORD kContainerStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

class Win32Panel : public ContainerImpl<Panel> {
 public:
  Win32Panel(HWND parent, int id, const Bounds& bounds, Colour background) : ContainerImpl(id) {
    colour_ = background;
    hasColour_ = true;
    CreateOwn(WS_EX_CONTROLPARENT, kPanelClass, L"", kContainerStyle, bounds.left, bounds.top, bounds.width,
              bounds.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
  }
};

class Win32Page : public ContainerImpl<Container> {
 public:
  Win32Page(HWND pageControl, int id) : ContainerImpl(id) {
    RECT client = {};
    ::GetClientRect(pageControl, &client);
    // Made hidden; the page control shows the active one.
    CreateOwn(WS_EX_CONTROLPARENT, kPanelClass, L"", kContainerStyle & ~static_cast<DWORD>(WS_VISIBLE), 0, 0,
              client.right, client.bottom, pageControl, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
  }
  // A page's own visibility is whether it is the page shown.
  void SetVisible(bool) override {}
};

class Win32PageControl : public ControlImpl<PageControl> {
 public:
  Win32PageControl(HWND parent, int id, const Bounds& bounds) : ControlImpl(id) {
    CreateOwn(WS_EX_CONTROLPARENT, kPagesClass, L"", kContainerStyle, bounds.left, bounds.top, bounds.width,
              bounds.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
  }
  ~Win32PageControl() override { pages_.clear(); }

  Container* AddPage(int id) override {
    auto page = MakePage(hwnd_, id);
    if (page == nullptr) return nullptr;
    Container* raw = page.get();
    pages_.push_back(std::move(page));
    // As with a tab control, the first page is the one shown until another is chosen.
    if (active_ == nullptr) SetActivePage(raw);
    return raw;
  }

  void SetActivePage(Container* page) override {
    auto found = std::find_if(pages_.begin(), pages_.end(), [page](const auto& p) { return p.get() == page; });
    if (found == pages_.end()) return;
    Container* previous = active_;
    active_ = page;
    // Show the new page before hiding the old one, so that what lies beneath
    // never shows through for a moment.
    ::ShowWindow(HandleOf(active_), SW_SHOWNA);
    if (previous != nullptr && previous != active_) ::ShowWindow(HandleOf(previous), SW_HIDE);
  }
  Container* ActivePage() const override { return active_; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    LRESULT result = 0;
    if (RouteFromChild(message, wParam, lParam, &result)) return result;
    switch (message) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        PaintBuffered([](Canvas&, int, int) {});
        return 0;
      case WM_SIZE:
        // Pages fill the page control.
        for (const auto& page : pages_)
          ::MoveWindow(HandleOf(page.get()), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
      default:
        return Default(message, wParam, lParam);
    }
  }

 private:
  static HWND HandleOf(Container* page) {
    auto* native = dynamic_cast<NativeWindow*>(page);
    return native != nullptr ? native->Handle() : nullptr;
  }

  std::vector<std::unique_ptr<Container>> pages_;
  Container* active_ = nullptr;
};

}  // namespace

std::unique_ptr<Panel> MakePanel(HWND parent, int id, const Bounds& bounds, Colour background) {
  auto panel = std::make_unique<Win32Panel>(parent, id, bounds, background);
  if (panel->Handle() == nullptr) return nullptr;
  return panel;
}

std::unique_ptr<Container> MakePage(HWND pageControl, int id) {
  auto page = std::make_unique<Win32Page>(pageControl, id);
  if (page->Handle() == nullptr) return nullptr;
  return page;
}

std::unique_ptr<PageControl> MakePageControl(HWND parent, int id, const Bounds& bounds) {
  auto pages = std::make_unique<Win32PageControl>(parent, id, bounds);
  if (pages->Handle() == nullptr) return nullptr;
  return pages;
}

}  // namespace tw::ui::win32
