# Compiler flags shared by every Kestrune target: warnings, optional -Werror and
# sanitizers. Targets opt in with kestrune_target_defaults(<target>).

function(kestrune_target_defaults target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra)
        if(KESTRUNE_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
    target_compile_definitions(${target} PRIVATE
        QT_NO_KEYWORDS
        QT_USE_QSTRINGBUILDER)
endfunction()

# Stack traces and sanitizer reports need line tables only; full debug
# information makes each Qt-heavy file about a fifth slower to build. Turn the
# option off for a build to step through in a debugger.
option(KESTRUNE_LINE_TABLES_ONLY "Debug information as line tables only (-g1)" ON)
if(KESTRUNE_LINE_TABLES_ONLY AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    add_compile_options($<$<CONFIG:RelWithDebInfo,Debug>:-g1>)
endif()

if(KESTRUNE_SANITIZE)
    add_compile_options(-fsanitize=${KESTRUNE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${KESTRUNE_SANITIZE})
endif()
