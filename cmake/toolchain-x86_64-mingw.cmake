# The same sources built for 64-bit Windows, to run the behaviour tests
# under wine64 at native speed on machines whose kernel cannot start 32-bit
# Linux programs. Not shipped: Windows 2000 is 32-bit.
set(QUENDRO_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)
