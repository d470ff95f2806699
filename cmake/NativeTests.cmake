# Native build: unit tests (optionally under ASan+UBSan) and benchmarks.
find_package(GTest REQUIRED)
include(GoogleTest)

add_executable(quendro_unit_tests
    tests/unit/CharsetTest.cpp
    tests/unit/RunLogTest.cpp
    tests/unit/DefragDriveTest.cpp
    tests/unit/CommandLineTest.cpp
    tests/unit/ExitWin32Test.cpp
    tests/unit/EntryTest.cpp
    tests/unit/MainRunTest.cpp
    tests/unit/FakeConsole.cpp
    tests/unit/URLLabelTest.cpp
    tests/unit/InstallerTest.cpp
    installer/AtJobs.cpp
    installer/FolderAccess.cpp
)
target_link_libraries(quendro_unit_tests PRIVATE quendro_core GTest::gtest_main)
target_include_directories(quendro_unit_tests PRIVATE tests installer)
gtest_discover_tests(quendro_unit_tests DISCOVERY_TIMEOUT 60)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/project/CMakeLists.txt)
    add_subdirectory(tests/project)
endif()

add_subdirectory(tests/resources)

if(NOT QUENDRO_SANITIZE)
    add_subdirectory(bench)
endif()

# The help file's compiler and its tests.
add_subdirectory(tools/helpc)
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/help/CMakeLists.txt)
    add_subdirectory(tests/help)
endif()
