# One interface target carries the warnings and the floating-point rules.
# The band grouping of the spectrum plot sits within an ulp of its edges, so
# nothing here may let the compiler reorder or fuse floating-point operations.
add_library(zm_options INTERFACE)
target_compile_options(zm_options INTERFACE
    -Wall -Wextra
    $<$<COMPILE_LANGUAGE:CXX>:-ffp-contract=off>
    $<$<COMPILE_LANGUAGE:C>:-ffp-contract=off>
    -fno-fast-math)

if(ZM_SANITIZE)
    target_compile_options(zm_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(zm_options INTERFACE -fsanitize=address,undefined)
endif()

# Fuzzing instruments the whole core for coverage and memory errors, not only
# the fuzz targets' own files.
if(ZM_FUZZ)
    target_compile_options(zm_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    target_link_options(zm_options INTERFACE -fsanitize=address,undefined)
endif()
