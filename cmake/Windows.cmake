# The Windows build (cross-built with mingw-w64 by scripts/windows.sh): the core, tavolin-cli.exe
# and the core's tests, linked statically so that no DLL has to be shipped beside them.
if(TAVOLIN_SANITIZE OR TAVOLIN_TSAN OR TAVOLIN_FUZZ)
    message(FATAL_ERROR "the sanitizers and the fuzz targets are built on Linux only")
endif()

# 64-bit file offsets; the POSIX file calls of the core take wide paths (see PosixCompat.h).
add_compile_definitions(_FILE_OFFSET_BITS=64 UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0A00 LIBICAL_ICAL_STATIC_DEFINE)
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:SHELL:-include ${PROJECT_SOURCE_DIR}/src/platform/windows/PosixCompat.h>")

# The C and C++ runtimes and winpthreads inside the programs; files opened in binary mode by
# default (binmode.o), so no CR LF is ever added or taken away.
add_link_options(-static -static-libgcc -static-libstdc++)
find_file(TAVOLIN_BINMODE_OBJ binmode.o PATHS /usr/${TAVOLIN_MINGW_PREFIX}/lib NO_DEFAULT_PATH)
if(TAVOLIN_BINMODE_OBJ)
    link_libraries(${TAVOLIN_BINMODE_OBJ})
endif()

# libical's time zones: its own VTIMEZONE files, shipped in a "zoneinfo" folder beside the
# programs (Windows has no /usr/share/zoneinfo).
file(GLOB TAVOLIN_ICAL_ZONEINFO LIST_DIRECTORIES true "${TAVOLIN_WINDOWS_DEPS}/libical-*/share/libical/zoneinfo")

# The UTF-8 manifest goes into every program, compiled once at configure time.
set(TAVOLIN_MANIFEST_OBJ "${PROJECT_BINARY_DIR}/tavolin-manifest.o")
execute_process(
    COMMAND ${CMAKE_RC_COMPILER} -I ${PROJECT_SOURCE_DIR}/src/platform/windows
            ${PROJECT_SOURCE_DIR}/src/platform/windows/utf8.rc -O coff -o ${TAVOLIN_MANIFEST_OBJ}
    RESULT_VARIABLE manifest_result)
if(NOT manifest_result EQUAL 0)
    message(FATAL_ERROR "the manifest resource cannot be compiled")
endif()
link_libraries(${TAVOLIN_MANIFEST_OBJ})
