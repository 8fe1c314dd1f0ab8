# Cross-build for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which
# std::thread and std::mutex need), every program linked statically so that it runs on a
# bare Windows, or under Wine, without a DLL of the toolchain beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SIGMAT_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SIGMAT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SIGMAT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SIGMAT_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SIGMAT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread all linked in: -static covers winpthread, which has no
# flag of its own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine, one Wine start per program (cmake/wine-run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
