// The leftovers list: a SysListView32 report with a check box per row, a
// narrow untitled first column (where the check box sits) and the entry's
// text in the second.
#include "ui/toolkit/win32/native_window.h"

#include "ui/toolkit/win32/list_view_text.h"

namespace tw::ui::win32 {
namespace {

constexpr int kCheckColumnWidth = 30;
constexpr int kTextColumnWidth = 740;

class Win32ReportList : public ControlImpl<ReportList> {
 public:
  Win32ReportList(HWND parent, int id, const Bounds& bounds, const Text& title) : ControlImpl(id) {
    CreateStandard(WS_EX_CLIENTEDGE, WC_LISTVIEWW,
                   WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT | LVS_SINGLESEL |
                       LVS_NOSORTHEADER | LVS_SHOWSELALWAYS,
                   bounds, parent, id);
    if (hwnd_ == nullptr) return;
    const DWORD extended = LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT;
    ::SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    InsertColumn(0, Text(), kCheckColumnWidth);
    InsertColumn(1, title, kTextColumnWidth);
  }

  int AddRow(const Text& text) override {
    Text empty;
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = Count();
    item.pszText = tw::win32::Wide(empty.data());
    const int row = static_cast<int>(::SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) return -1;
    Text second = text;
    LVITEMW cell = {};
    cell.iSubItem = 1;
    cell.pszText = tw::win32::Wide(second.data());
    ::SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    // The check box state can only be set once the row exists.
    SetChecked(row, true);
    return row;
  }

  void Clear() override { ::SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0); }
  int Count() const override { return static_cast<int>(::SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }
  Text RowText(int row) const override { return ListViewText(hwnd_, row, 1); }

  bool Checked(int row) const override {
    if (row < 0 || row >= Count()) return false;
    // State image 1 is the empty box, 2 the ticked one.
    const auto state =
        static_cast<UINT>(::SendMessageW(hwnd_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
  }
  void SetChecked(int row, bool checked) override {
    if (row < 0 || row >= Count()) return;
    ListView_SetCheckState(hwnd_, row, checked ? TRUE : FALSE);
  }

  Text ColumnTitle() const override {
    wchar_t buffer[512] = {};
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT;
    column.pszText = buffer;
    column.cchTextMax = 512;
    if (!::SendMessageW(hwnd_, LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column))) return Text();
    return Text(tw::win32::Utf16(buffer));
  }

 private:
  void InsertColumn(int index, const Text& title, int width) {
    Text text = title;
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = tw::win32::Wide(text.data());
    column.cx = width;
    column.iSubItem = index;
    ::SendMessageW(hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
  }
};

}  // namespace

std::unique_ptr<ReportList> MakeReportList(HWND parent, int id, const Bounds& bounds, const Text& title) {
  auto list = std::make_unique<Win32ReportList>(parent, id, bounds, title);
  if (list->Handle() == nullptr) return nullptr;
  return list;
}

}  // namespace tw::ui::win32
