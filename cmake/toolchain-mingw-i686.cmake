# Cross-compiles the Windows binaries for i686 with the POSIX thread-model
# mingw-w64 compilers (the win32 model lacks std::thread and std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VP_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${VP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VP_MINGW_TRIPLE}-windres)
set(VP_WIDL ${VP_MINGW_TRIPLE}-widl)
set(VP_WIDL_ARCH -m32)
set(CMAKE_FIND_ROOT_PATH /usr/${VP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The .def file names the COM exports without their stdcall decoration.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,--enable-stdcall-fixup")
