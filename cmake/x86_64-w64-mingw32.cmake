# Cross-building for 64-bit Windows with Debian's mingw-w64, running the
# built programs under Wine. The posix thread model, because GoogleTest needs
# std::mutex, which GCC 12's win32 model lacks; winpthread is linked in
# statically like the rest of the runtime.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KALU7_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KALU7_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALU7_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KALU7_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KALU7_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${KALU7_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${KALU7_MINGW_TRIPLE}-objdump CACHE FILEPATH "")
set(CMAKE_NM ${KALU7_MINGW_TRIPLE}-nm CACHE FILEPATH "")

# Libraries and packages come from the target's own sysroot and from the
# prefix that scripts/windows-deps.sh fills (giflib, GoogleTest); programs
# from the build machine.
get_filename_component(KALU7_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps/prefix" ABSOLUTE)
# Prefixes given in CMAKE_PREFIX_PATH (a package installed for the target, as
# the install test does) count as target roots as well.
set(CMAKE_FIND_ROOT_PATH /usr/${KALU7_MINGW_TRIPLE} ${KALU7_WINDOWS_DEPS} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# g++ on glibc always declares M_PI and friends; mingw's <math.h> does so in
# strict standard mode only when asked.
set(CMAKE_C_FLAGS_INIT "-D_USE_MATH_DEFINES")
set(CMAKE_CXX_FLAGS_INIT "-D_USE_MATH_DEFINES")

# Every program and module is one self-contained file: libgcc and libstdc++
# are linked in, so that nothing beyond Windows' own DLLs is needed at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests, test discovery and build steps that run a built program go through
# Wine, with a prefix of the project's own under build/.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
