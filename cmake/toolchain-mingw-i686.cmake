# Cross build for i686 Windows with MinGW-w64 (the -posix thread variant, so
# that std::thread and std::mutex work), for example:
#   cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
set(TIDEWELL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
