// An image list: a 32 bpp masked HIMAGELIST for the list views, plus a copy
// of every picture as it went in (after scaling), because reading an icon
// back out of an image list loses the colour of fully transparent pixels.
#include "ui/toolkit/win32/image_list_impl.h"

namespace tw::ui::win32 {

Win32ImageList::Win32ImageList(int width, int height) : width_(width), height_(height) {
  list_ = ::ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 8, 8);
}

Win32ImageList::~Win32ImageList() {
  if (list_ != nullptr) ::ImageList_Destroy(list_);
}

void Win32ImageList::SetSize(int width, int height) {
  width_ = width;
  height_ = height;
  pictures_.clear();
  // ImageList_SetIconSize empties the list as well.
  if (list_ != nullptr) ::ImageList_SetIconSize(list_, width, height);
}

int Win32ImageList::Add(const Picture& picture) {
  if (list_ == nullptr || picture.Empty() ||
      picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height)
    return -1;
  Picture sized = ScalePicture(picture, width_, height_);
  HICON icon = PictureToIcon(sized);
  if (icon == nullptr) return -1;
  const int index = ::ImageList_AddIcon(list_, icon);
  ::DestroyIcon(icon);
  if (index < 0) return -1;
  pictures_.resize(static_cast<std::size_t>(index) + 1);
  pictures_[static_cast<std::size_t>(index)] = std::move(sized);
  return index;
}

int Win32ImageList::Count() const { return list_ != nullptr ? ::ImageList_GetImageCount(list_) : 0; }

Picture Win32ImageList::Get(int index) const {
  if (index < 0 || index >= Count()) return Picture();
  if (static_cast<std::size_t>(index) < pictures_.size()) return pictures_[static_cast<std::size_t>(index)];
  // Added to the HIMAGELIST by someone else: read it back from the list.
  HICON icon = ::ImageList_GetIcon(list_, index, ILD_NORMAL);
  Picture picture = IconToPicture(icon);
  if (icon != nullptr) ::DestroyIcon(icon);
  return picture;
}

void Win32ImageList::Clear() {
  pictures_.clear();
  if (list_ != nullptr) ::ImageList_RemoveAll(list_);
}

HIMAGELIST NativeImageList(ImageList* list) {
  auto* own = dynamic_cast<Win32ImageList*>(list);
  return own != nullptr ? own->Handle() : nullptr;
}

}  // namespace tw::ui::win32
