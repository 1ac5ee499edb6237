// A picture, or the frames of an animation stepped by a window timer, drawn
// scaled to fit over the container's background.
#include "ui/toolkit/win32/native_window.h"

namespace tw::ui::win32 {
namespace {

constexpr UINT_PTR kFrameTimer = 1;

class Win32PictureBox : public ControlImpl<PictureBox> {
 public:
  Win32PictureBox(HWND parent, int id, const Bounds& bounds) : ControlImpl(id) {
    CreateOwn(0, kPictureClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, bounds.left, bounds.top,
              bounds.width, bounds.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
  }
  ~Win32PictureBox() override {
    if (hwnd_ != nullptr) ::KillTimer(hwnd_, kFrameTimer);
  }

  void SetPicture(const Picture& picture) override {
    picture_ = picture.Empty() ? Picture() : picture;
    scaled_ = Picture();
    ::InvalidateRect(hwnd_, nullptr, FALSE);
  }
  Picture GetPicture() const override {
    if (animating_ && !frames_.empty()) return frames_[frame_];
    return picture_;
  }
  void SetFrames(const std::vector<Picture>& frames, int intervalMs) override {
    frames_ = frames;
    intervalMs_ = intervalMs > 0 ? intervalMs : 100;
    frame_ = 0;
    scaled_ = Picture();
    if (frames_.empty()) StopAnimation();
    else if (animating_) ::SetTimer(hwnd_, kFrameTimer, static_cast<UINT>(intervalMs_), nullptr);
    ::InvalidateRect(hwnd_, nullptr, FALSE);
  }
  void StartAnimation() override {
    if (frames_.empty() || hwnd_ == nullptr) return;
    animating_ = ::SetTimer(hwnd_, kFrameTimer, static_cast<UINT>(intervalMs_), nullptr) != 0;
    scaled_ = Picture();
    ::InvalidateRect(hwnd_, nullptr, FALSE);
  }
  void StopAnimation() override {
    if (hwnd_ != nullptr) ::KillTimer(hwnd_, kFrameTimer);
    if (animating_) {
      animating_ = false;
      scaled_ = Picture();
      ::InvalidateRect(hwnd_, nullptr, FALSE);
    }
  }
  bool Animating() const override { return animating_; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        PaintBuffered([this](Canvas& canvas, int x, int y) { Draw(canvas, x, y); });
        return 0;
      case WM_TIMER:
        if (wParam == kFrameTimer && animating_ && !frames_.empty()) {
          frame_ = (frame_ + 1) % frames_.size();
          scaled_ = Picture();
          ::InvalidateRect(hwnd_, nullptr, FALSE);
        }
        return 0;
      case WM_NCHITTEST:
        // A picture takes no input: presses on it go to the container (which
        // may start moving the window with them).
        return HTTRANSPARENT;
      case WM_SIZE:
        scaled_ = Picture();
        ::InvalidateRect(hwnd_, nullptr, FALSE);
        break;
      default:
        break;
    }
    return Default(message, wParam, lParam);
  }

 private:
  void Draw(Canvas& canvas, int x, int y) {
    const Picture& source = animating_ && !frames_.empty() ? frames_[frame_] : picture_;
    if (source.Empty()) return;
    RECT client;
    ::GetClientRect(hwnd_, &client);
    const Bounds fit = FitWithin(source.width, source.height, client.right, client.bottom);
    if (fit.width <= 0 || fit.height <= 0) return;
    // Scaled once per picture and size, not on every paint.
    if (scaled_.width != fit.width || scaled_.height != fit.height) scaled_ = ScalePicture(source, fit.width, fit.height);
    canvas.Blend(scaled_, fit.left - x, fit.top - y);
  }

  Picture picture_;
  std::vector<Picture> frames_;
  std::size_t frame_ = 0;
  int intervalMs_ = 100;
  bool animating_ = false;
  Picture scaled_;
};

}  // namespace

std::unique_ptr<PictureBox> MakePictureBox(HWND parent, int id, const Bounds& bounds) {
  auto box = std::make_unique<Win32PictureBox>(parent, id, bounds);
  if (box->Handle() == nullptr) return nullptr;
  return box;
}

}  // namespace tw::ui::win32
