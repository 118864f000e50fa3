# Project-wide warning and sanitizer settings, applied per target through fq_warnings.
add_library(fq_warnings INTERFACE)
target_compile_options(fq_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
    -Wold-style-cast -Woverloaded-virtual)
if(FERNQUILL_WERROR)
    target_compile_options(fq_warnings INTERFACE -Werror)
endif()
if(FERNQUILL_SANITIZE)
    # GCC 12's flow analysis reports false "may be used uninitialized" warnings inside std::variant
    # once the sanitizers instrument the code; the normal build keeps the warning.
    target_compile_options(fq_warnings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined
                                                 -Wno-maybe-uninitialized)
    target_link_options(fq_warnings INTERFACE -fsanitize=address,undefined)
endif()
if(FERNQUILL_TSAN)
    # The worker threads of the windows' commands and the watch over waiting connections.
    target_compile_options(fq_warnings INTERFACE -fsanitize=thread -fno-omit-frame-pointer
                                                 -Wno-maybe-uninitialized)
    target_link_options(fq_warnings INTERFACE -fsanitize=thread)
endif()
