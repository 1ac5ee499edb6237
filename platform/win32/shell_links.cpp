// Shell links (shell32 through COM) and environment strings (kernel32).
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_api.h"

#include <objbase.h>
#include <shobjidl.h>

namespace tw {

namespace {

using win32::Wide;

// COM for the calling thread for the length of one call. A thread that is
// already in the multithreaded apartment (RPC_E_CHANGED_MODE) stays there:
// the shell link object works in it too, and that initialisation is not
// ours to release.
class ScopedCom {
 public:
  ScopedCom() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ScopedCom() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;
  bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

// One owner per interface pointer.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (pointer_) pointer_->Release();
  }
  Interface* operator->() const { return pointer_; }
  Interface* Get() const { return pointer_; }
  void** Put() { return reinterpret_cast<void**>(&pointer_); }

 private:
  Interface* pointer_ = nullptr;
};

bool NewShellLink(ComPtr<IShellLinkW>* link, ComPtr<IPersistFile>* file) {
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link->Put())) ||
      !link->Get()) {
    return false;
  }
  return SUCCEEDED((*link)->QueryInterface(IID_IPersistFile, file->Put())) && file->Get();
}

}  // namespace

namespace {

Text TargetOf(const Text& path) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (!NewShellLink(&link, &file) || FAILED(file->Load(Wide(path), STGM_READ))) return Text();
  // GetPath truncates to the buffer; a link stores at most MAX_PATH
  // characters of path, so this buffer leaves room.
  wchar_t buffer[1024] = {};
  // S_FALSE: the link has no file-system path.
  if (link->GetPath(buffer, static_cast<int>(sizeof buffer / sizeof buffer[0]) - 1, nullptr, SLGP_RAWPATH) != S_OK) {
    return Text();
  }
  // A link's arguments are at most INFOTIPSIZE (1024) characters.
  wchar_t arguments[1025] = {};
  if (FAILED(link->GetArguments(arguments, 1024))) arguments[0] = 0;
  return JoinedCommandLine(Text(win32::Utf16(buffer)), Text(win32::Utf16(arguments)));
}

}  // namespace

void Win32Platform::GetShortcutTargets(const std::vector<Text>& paths, std::vector<Text>* targets) {
  targets->assign(paths.size(), Text());
  if (paths.empty()) return;
  ScopedCom com;
  if (!com.Usable()) return;
  for (std::size_t i = 0; i < paths.size(); ++i) (*targets)[i] = TargetOf(paths[i]);
}

bool Win32Platform::CreateShortcut(const Text& path, const Text& target) {
  ScopedCom com;
  if (!com.Usable()) return false;
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (!NewShellLink(&link, &file)) return false;
  if (FAILED(link->SetPath(Wide(target)))) return false;
  return SUCCEEDED(file->Save(Wide(path), TRUE));
}

std::uint32_t Win32Platform::ExpandEnvironmentStrings(const Text& source, char16_t* buffer, std::uint32_t chars) {
  return ::ExpandEnvironmentStringsW(Wide(source), Wide(buffer), chars);
}

}  // namespace tw
