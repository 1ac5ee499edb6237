#pragma once

#include <algorithm>

#include "platform/win32/win32_api.h"

#include <commctrl.h>

#include "access/text_rules.h"

namespace tw::ui::win32 {

// The text of a list view cell; empty for a row out of range. Asks again with
// a larger buffer while the answer fills the one given.
inline Text ListViewText(HWND list, int row, int column) {
  const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  if (row < 0 || row >= count) return Text();
  for (std::size_t size = 256;; size *= 4) {
    Text buffer(size, u'\0');
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = tw::win32::Wide(buffer.data());
    item.cchTextMax = static_cast<int>(size);
    const auto length = static_cast<std::size_t>(
        ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    if (length + 1 < size || size >= 65536) {
      buffer.resize(std::min(length, size - 1));
      return buffer;
    }
  }
}

}  // namespace tw::ui::win32
