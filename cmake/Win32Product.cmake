# Cross build: quendro.exe for Windows 2000, the stand-in console and the
# Wine end-to-end tests.
enable_language(RC)
add_compile_definitions(_WIN32_WINNT=0x0500 WINVER=0x0500 NOMINMAX WIN32_LEAN_AND_MEAN)
# Each function and datum in a section of its own, so that the link keeps
# only what the programs reach.
set(CMAKE_CXX_FLAGS_RELEASE "-Os -ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_RELEASE "-Os -ffunction-sections -fdata-sections")

# Every exe of this build must start on Windows 2000: static runtime, no
# newer subsystem version than 5.0.
set(QUENDRO_WIN2K_LINK -static -static-libgcc -static-libstdc++
    -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,0
    -Wl,--major-os-version,5 -Wl,--minor-os-version,0)
set(CMAKE_EXE_LINKER_FLAGS_RELEASE "-s -Wl,--gc-sections -fno-lto")

# The icon and the link label's cursor are drawn as text art; the build turns
# them into the files the resource script reads.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(QUENDRO_ART_DIR ${CMAKE_BINARY_DIR}/art)
add_custom_command(
    OUTPUT ${QUENDRO_ART_DIR}/mainicon.ico ${QUENDRO_ART_DIR}/handpoint.cur
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/resources/make_icons.py ${QUENDRO_ART_DIR}
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/make_icons.py ${CMAKE_SOURCE_DIR}/resources/mainicon.txt
            ${CMAKE_SOURCE_DIR}/resources/handpoint.txt
    COMMENT "Drawing the icon and the hand cursor")

# The version resource comes from the values stored with the main window's
# component, through the component's own mapping: a tool built for the build
# machine writes Version.res, which is linked in as it is.
find_program(QUENDRO_HOST_CXX NAMES c++ g++ REQUIRED)
set(QUENDRO_HOST_DIR ${CMAKE_BINARY_DIR}/host)
set(version_tool_sources
    resources/MakeVersionRes.cpp
    src/project/FormDescription.cpp src/project/ProjectForm.cpp src/project/ProjectStore.cpp
    src/project/Project.cpp src/project/UserReg.cpp src/project/VersionInfo.cpp
    src/project/AnsiTextIconv.cpp src/system/PosixFileSystem.cpp
    src/system/Exception.cpp src/system/Component.cpp src/system/Text.cpp)
list(TRANSFORM version_tool_sources PREPEND ${CMAKE_SOURCE_DIR}/ OUTPUT_VARIABLE version_tool_paths)
file(GLOB version_tool_headers ${CMAKE_SOURCE_DIR}/src/project/*.h ${CMAKE_SOURCE_DIR}/src/system/*.h)
add_custom_command(
    OUTPUT ${QUENDRO_HOST_DIR}/MakeVersionRes
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUENDRO_HOST_DIR}
    COMMAND ${QUENDRO_HOST_CXX} -std=c++17 -O1 -Wall -Wextra -Werror -finput-charset=UTF-8 -fexec-charset=CP932
            -I${CMAKE_SOURCE_DIR}/src ${version_tool_paths} -o ${QUENDRO_HOST_DIR}/MakeVersionRes
    DEPENDS ${version_tool_paths} ${version_tool_headers}
    COMMENT "Building the version resource tool for the build machine")
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/Version.res
    COMMAND ${QUENDRO_HOST_DIR}/MakeVersionRes ${CMAKE_SOURCE_DIR}/resources/Main.dfm QUENDRO
            ${CMAKE_BINARY_DIR}/Version.res
    DEPENDS ${QUENDRO_HOST_DIR}/MakeVersionRes ${CMAKE_SOURCE_DIR}/resources/Main.dfm
    COMMENT "Writing Version.res from the stored QUENDRO values")
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/VersionRes.rc
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/resources/res_to_rc.py ${CMAKE_BINARY_DIR}/Version.res
            ${CMAKE_BINARY_DIR}/VersionRes.rc
    DEPENDS ${CMAKE_BINARY_DIR}/Version.res ${CMAKE_SOURCE_DIR}/resources/res_to_rc.py
    COMMENT "Embedding Version.res as it is")
# The event texts: a message table compiled from resources/events.mc.
string(REGEX REPLACE "windres$" "windmc" QUENDRO_WINDMC "${CMAKE_RC_COMPILER}")
set(QUENDRO_EVENTS_DIR ${CMAKE_BINARY_DIR}/events)
add_custom_command(
    OUTPUT ${QUENDRO_EVENTS_DIR}/events.rc ${QUENDRO_EVENTS_DIR}/MSG00409.bin ${QUENDRO_EVENTS_DIR}/MSG00411.bin
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUENDRO_EVENTS_DIR}
    COMMAND ${QUENDRO_WINDMC} -C 65001 -U -r ${QUENDRO_EVENTS_DIR} -h ${QUENDRO_EVENTS_DIR}
            ${CMAKE_SOURCE_DIR}/resources/events.mc
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/events.mc
    COMMENT "Compiling the event message table")
set_source_files_properties(${QUENDRO_EVENTS_DIR}/events.rc PROPERTIES
    OBJECT_DEPENDS "${QUENDRO_EVENTS_DIR}/MSG00409.bin;${QUENDRO_EVENTS_DIR}/MSG00411.bin")

set_source_files_properties(resources/quendro.rc PROPERTIES
    OBJECT_DEPENDS "${QUENDRO_ART_DIR}/mainicon.ico;${QUENDRO_ART_DIR}/handpoint.cur;${CMAKE_SOURCE_DIR}/resources/Main.dfm")

add_executable(quendro WIN32
    src/app/Quendro.cpp
    src/run/Win32ConsoleWindows.cpp
    src/run/Win32LogPath.cpp
    src/run/Win32RunEvents.cpp
    src/app/Win32EntryHost.cpp
    src/ui/Application.cpp
    src/ui/Main.cpp
    src/ui/Win32URLLabel.cpp
    resources/quendro.rc
    ${QUENDRO_EVENTS_DIR}/events.rc
    ${QUENDRO_ART_DIR}/mainicon.ico
    ${QUENDRO_ART_DIR}/handpoint.cur
    ${CMAKE_BINARY_DIR}/VersionRes.rc
)
target_include_directories(quendro PRIVATE ${QUENDRO_ART_DIR} ${QUENDRO_EVENTS_DIR} ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(quendro PRIVATE quendro_core quendro_win32 quendro_project)
target_link_options(quendro PRIVATE ${QUENDRO_WIN2K_LINK})
if(QUENDRO_LTO)
    # After the build type's -fno-lto, so this one holds.
    target_link_options(quendro PRIVATE -flto -flto-partition=one)
endif()
target_link_libraries(quendro PRIVATE user32 gdi32 shell32 advapi32 kernel32)
set_target_properties(quendro PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The allowlist and the size limit describe the shipped 32-bit exe; the
# x86_64 build only runs the tests.
set(QUENDRO_MAX_EXE_BYTES 307200 CACHE STRING "The most quendro.exe may take (300 KiB)")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    add_custom_command(TARGET quendro POST_BUILD
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/check-imports.py
                --objdump ${CMAKE_OBJDUMP}
                --allow ${CMAKE_SOURCE_DIR}/resources/win2k-imports.txt
                $<TARGET_FILE:quendro>
        COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:quendro> -DLIMIT=${QUENDRO_MAX_EXE_BYTES}
                -P ${CMAKE_SOURCE_DIR}/cmake/CheckSize.cmake
        COMMENT "Checking that quendro.exe imports only what Windows 2000 exports, and its size")
endif()

add_subdirectory(designer)

if(EXISTS ${CMAKE_SOURCE_DIR}/standin/CMakeLists.txt)
    add_subdirectory(standin)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
    add_subdirectory(tests/e2e)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/label-wine/CMakeLists.txt)
    add_subdirectory(tests/label-wine)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/window/CMakeLists.txt)
    add_subdirectory(tests/window)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/project-wine/CMakeLists.txt)
    add_subdirectory(tests/project-wine)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/designer-wine/CMakeLists.txt)
    add_subdirectory(tests/designer-wine)
endif()
add_subdirectory(tests/system-wine)

# The help file DAVIRAZ.OVA and DAVIRAZ.CNT beside quendro.exe, and its Wine tests.
add_subdirectory(tools/helpc)
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/help-wine/CMakeLists.txt)
    add_subdirectory(tests/help-wine)
endif()

# The backup benchmark's Win32 programs (scripts/bench-backup.sh).
add_subdirectory(bench)

# The release's build tools and stand-in (scripts/release.sh), and its Wine tests.
add_subdirectory(installer)
# The installer's stubs are i686 programs: its Wine tests belong to the
# shipped 32-bit build alone.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND EXISTS ${CMAKE_SOURCE_DIR}/tests/release-wine/CMakeLists.txt)
    add_subdirectory(tests/release-wine)
endif()
