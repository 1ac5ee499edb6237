// The program list: a SysListView32 in large-icon view with groups.
//
// Each row carries its group twice: as iGroupId, which the list view uses to
// draw it under its group header, and as lParam, which stays readable where
// the list view cannot show groups (Wine's fails LVM_ENABLEGROUPVIEW and then
// ignores iGroupId).
#include "ui/toolkit/win32/native_window.h"

#include <utility>

#include "ui/toolkit/win32/list_view_text.h"

namespace tw::ui::win32 {
namespace {

class Win32IconList : public ControlImpl<IconList> {
 public:
  Win32IconList(HWND parent, int id, const Bounds& bounds) : ControlImpl(id) {
    CreateStandard(0, WC_LISTVIEWW,
                   WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_ICON | LVS_SINGLESEL |
                       LVS_SHOWSELALWAYS | LVS_AUTOARRANGE | LVS_SHAREIMAGELISTS,
                   bounds, parent, id);
    if (hwnd_ == nullptr) return;
    ::SendMessageW(hwnd_, LVM_SETBKCOLOR, 0, RGB(255, 255, 255));
    ::SendMessageW(hwnd_, LVM_SETTEXTBKCOLOR, 0, RGB(255, 255, 255));
  }

  void SetImageList(ImageList* images) override {
    ::SendMessageW(hwnd_, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(NativeImageList(images)));
  }

  bool EnableGroups() override {
    // 1 when switched on, 0 when it already was, -1 when the list view has no groups.
    const LRESULT result = ::SendMessageW(hwnd_, LVM_ENABLEGROUPVIEW, TRUE, 0);
    groupView_ = result == 0 || result == 1;
    if (groupView_) {
      for (auto& group : groups_) InsertGroup(group.first, group.second);
    }
    return groupView_;
  }

  void AddGroup(int groupId, const Text& header) override {
    for (auto& group : groups_) {
      if (group.first == groupId) {
        group.second = header;
        if (groupView_) {
          LVGROUP info = GroupInfo(groupId, &group.second);
          info.mask = LVGF_HEADER;
          ::SendMessageW(hwnd_, LVM_SETGROUPINFO, static_cast<WPARAM>(groupId), reinterpret_cast<LPARAM>(&info));
        }
        return;
      }
    }
    groups_.emplace_back(groupId, header);
    if (groupView_) InsertGroup(groupId, groups_.back().second);
  }

  std::vector<int> GroupIds() const override {
    std::vector<int> ids;
    for (const auto& group : groups_) ids.push_back(group.first);
    return ids;
  }
  Text GroupHeader(int groupId) const override {
    for (const auto& group : groups_)
      if (group.first == groupId) return group.second;
    return Text();
  }

  int AddItem(const Text& caption, int groupId, int image) override {
    Text text = caption;
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE | LVIF_GROUPID;
    item.iItem = Count();
    item.pszText = tw::win32::Wide(text.data());
    // -1 would be I_IMAGECALLBACK (the list view asking us for it).
    item.iImage = image < 0 ? I_IMAGENONE : image;
    item.lParam = groupId;
    item.iGroupId = groupId;
    return static_cast<int>(::SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  }

  void Clear() override { ::SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0); }
  int Count() const override { return static_cast<int>(::SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }
  Text Caption(int row) const override { return ListViewText(hwnd_, row, 0); }
  int Group(int row) const override {
    LVITEMW item = ReadItem(row, LVIF_PARAM);
    return item.iItem < 0 ? -1 : static_cast<int>(item.lParam);
  }
  int Image(int row) const override {
    LVITEMW item = ReadItem(row, LVIF_IMAGE);
    return item.iItem < 0 || item.iImage < 0 ? -1 : item.iImage;
  }
  int Selected() const override {
    return static_cast<int>(::SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  }
  void Select(int row) override {
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    if (row < 0 || row >= Count()) {
      state.state = 0;
      ::SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
      return;
    }
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    ::SendMessageW(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
  }

  bool OnNotify(NMHDR* header, LRESULT* result) override {
    if (header->code != static_cast<UINT>(NM_CLICK)) return false;
    *result = 0;
    Fire(onClick);
    return true;
  }

 private:
  static LVGROUP GroupInfo(int groupId, Text* header) {
    LVGROUP info = {};
    // The size comctl32 6.0 of Windows XP knows; later ones accept it too.
    info.cbSize = LVGROUP_V5_SIZE;
    info.mask = LVGF_HEADER | LVGF_GROUPID;
    info.pszHeader = tw::win32::Wide(header->data());
    info.cchHeader = static_cast<int>(header->size());
    info.iGroupId = groupId;
    return info;
  }

  void InsertGroup(int groupId, Text& header) {
    LVGROUP info = GroupInfo(groupId, &header);
    ::SendMessageW(hwnd_, LVM_INSERTGROUP, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&info));
  }

  LVITEMW ReadItem(int row, UINT mask) const {
    LVITEMW item = {};
    item.mask = mask;
    item.iItem = row;
    if (row < 0 || row >= Count() ||
        !::SendMessageW(hwnd_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
      item.iItem = -1;
    return item;
  }

  std::vector<std::pair<int, Text>> groups_;
  bool groupView_ = false;
};

}  // namespace

std::unique_ptr<IconList> MakeIconList(HWND parent, int id, const Bounds& bounds) {
  auto list = std::make_unique<Win32IconList>(parent, id, bounds);
  if (list->Handle() == nullptr) return nullptr;
  return list;
}

}  // namespace tw::ui::win32
