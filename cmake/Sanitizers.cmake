# The second native build (tools/sanitize.sh): every native target built with
# the address and undefined-behaviour sanitizers, any finding fatal. Under
# clang the code is also instrumented for coverage, so that the fuzz targets
# (cmake/FuzzTargets.cmake) see which inputs reach new code.
set(CORDAFIX_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
add_compile_options(${CORDAFIX_SANITIZER_FLAGS})
add_link_options(${CORDAFIX_SANITIZER_FLAGS})
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
