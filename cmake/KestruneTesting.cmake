# kestrune_add_test(<name> SOURCES <files...> [LIBS <libs...>] [GUI] [THREADS] [TIMEOUT <s>])
#
# One QtTest executable per suite, registered with CTest under its own name.
# Every suite runs on the offscreen platform with test-mode standard paths, so
# no suite ever touches a user's real settings or home folder. GUI suites are
# skipped when the widgets layer is not built (the sanitizer pass).
# THREADS marks a GUI-free suite that exercises several threads: it gets the
# ctest label "threads" and joins the target kestrune_thread_suites, which the
# ThreadSanitizer pass of scripts/test.sh builds and runs alone.
if(NOT TARGET kestrune_thread_suites)
    add_custom_target(kestrune_thread_suites)
endif()

function(kestrune_add_test name)
    cmake_parse_arguments(ARG "GUI;THREADS" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(ARG_GUI AND NOT KESTRUNE_BUILD_GUI)
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    kestrune_target_defaults(${name})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    # The shared helpers (tests/support) are headers: every suite can use them.
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    target_compile_definitions(${name} PRIVATE
        KESTRUNE_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
        KESTRUNE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        KESTRUNE_BINARY_DIR="${PROJECT_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=io.kestrune.*=false")
    if(ARG_GUI)
        set_property(TEST ${name} APPEND PROPERTY LABELS gui)
    else()
        set_property(TEST ${name} APPEND PROPERTY LABELS core)
    endif()
    if(ARG_THREADS)
        set_property(TEST ${name} APPEND PROPERTY LABELS threads)
        add_dependencies(kestrune_thread_suites ${name})
    endif()
endfunction()
