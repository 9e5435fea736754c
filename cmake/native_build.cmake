# Native build: the product's sources against winsim, the simulated Windows
# machine, with the unit and conformance tests.
option(ENABLE_SANITIZERS "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(ENABLE_SANITIZERS)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

add_executable(rcstrings tools/rcstrings/rcstrings.cpp)

# Generates a C++ string table from a resource script: rc_strings(<out var> <script> <ids header> <symbol>)
function(rc_strings out script ids symbol)
  get_filename_component(name ${script} NAME_WE)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated/${name}_${symbol}.cpp)
  add_custom_command(
    OUTPUT ${generated}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
    COMMAND rcstrings ${script} ${ids} ${generated} ${symbol}
    DEPENDS rcstrings ${script} ${ids}
    COMMENT "Generating the string table ${symbol} from ${script}")
  set(${out} ${generated} PARENT_SCOPE)
endfunction()

file(GLOB WINSIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/winsim/src/*.cpp)
add_library(winsim STATIC ${WINSIM_SOURCES})
target_include_directories(winsim PUBLIC ${CMAKE_SOURCE_DIR}/winsim/include)

add_library(product STATIC ${PRODUCT_SOURCES})
target_include_directories(product PUBLIC ${PRODUCT_INCLUDE_DIRS})
target_link_libraries(product PUBLIC winsim)

rc_strings(PROGRAM_STRINGS_CPP ${CMAKE_SOURCE_DIR}/res/strings.rc ${CMAKE_SOURCE_DIR}/res/resource.h kProgramStrings)
add_library(program_strings STATIC ${PROGRAM_STRINGS_CPP})
target_link_libraries(program_strings PUBLIC winsim)

find_package(GTest REQUIRED)
include(GoogleTest)
add_subdirectory(tests/unit)
add_subdirectory(tests/conformance)
add_subdirectory(tests/sweep)
add_subdirectory(bench)

# Every message box the program can show has its picture in docs/boxes/,
# made by scripts/screenshots.sh and shown in README.md.
add_test(NAME box_pictures COMMAND sh ${CMAKE_SOURCE_DIR}/tests/docs/box_pictures_test.sh ${CMAKE_SOURCE_DIR})
