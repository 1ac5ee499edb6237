#include "ui/toolkit/win32/win32_toolkit.h"

#include "platform/win32/win32_api.h"

#include <commctrl.h>
#include <shobjidl.h>

// The interface's Toolkit::DrawText, not user32's DrawText macro.
#undef DrawText

#include <algorithm>

#include "access/message_box.h"
#include "ui/toolkit/win32/gdi_picture.h"
#include "ui/toolkit/win32/image_list_impl.h"
#include "ui/toolkit/win32/native_window.h"
#include "ui/toolkit/win32/window_impl.h"

namespace tw::ui {

using namespace tw::ui::win32;
using tw::win32::Wide;

namespace {

HWND AsHwnd(std::uintptr_t handle) { return reinterpret_cast<HWND>(handle); }

bool IsExistingFolder(const wchar_t* path) {
  const DWORD attributes = ::GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The shell's item dialog in folder mode. *available is false when the
// dialog cannot be created at all (no IFileDialog before Windows Vista).
std::optional<Text> PickWithItemDialog(HWND owner, const Text& title, bool* available) {
  IFileOpenDialog* dialog = nullptr;
  *available = SUCCEEDED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IFileOpenDialog, reinterpret_cast<void**>(&dialog))) &&
               dialog != nullptr;
  if (!*available) return std::nullopt;
  std::optional<Text> chosen;
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(Wide(title));
  if (SUCCEEDED(dialog->Show(owner))) {
    IShellItem* item = nullptr;
    if (SUCCEEDED(dialog->GetResult(&item)) && item != nullptr) {
      PWSTR path = nullptr;
      if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path != nullptr) {
        if (IsExistingFolder(path)) chosen = Text(tw::win32::Utf16(path));
        ::CoTaskMemFree(path);
      }
      item->Release();
    }
  }
  dialog->Release();
  return chosen;
}

int CALLBACK BrowseCallback(HWND, UINT message, LPARAM, LPARAM) {
  // A typed name that is no folder: keep the dialog open rather than end it.
  if (message == BFFM_VALIDATEFAILEDW) return 1;
  return 0;
}

std::optional<Text> PickWithBrowseDialog(HWND owner, const Text& title) {
  BROWSEINFOW browse = {};
  browse.hwndOwner = owner;
  browse.lpszTitle = Wide(title);
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_VALIDATE;
  browse.lpfn = BrowseCallback;
  tw::win32::OwnedIdList list(::SHBrowseForFolderW(&browse));
  if (!list.Valid()) return std::nullopt;
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(list.Get(), path) || !IsExistingFolder(path)) return std::nullopt;
  return Text(tw::win32::Utf16(path));
}

std::optional<Picture> FromIcon(HICON icon) {
  Picture picture = IconToPicture(icon);
  if (picture.Empty()) return std::nullopt;
  return picture;
}

}  // namespace

Win32Toolkit::Win32Toolkit() : guiThread_(::GetCurrentThreadId()) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  RegisterWindowClasses();
  const unsigned long guiThread = guiThread_;
  const std::uintptr_t* mainWindow = &mainWindow_;
  tw::SetMessageHandler([guiThread, mainWindow](const Text& caption, const Text& text, std::uint32_t flags) {
    HWND owner = nullptr;
    if (::GetCurrentThreadId() == guiThread) {
      owner = ::GetActiveWindow();
      if (owner == nullptr && ::IsWindow(AsHwnd(*mainWindow))) owner = AsHwnd(*mainWindow);
    }
    return ::MessageBoxW(owner, Wide(text), Wide(caption), flags);
  });
}

Win32Toolkit::~Win32Toolkit() { tw::SetMessageHandler(nullptr); }

std::unique_ptr<Window> Win32Toolkit::CreateMainWindow(int id, const Text& title, int clientWidth,
                                                       int clientHeight) {
  auto window = MakeTopLevelWindow(true, id, title, clientWidth, clientHeight, nullptr);
  if (window != nullptr) mainWindow_ = window->NativeHandle();
  return window;
}

std::unique_ptr<Window> Win32Toolkit::CreateSecondaryWindow(int id, const Text& title, int clientWidth,
                                                            int clientHeight) {
  HWND owner = ::IsWindow(AsHwnd(mainWindow_)) ? AsHwnd(mainWindow_) : nullptr;
  return MakeTopLevelWindow(false, id, title, clientWidth, clientHeight, owner);
}

std::unique_ptr<ImageList> Win32Toolkit::CreateImageList(int width, int height) {
  return std::make_unique<Win32ImageList>(width, height);
}

void Win32Toolkit::Run() {
  if (terminated_) return;
  MSG message;
  // GetMessageW returns 0 for WM_QUIT and -1 on an error.
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void Win32Toolkit::ProcessMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Left for the loop that is meant to end on it.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void Win32Toolkit::Terminate() {
  terminated_ = true;
  ::PostQuitMessage(0);
}

void Win32Toolkit::MinimizeApplication() {
  if (::IsWindow(AsHwnd(mainWindow_))) ::ShowWindow(AsHwnd(mainWindow_), SW_MINIMIZE);
}

std::uintptr_t Win32Toolkit::ApplicationHandle() const {
  return ::IsWindow(AsHwnd(mainWindow_)) ? mainWindow_ : 0;
}

void Win32Toolkit::MonitorAreas(const Window* window, Bounds* workArea, Bounds* monitor) const {
  const HWND hwnd = window != nullptr ? AsHwnd(window->NativeHandle()) : nullptr;
  const HMONITOR handle = hwnd != nullptr ? ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST)
                                          : ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (handle == nullptr || !::GetMonitorInfoW(handle, &info)) {
    info.rcMonitor = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    info.rcWork = info.rcMonitor;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
  }
  const auto bounds = [](const RECT& r) { return Bounds{r.left, r.top, r.right - r.left, r.bottom - r.top}; };
  *workArea = bounds(info.rcWork);
  *monitor = bounds(info.rcMonitor);
}

std::optional<Text> Win32Toolkit::PickFolder(Window& owner, const Text& title) {
  HWND ownerWindow = AsHwnd(owner.NativeHandle());
  bool available = false;
  std::optional<Text> chosen = PickWithItemDialog(ownerWindow, title, &available);
  if (!available) chosen = PickWithBrowseDialog(ownerWindow, title);
  return chosen;
}

std::optional<Picture> Win32Toolkit::ShellFileIcon(const Text& path, std::uint32_t flags) {
  SHFILEINFOW info = {};
  ::SHGetFileInfoW(Wide(path), 0, &info, sizeof info, SHGFI_ICON | flags);
  if (info.hIcon == nullptr) return std::nullopt;
  // Index 0 of the system image list is the shell's "unknown file" picture.
  // Windows never gives it for a file with an icon of its own, but Wine 8's
  // shell does so for every file; the file's own first icon is then what
  // Windows would have shown.
  if ((flags & SHGFI_SYSICONINDEX) != 0 && info.iIcon == 0) {
    HICON own = nullptr;
    if (::ExtractIconExW(Wide(path), 0, &own, nullptr, 1) > 0 && own != nullptr) {
      ::DestroyIcon(info.hIcon);
      info.hIcon = own;
    }
  }
  std::optional<Picture> picture = FromIcon(info.hIcon);
  ::DestroyIcon(info.hIcon);
  return picture;
}

std::optional<Picture> Win32Toolkit::ExtractFileIcon(const Text& path, int index) {
  HICON icon = ::ExtractIconW(::GetModuleHandleW(nullptr), Wide(path), static_cast<UINT>(index));
  // 0: no icon at that index; 1: the file is no executable, DLL or icon file.
  if (reinterpret_cast<std::uintptr_t>(icon) <= 1) return std::nullopt;
  std::optional<Picture> picture = FromIcon(icon);
  ::DestroyIcon(icon);
  return picture;
}

std::optional<Picture> Win32Toolkit::LoadIconFile(const Text& path) {
  // Size 0 x 0 without LR_DEFAULTSIZE: the first image at its own size.
  HANDLE image = ::LoadImageW(nullptr, Wide(path), IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
  if (image == nullptr) return std::nullopt;
  HICON icon = static_cast<HICON>(image);
  std::optional<Picture> picture = FromIcon(icon);
  ::DestroyIcon(icon);
  return picture;
}

void Win32Toolkit::DrawText(Picture& picture, const Bounds& box, const Text& text, const Font& font,
                            Colour colour, Align align) {
  if (picture.Empty() || text.empty()) return;
  const int left = std::max(0, box.left);
  const int top = std::max(0, box.top);
  const int right = std::min(picture.width, box.left + box.width);
  const int bottom = std::min(picture.height, box.top + box.height);
  if (right <= left || bottom <= top) return;

  // White text on black gives the coverage of each pixel; the colour is then
  // blended over the picture by it. Anti-aliased rather than ClearType: the
  // sub-pixel colours would show as fringes once blended.
  Canvas coverage(picture.width, picture.height);
  if (!coverage.Valid()) return;
  coverage.Fill(0);
  HDC dc = coverage.Dc();
  const auto makeFont = [&font](int height) {
    return ::CreateFontW(-height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, font.italic, font.underline, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, Wide(font.face));
  };
  // A caption wider than its box is drawn smaller until it fits (the font
  // in use may be wider than the one the picture was laid out for).
  HFONT handle = nullptr;
  for (int height = font.height;; --height) {
    handle = makeFont(height);
    if (handle == nullptr || height <= 7) break;
    HGDIOBJ old = ::SelectObject(dc, handle);
    RECT measured = {0, 0, 0, 0};
    ::DrawTextW(dc, Wide(text), static_cast<int>(text.size()), &measured, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    ::SelectObject(dc, old);
    if (measured.right - measured.left <= box.width) break;
    ::DeleteObject(handle);
  }
  HGDIOBJ previous = ::SelectObject(dc, handle != nullptr ? handle : DefaultFont());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(255, 255, 255));
  RECT area = {box.left, box.top, box.left + box.width, box.top + box.height};
  UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
  if (align == Align::kCentre) format |= DT_CENTER;
  if (align == Align::kRight) format |= DT_RIGHT;
  ::IntersectClipRect(dc, left, top, right, bottom);
  ::DrawTextW(dc, Wide(text), static_cast<int>(text.size()), &area, format);
  ::SelectObject(dc, previous);
  if (handle != nullptr) ::DeleteObject(handle);

  const Pixel* bits = coverage.Bits();
  Picture ink(right - left, bottom - top);
  const Pixel rgb = OpaquePixel(colour) & 0xFFFFFFu;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const Pixel p = bits[static_cast<std::size_t>(y) * picture.width + x];
      const unsigned level = std::max({(p >> 16) & 0xFFu, (p >> 8) & 0xFFu, p & 0xFFu});
      ink.At(x - left, y - top) = (static_cast<Pixel>(level) << 24) | rgb;
    }
  }
  BlendOver(picture, ink, left, top);
}

}  // namespace tw::ui
