# Coverage-guided fuzzing (KESTRUNE_FUZZ=ON, clang only).
#
# Every target of the build is compiled with coverage instrumentation for
# libFuzzer (-fsanitize=fuzzer-no-link) plus AddressSanitizer and
# UndefinedBehaviorSanitizer; only the fuzz targets link libFuzzer's main().
# Use a build folder of its own (scripts/fuzz.sh uses build-fuzz).
#
# kestrune_add_fuzzer(<name> SOURCES <files...> [SEEDS <folders...>] [OPTIONS <libFuzzer options...>])
#   SEEDS are folders relative to the source tree whose files seed the corpus,
#   in addition to fuzz/corpus/<name>/ when it exists. OPTIONS are passed to
#   every run of the target (e.g. -max_len=8192 for a quadratic oracle). scripts/fuzz.sh reads
#   the list of targets and seeds from <build>/fuzz/targets.txt.

if(KESTRUNE_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "KESTRUNE_FUZZ needs clang (configure with CC=clang CXX=clang++)")
    endif()
    if(KESTRUNE_SANITIZE)
        message(FATAL_ERROR "KESTRUNE_FUZZ brings its own sanitizers; leave KESTRUNE_SANITIZE empty")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                        -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    add_custom_target(kestrune_fuzzers)
    set_property(GLOBAL PROPERTY KESTRUNE_FUZZ_MANIFEST "")
endif()

function(kestrune_add_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;SEEDS;OPTIONS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    kestrune_target_defaults(${name})
    target_link_libraries(${name} PRIVATE kestrune_core)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(kestrune_fuzzers ${name})
    set(seeds "")
    if(EXISTS ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
        list(APPEND seeds ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
    endif()
    foreach(seed IN LISTS ARG_SEEDS)
        if(EXISTS ${PROJECT_SOURCE_DIR}/${seed})
            list(APPEND seeds ${PROJECT_SOURCE_DIR}/${seed})
        endif()
    endforeach()
    list(JOIN seeds ":" seeds)
    if(NOT seeds)
        set(seeds "-")
    endif()
    list(JOIN ARG_OPTIONS " " options)
    get_property(manifest GLOBAL PROPERTY KESTRUNE_FUZZ_MANIFEST)
    string(APPEND manifest "${name} $<TARGET_FILE:${name}> ${seeds} ${options}\n")
    set_property(GLOBAL PROPERTY KESTRUNE_FUZZ_MANIFEST "${manifest}")
endfunction()

# Writes <build>/fuzz/targets.txt: one line per target, "name binary seeds
# options...", seeds joined with ":" ("-" for none). Called once at the end of fuzz/CMakeLists.txt.
function(kestrune_write_fuzz_manifest)
    get_property(manifest GLOBAL PROPERTY KESTRUNE_FUZZ_MANIFEST)
    file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/fuzz/targets.txt CONTENT "${manifest}")
endfunction()
