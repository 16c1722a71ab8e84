# Warnings are a per-target, private matter.
function(tavolin_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wno-missing-field-initializers)
endfunction()

# tavolin_add_test(NAME name SOURCES a.cpp b.cpp [LIBS extra])
# One GoogleTest executable per module; every test case becomes its own CTest test.
function(tavolin_add_test)
    # PROPERTIES: more test properties for every case (e.g. RUN_SERIAL TRUE).
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE tavolin::core tavolin_testsupport GTest::gtest_main ${T_LIBS})
    tavolin_warnings(${T_NAME})
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST
        PROPERTIES ENVIRONMENT "TAVOLIN_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data" ${T_PROPERTIES}
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

# tavolin_add_qt_test(NAME name SOURCES a.cpp [LIBS extra])
# A QTest executable for widgets; runs headless on the offscreen platform with a fixed locale,
# so it needs no display and no LANG.
function(tavolin_add_qt_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    set_target_properties(${T_NAME} PROPERTIES AUTOMOC ON)
    target_link_libraries(${T_NAME} PRIVATE tavolin::core Qt6::Widgets Qt6::Test ${T_LIBS})
    tavolin_warnings(${T_NAME})
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT
        "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;TAVOLIN_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
        TIMEOUT 300)
endfunction()

# tavolin_add_x11_test(NAME name COMMAND cmd args...)
# A test that needs real windows: runs the command inside a fresh Xvfb server with openbox
# and a tray host (tests/support/run-in-x11.sh), labelled x11.
function(tavolin_add_x11_test)
    cmake_parse_arguments(T "" "NAME" "COMMAND" ${ARGN})
    add_test(NAME ${T_NAME} COMMAND ${PROJECT_SOURCE_DIR}/tests/support/run-in-x11.sh ${T_COMMAND})
    # One at a time: real windows, focus and timing suffer when two sessions compete.
    set_tests_properties(${T_NAME} PROPERTIES LABELS x11 TIMEOUT 300 RUN_SERIAL TRUE
        ENVIRONMENT "LC_ALL=C.UTF-8;TAVOLIN_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
endfunction()
