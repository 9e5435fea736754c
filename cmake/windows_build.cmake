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
# A small program: optimised for size, each function in a section of its
# own so that the linker drops what nothing calls, and no C++ exceptions or
# run-time type information (the product uses neither; the runtime's
# exception machinery is most of what static linking brings in). Data keeps
# its usual sections: with -fdata-sections MinGW's gcc puts zero-filled
# globals in .data sections, so a buffer such as the run log's would be
# stored in the file byte for byte instead of taking room in .bss only.
target_compile_options(usb210qx PRIVATE $<$<CONFIG:Release,MinSizeRel>:-Os>
  -ffunction-sections -fno-exceptions -fno-rtti)
target_link_options(usb210qx PRIVATE -Wl,--gc-sections)

# The shipped install media, laid out in media/ of the build tree by
# `cmake --build --preset windows --target usb_media`:
#   USB\210QX_USB.exe       the 32-bit program (it runs on every Windows;
#                           on 64-bit Windows it hands the run to the next)
#   USB\210QX_USB_x64.exe   this 64-bit build (app/wow64_relaunch.h)
#   Drivers\, metadata\     the media's folders, beside USB
# The 32-bit program is built here too, in i686/ of this tree with the i686
# toolchain and the program only; it is not part of the default build.
# Each copy is checked to be a PE image of the machine its name promises,
# of at most 200 KB, importing system DLLs only.
#
# Configured with a code-signing certificate, the target then signs both
# programs (Authenticode, SHA-256) and verifies each signature against that
# certificate; a signature that does not verify fails the build:
#   -DSIGNING_PKCS12=<file>          the certificate with its key (.pfx/.p12)
#   -DSIGNING_PASSWORD_FILE=<file>   a file whose first line is the password;
#                                    osslsigncode and openssl read it there,
#                                    so only the file's path reaches the
#                                    cache, a command line or a log
#   -DSIGNING_TIMESTAMP_URL=<url>    an RFC 3161 time-stamp server (a release
#                                    needs one: see README.md)
# Without them nothing is signed.
set(SIGNING_PKCS12 "" CACHE FILEPATH "Code-signing certificate and key (PKCS#12) for the shipped programs")
set(SIGNING_PASSWORD_FILE "" CACHE FILEPATH "File holding the PKCS#12 password")
set(SIGNING_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures")
# The name Windows shows for a signed program in the elevation prompt.
set(SIGNING_DESCRIPTION "210QX USB Driver")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  include(ExternalProject)
  ExternalProject_Add(program_i686
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/i686
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-i686.cmake
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DBUILD_TESTS=OFF
               -DWARNINGS_AS_ERRORS=${WARNINGS_AS_ERRORS}
    # The default build command passes make's job server on; BUILD_TESTS
    # OFF leaves the program as the only target of that tree.
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    EXCLUDE_FROM_ALL ON)

  set(USB_MEDIA_FOLDER ${CMAKE_BINARY_DIR}/media)
  set(USB_PROGRAM_32 ${USB_MEDIA_FOLDER}/USB/210QX_USB.exe)
  set(USB_PROGRAM_64 ${USB_MEDIA_FOLDER}/USB/210QX_USB_x64.exe)
  set(USB_MEDIA_SIGNING)
  if(SIGNING_PKCS12)
    foreach(file SIGNING_PKCS12 SIGNING_PASSWORD_FILE)
      if(NOT EXISTS "${${file}}")
        message(FATAL_ERROR "${file}: no such file \"${${file}}\" (both SIGNING_PKCS12 and SIGNING_PASSWORD_FILE are needed)")
      endif()
    endforeach()
    foreach(program ${USB_PROGRAM_32} ${USB_PROGRAM_64})
      list(APPEND USB_MEDIA_SIGNING COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/sign_program.sh sign ${program}
           ${SIGNING_PKCS12} ${SIGNING_PASSWORD_FILE} ${SIGNING_DESCRIPTION} ${SIGNING_TIMESTAMP_URL})
    endforeach()
  endif()
  add_custom_target(usb_media
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${USB_MEDIA_FOLDER}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${USB_MEDIA_FOLDER}/USB
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/i686/210QX_USB.exe ${USB_PROGRAM_32}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:usb210qx> ${USB_PROGRAM_64}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/media/Drivers ${USB_MEDIA_FOLDER}/Drivers
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/media/metadata ${USB_MEDIA_FOLDER}/metadata
    COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/check_shipped_program.sh ${CMAKE_OBJDUMP} ${USB_PROGRAM_32} pei-i386
    COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/check_shipped_program.sh ${CMAKE_OBJDUMP} ${USB_PROGRAM_64} pei-x86-64
    ${USB_MEDIA_SIGNING}
    DEPENDS usb210qx program_i686
    COMMENT "Laying out the install media in ${USB_MEDIA_FOLDER}"
    VERBATIM)
endif()

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

# The stand-in that shows one of the program's boxes outside the situation
# that produces it, for the pictures of scripts/screenshots.sh: the
# program's message code and what it needs, with the program's resources.
add_executable(box_standin WIN32 tools/box_standin.cpp
  app/app_context.cpp app/messages.cpp app/placeholders.cpp app/product_settings.cpp
  app/run_outcome.cpp app/wow64_relaunch.cpp sysaccess/run_log.cpp
  sysaccess/path_text.cpp sysaccess/preview.cpp sysaccess/version_info.cpp
  ${PROGRAM_RESOURCE_SCRIPT})
target_include_directories(box_standin PRIVATE ${PRODUCT_INCLUDE_DIRS})
target_link_libraries(box_standin PRIVATE ${WINDOWS_SYSTEM_LIBRARIES})

# The Wine harness. The i686 build runs only its conformance tests there:
# the program's end-to-end tests, and the benchmark, are the x86_64
# build's, which does the work on 64-bit Windows.
add_subdirectory(tests/e2e)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  # The benchmark's floor program (bench/run.sh).
  add_subdirectory(bench)
  # The signing of the install media's programs, tried on copies.
  add_subdirectory(tests/signing)
endif()
