# Windows build with MinGW-w64: the program, and (unless BUILD_TESTS is OFF)
# the conformance tests and the Wine harness's helper programs. Everything
# links the C and C++ runtimes statically, so the programs import system
# DLLs only and run on a Windows without any MinGW runtime installed.
option(BUILD_TESTS "Build the conformance tests and the Wine harness" ON)

add_link_options(-static -static-libgcc -static-libstdc++)

# The system libraries the program and the tests may call into. Import
# libraries only bring in the DLLs whose functions are actually referenced.
set(WINDOWS_SYSTEM_LIBRARIES advapi32 user32 comctl32 version setupapi shell32 ole32)

# The program: a GUI-subsystem executable (WIN32 adds -mwindows) with its
# resources (icon, version record, manifest, string table).
set(PROGRAM_RESOURCE_SCRIPT ${CMAKE_SOURCE_DIR}/res/app.rc)
set_source_files_properties(${PROGRAM_RESOURCE_SCRIPT} PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/res/app.ico;${CMAKE_SOURCE_DIR}/res/app.manifest;${CMAKE_SOURCE_DIR}/res/strings.rc;${CMAKE_SOURCE_DIR}/res/resource.h")
add_executable(usb210qx WIN32 ${PRODUCT_SOURCES} ${PROGRAM_RESOURCE_SCRIPT})
set_target_properties(usb210qx PROPERTIES OUTPUT_NAME 210QX_USB)
target_include_directories(usb210qx PRIVATE ${PRODUCT_INCLUDE_DIRS})
target_link_libraries(usb210qx PRIVATE ${WINDOWS_SYSTEM_LIBRARIES})
# The static runtime libraries carry debug information of their own; the
# shipped program leaves it out (it is about three quarters of the file).
target_link_options(usb210qx PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)

if(NOT BUILD_TESTS)
  return()
endif()

# GoogleTest from the Debian source package. It needs std::mutex, hence the
# -posix compiler of the toolchain file; it runs single-threaded here.
set(GOOGLETEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest sources (googletest/ folder)")
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Warnings in GoogleTest's own sources are not ours to fix.
target_compile_options(gtest PRIVATE -Wno-error)

# The conformance tests, built for Windows from the same sources as the
# native conformance_winsim program, with their string table compiled by
# windres.
file(GLOB CONFORMANCE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/conformance/*_test.cpp)
set(CONFORMANCE_RESOURCE_SCRIPT ${CMAKE_SOURCE_DIR}/tests/conformance/conformance.rc)
set_source_files_properties(${CONFORMANCE_RESOURCE_SCRIPT} PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/tests/conformance/conformance_strings.rc;${CMAKE_SOURCE_DIR}/tests/conformance/conformance_resource.h")
add_executable(conformance_tests
  ${CONFORMANCE_TEST_SOURCES}
  ${CMAKE_SOURCE_DIR}/tests/conformance/main_windows.cpp
  ${CONFORMANCE_RESOURCE_SCRIPT})
target_include_directories(conformance_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/conformance)
target_link_libraries(conformance_tests PRIVATE gtest ${WINDOWS_SYSTEM_LIBRARIES})

add_subdirectory(tests/e2e)
