# Cross-build for i686 Windows with mingw-w64 (posix thread model: GoogleTest needs std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TAVIX_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVIX_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVIX_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVIX_TRIPLET}-windres)
set(TAVIX_DEPS_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../build/deps/${TAVIX_TRIPLET}" CACHE PATH "cross-built dependencies")
set(CMAKE_FIND_ROOT_PATH "${TAVIX_DEPS_PREFIX}" /usr/${TAVIX_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# 32-bit programs run only where Wine has its 32-bit loader; CMake 3.25 crashes
# on try-run checks without an emulator, so there always is one.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run32")
