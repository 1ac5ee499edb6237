# Cross build for x86_64 Windows with MinGW-w64 (the -posix thread variant, so
# that std::thread and std::mutex work), for example:
#   cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
set(TIDEWELL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
