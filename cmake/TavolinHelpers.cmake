# Warnings are a per-target, private matter.
function(tavolin_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wno-missing-field-initializers)
endfunction()

# tavolin_add_test(NAME name SOURCES a.cpp b.cpp [LIBS extra])
# One GoogleTest executable per module; every test case becomes its own CTest test.
function(tavolin_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE tavolin::core tavolin_testsupport GTest::gtest_main ${T_LIBS})
    tavolin_warnings(${T_NAME})
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST
        PROPERTIES ENVIRONMENT "TAVOLIN_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
        DISCOVERY_TIMEOUT 60)
endfunction()

# tavolin_add_fuzzer(NAME name SOURCES harness.cpp [CORPUS dir...])
# With TAVOLIN_FUZZ the harness links libFuzzer; otherwise a small driver replays the given
# corpus directories, so every saved crash input stays a regression test under ctest.
function(tavolin_add_fuzzer)
    cmake_parse_arguments(F "" "NAME" "SOURCES;CORPUS" ${ARGN})
    if(TAVOLIN_FUZZ)
        add_executable(${F_NAME} ${F_SOURCES})
        target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
        target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    else()
        add_executable(${F_NAME} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/ReplayMain.cpp)
    endif()
    target_link_libraries(${F_NAME} PRIVATE tavolin::core)
    tavolin_warnings(${F_NAME})
    set(dirs "")
    foreach(d ${F_CORPUS})
        # git keeps no empty directories: a corpus without files yet is simply absent.
        if(EXISTS "${PROJECT_SOURCE_DIR}/${d}")
            list(APPEND dirs "${PROJECT_SOURCE_DIR}/${d}")
        endif()
    endforeach()
    if(TAVOLIN_FUZZ)
        add_test(NAME ${F_NAME}.corpus COMMAND ${F_NAME} -runs=0 ${dirs})
    else()
        add_test(NAME ${F_NAME}.corpus COMMAND ${F_NAME} ${dirs})
    endif()
    set_property(GLOBAL APPEND PROPERTY TAVOLIN_FUZZERS "${F_NAME}")
endfunction()
