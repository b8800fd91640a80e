# Cross build of a 64-bit copy of the Windows programs with MinGW-w64, used only
# by the Wine tests on machines that cannot start 32-bit programs.
set(MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
