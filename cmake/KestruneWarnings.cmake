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

if(KESTRUNE_SANITIZE)
    add_compile_options(-fsanitize=${KESTRUNE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${KESTRUNE_SANITIZE})
endif()
