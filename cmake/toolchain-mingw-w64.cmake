# Cross-building for 64-bit Windows with Debian's mingw-w64 (the POSIX-thread variant, so
# std::thread, std::jthread and std::mutex work). scripts/windows.sh passes
# TAVOLIN_WINDOWS_DEPS, the folder that holds the static third-party libraries built for Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVOLIN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVOLIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVOLIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVOLIN_MINGW_PREFIX}-windres)
set(CMAKE_AR ${TAVOLIN_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${TAVOLIN_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT TAVOLIN_WINDOWS_DEPS AND DEFINED ENV{TAVOLIN_WINDOWS_DEPS})
    set(TAVOLIN_WINDOWS_DEPS "$ENV{TAVOLIN_WINDOWS_DEPS}")
endif()
if(NOT TAVOLIN_WINDOWS_DEPS)
    get_filename_component(TAVOLIN_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build/windows/deps" ABSOLUTE)
endif()
# Try-compile projects get their own copy of the toolchain; hand the folder on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVOLIN_WINDOWS_DEPS)

# Every installed dependency (deps/<name>-<version>) is a root; the compiler's own sysroot too.
file(GLOB TAVOLIN_DEP_ROOTS LIST_DIRECTORIES true "${TAVOLIN_WINDOWS_DEPS}/*-*")
list(FILTER TAVOLIN_DEP_ROOTS EXCLUDE REGEX "/src$")
set(CMAKE_FIND_ROOT_PATH /usr/${TAVOLIN_MINGW_PREFIX} ${TAVOLIN_DEP_ROOTS})
set(CMAKE_PREFIX_PATH ${TAVOLIN_DEP_ROOTS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static libraries only: nothing to ship beside the programs.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# pkg-config looks only at the Windows libraries, never at the build machine's.
set(TAVOLIN_PKG_DIRS "")
foreach(root ${TAVOLIN_DEP_ROOTS})
    list(APPEND TAVOLIN_PKG_DIRS "${root}/lib/pkgconfig" "${root}/share/pkgconfig")
endforeach()
string(REPLACE ";" ":" TAVOLIN_PKG_DIRS "${TAVOLIN_PKG_DIRS}")
set(ENV{PKG_CONFIG_LIBDIR} "${TAVOLIN_PKG_DIRS}")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Tests and helpers run under Wine.
find_program(TAVOLIN_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(TAVOLIN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVOLIN_WINE})
endif()
