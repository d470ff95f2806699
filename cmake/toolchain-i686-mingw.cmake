# Cross build for 32-bit Windows 2000: the shipped programs.
set(QUENDRO_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)
