# Compiler settings shared by every target of the project.
add_library(tallyhawk_common_cfg INTERFACE)
target_compile_features(tallyhawk_common_cfg INTERFACE cxx_std_20)
target_compile_options(tallyhawk_common_cfg INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(tallyhawk_common_cfg INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CONTEXTLESS_CONNECT
    _FILE_OFFSET_BITS=64)
if(TALLYHAWK_WERROR)
    target_compile_options(tallyhawk_common_cfg INTERFACE -Werror)
endif()
if(TALLYHAWK_SANITIZE STREQUAL "thread")
    target_compile_options(tallyhawk_common_cfg INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(tallyhawk_common_cfg INTERFACE -fsanitize=thread)
elseif(TALLYHAWK_SANITIZE)
    target_compile_options(tallyhawk_common_cfg INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(tallyhawk_common_cfg INTERFACE -fsanitize=address,undefined)
endif()
if(TALLYHAWK_FUZZ)
    target_compile_options(tallyhawk_common_cfg INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    target_link_options(tallyhawk_common_cfg INTERFACE -fsanitize=address,undefined)
endif()

# The core's layers from the ground up. A layer may link only layers before it in this list, so a wrong
# include fails the build; scripts/check-layers holds the sources to the same links.
set(TALLYHAWK_CORE_LAYERS common platform protocol net settings store shopping compare update)

# tallyhawk_add_core_library(FOLDER SOURCES a.cpp ... LINKS lower_folder ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# Builds src/core/FOLDER as the static library th_FOLDER, linked to the lower layers it names.
function(tallyhawk_add_core_library folder)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    list(FIND TALLYHAWK_CORE_LAYERS ${folder} level)
    if(level EQUAL -1)
        message(FATAL_ERROR "core folder '${folder}' is not in TALLYHAWK_CORE_LAYERS")
    endif()
    set(links)
    foreach(lower IN LISTS ARG_LINKS)
        list(FIND TALLYHAWK_CORE_LAYERS ${lower} lowerLevel)
        if(lowerLevel EQUAL -1 OR NOT lowerLevel LESS level)
            message(FATAL_ERROR "core folder '${folder}' may not link '${lower}': links run downwards only")
        endif()
        list(APPEND links th_${lower})
    endforeach()
    add_library(th_${folder} STATIC ${ARG_SOURCES})
    target_include_directories(th_${folder} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(th_${folder} PUBLIC tallyhawk_common_cfg ${links} ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    set_property(GLOBAL APPEND PROPERTY TALLYHAWK_CORE_LIBRARIES th_${folder})
endfunction()

# add_unit_test(NAME SOURCES a.cpp b.cpp LIBS extra_lib ...)
# Builds one GoogleTest executable, links the test support library and registers it with ctest.
function(add_unit_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE tallyhawk_test_support tallyhawk_common_cfg ${ARG_LIBS}
        GTest::gtest GTest::gmock GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TZ=UTC"
        TIMEOUT 600)
endfunction()

# add_bench(NAME SOURCES a.cpp ...): a Google Benchmark program that reports ratios to its baseline.
function(add_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/bench)
    target_link_libraries(${name} PRIVATE tallyhawk_core tallyhawk_common_cfg ${ARG_LIBS} tallyhawk_bench_support)
    set_property(GLOBAL APPEND PROPERTY TALLYHAWK_BENCHES ${name})
endfunction()

# add_fuzz_target(NAME SOURCES a.cpp ...): a libFuzzer target linked against the core.
function(add_fuzz_target name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE tallyhawk_core tallyhawk_common_cfg ${ARG_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# add_gui_test(NAME SOURCES a.cpp ... LIBS extra_lib ...)
# As add_unit_test for the windows: its main creates the one QApplication (offscreen) before the tests
# run, and ctest names it gui_NAME.
function(add_gui_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE tallyhawk_gui_test_main tallyhawk_test_support tallyhawk_gui
        tallyhawk_common_cfg Qt6::Test ${ARG_LIBS} GTest::gtest GTest::gmock)
    add_test(NAME gui_${name} COMMAND ${name})
    set_tests_properties(gui_${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TZ=UTC"
        TIMEOUT 600)
endfunction()
