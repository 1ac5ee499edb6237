// One owner per handle: move-only holders that close their handle through the
// platform when they go out of scope, so no raw handle outlives the function
// that opened it.
#pragma once

#include <utility>

#include "platform/platform.h"

namespace tw {

template <typename Traits>
class UniqueHandle {
 public:
  using Value = typename Traits::Value;
  UniqueHandle() = default;
  explicit UniqueHandle(Value value) : value_(value) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(std::exchange(other.value_, Value{})) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = std::exchange(other.value_, Value{});
    }
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Value get() const { return value_; }
  explicit operator bool() const { return value_ != Value{}; }
  // For out-parameters: closes what is held and hands out the slot.
  Value* put() {
    reset();
    return &value_;
  }
  void reset(Value value = Value{}) {
    if (value_ != Value{}) Traits::Close(value_);
    value_ = value;
  }

 private:
  Value value_{};
};

struct RegKeyTraits {
  using Value = HKey;
  static void Close(HKey key) { Plat().RegCloseKey(key); }
};
struct FindTraits {
  using Value = FindHandle;
  static void Close(FindHandle find) { Plat().FindClose(find); }
};
struct ProcessTraits {
  using Value = ProcessHandle;
  static void Close(ProcessHandle process) { Plat().CloseHandle(process); }
};

struct ServiceTraits {
  using Value = ServiceHandle;
  static void Close(ServiceHandle handle) { Plat().CloseServiceHandle(handle); }
};

using UniqueService = UniqueHandle<ServiceTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueFind = UniqueHandle<FindTraits>;
using UniqueProcess = UniqueHandle<ProcessTraits>;

}  // namespace tw
