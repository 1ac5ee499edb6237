// Worker reports are plain procedures with the Windows standard calling
// convention that return a 32-bit value the worker ignores. Text arguments
// are zero-terminated UTF-16 strings valid only during the call.
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define TW_STDCALL __stdcall
#else
#define TW_STDCALL
#endif

namespace tw {

using CbNoArgs = std::uint32_t(TW_STDCALL*)();
using CbSoftware = std::uint32_t(TW_STDCALL*)(const char16_t* name, const char16_t* publisher,
                                              const char16_t* version, const char16_t* iconPath,
                                              std::int32_t iconIndex);
using CbTextCount = std::uint32_t(TW_STDCALL*)(const char16_t* text, std::uint32_t count);
using CbText = std::uint32_t(TW_STDCALL*)(const char16_t* text);
using CbStep = std::uint32_t(TW_STDCALL*)(std::int32_t step);

}  // namespace tw
