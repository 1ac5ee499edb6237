#include "ui/win32_toolkit_factory.h"

#include "ui/toolkit/win32/win32_toolkit.h"

namespace tw::ui {

std::unique_ptr<Toolkit> CreateWin32Toolkit() { return std::make_unique<Win32Toolkit>(); }

}  // namespace tw::ui
