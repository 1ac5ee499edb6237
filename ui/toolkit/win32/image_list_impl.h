#pragma once

#include <vector>

#include "ui/toolkit/win32/native_window.h"

namespace tw::ui::win32 {

class Win32ImageList : public ImageList {
 public:
  Win32ImageList(int width, int height);
  ~Win32ImageList() override;
  Win32ImageList(const Win32ImageList&) = delete;
  Win32ImageList& operator=(const Win32ImageList&) = delete;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetSize(int width, int height) override;
  int Add(const Picture& picture) override;
  int Count() const override;
  Picture Get(int index) const override;
  void Clear() override;

  HIMAGELIST Handle() const { return list_; }

 private:
  int width_;
  int height_;
  HIMAGELIST list_ = nullptr;
  std::vector<Picture> pictures_;
};

}  // namespace tw::ui::win32
