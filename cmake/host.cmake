# The host build: the same program files over host/, our Win32 subset on a
# simulated PC drawn in the terminal, plus the tests and benchmarks.
option(TOLVANE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(TOLVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
add_compile_options(-Wall -Wextra)

find_package(PkgConfig REQUIRED)
pkg_check_modules(NCURSESW REQUIRED IMPORTED_TARGET ncursesw)
find_package(Threads REQUIRED)
find_program(WINDRES i686-w64-mingw32-windres REQUIRED)

# Simulated PC, Win32 subset and terminal.
file(GLOB HOST_PC_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/pc/*.cpp)
file(GLOB HOST_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/win32/*.cpp
     ${CMAKE_SOURCE_DIR}/host/screen/*.cpp)
list(FILTER HOST_WIN32_SOURCES EXCLUDE REGEX "entry\\.cpp$")
file(GLOB HOST_DRIVE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/drive/*.cpp)

add_library(tolvane_pc STATIC ${HOST_PC_SOURCES})
target_include_directories(tolvane_pc PUBLIC ${CMAKE_SOURCE_DIR}/host ${CMAKE_SOURCE_DIR}/host/include
                           ${CMAKE_SOURCE_DIR}/clocks)
target_link_libraries(tolvane_pc PUBLIC Threads::Threads rt)

add_library(tolvane_win32 STATIC ${HOST_WIN32_SOURCES})
# The help engine reads the help file's format from the help compiler's header.
target_include_directories(tolvane_win32 PRIVATE ${CMAKE_SOURCE_DIR}/resources/hlpc)
target_link_libraries(tolvane_win32 PUBLIC tolvane_pc PkgConfig::NCURSESW)

# The host entry point: main() hands over to the program's WinMain.
add_library(tolvane_entry OBJECT ${CMAKE_SOURCE_DIR}/host/win32/entry.cpp)
target_link_libraries(tolvane_entry PUBLIC tolvane_win32)

# The program's resources, compiled by windres exactly as for Windows, embedded
# as the module's resource section so the host reads the real templates.
set(TOLVANE_RES ${CMAKE_BINARY_DIR}/tolvane.res)
file(GLOB RESOURCE_INPUTS LIST_DIRECTORIES false CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
add_custom_command(OUTPUT ${TOLVANE_RES}
  COMMAND ${WINDRES} -I ${CMAKE_SOURCE_DIR}/resources -I ${CMAKE_SOURCE_DIR}/shell
          -O res -i ${CMAKE_SOURCE_DIR}/resources/tolvane.rc -o ${TOLVANE_RES}
  DEPENDS ${RESOURCE_INPUTS} ${CMAKE_SOURCE_DIR}/shell/tolvane.h
  COMMENT "windres tolvane.rc")

function(tolvane_module_resources name res_file)
  set(asm ${CMAKE_BINARY_DIR}/${name}_resources.S)
  file(WRITE ${asm}
    "    .section .rodata\n"
    "    .balign 4\n"
    "    .global host_module_resources\n"
    "    .global host_module_resources_end\n"
    "host_module_resources:\n")
  if(res_file)
    file(APPEND ${asm} "    .incbin \"${res_file}\"\n")
  endif()
  file(APPEND ${asm} "host_module_resources_end:\n    .section .note.GNU-stack,\"\",@progbits\n")
  add_library(${name}_resources OBJECT ${asm})
  if(res_file)
    set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS ${res_file})
  endif()
endfunction()
tolvane_module_resources(tolvane ${TOLVANE_RES})
tolvane_module_resources(faltrem "")

add_library(tolvane_program STATIC ${PROGRAM_SOURCES})
target_include_directories(tolvane_program PUBLIC ${PROGRAM_INCLUDES})
target_link_libraries(tolvane_program PUBLIC tolvane_win32)

add_executable(tolvane $<TARGET_OBJECTS:tolvane_resources>)
target_link_libraries(tolvane PRIVATE tolvane_entry tolvane_program)

# A Windows program name finds the host executable of the same file name, so
# the companion is built as faltrem.exe.
add_executable(faltrem ${COMPANION_SOURCES} $<TARGET_OBJECTS:faltrem_resources>)
target_include_directories(faltrem PRIVATE ${CMAKE_SOURCE_DIR}/clocks)
target_link_libraries(faltrem PRIVATE tolvane_entry)
set_target_properties(faltrem PROPERTIES OUTPUT_NAME faltrem.exe)

# The help compiler, and the help file it makes for the host's help engine.
add_library(tolvane_hlpc STATIC ${HLPC_SOURCES})
target_include_directories(tolvane_hlpc PUBLIC ${CMAKE_SOURCE_DIR}/resources/hlpc)
add_executable(hlpc ${HLPC_MAIN})
target_link_libraries(hlpc PRIVATE tolvane_hlpc)
tolvane_help_file($<TARGET_FILE:hlpc> hlpc)

add_executable(tolvane-pc ${CMAKE_SOURCE_DIR}/host/tools/tolvane-pc.cpp)
target_link_libraries(tolvane-pc PRIVATE tolvane_pc)

# Tests and benchmarks.
enable_testing()
find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)

add_library(tolvane_drive STATIC ${HOST_DRIVE_SOURCES})
target_link_libraries(tolvane_drive PUBLIC tolvane_program)

# Companions that never end on WM_QUIT, each under the companion's file name
# in a directory of its own: one holds the atom, one hangs before taking it.
foreach(misbehaving stubborn hung)
  add_executable(${misbehaving}_faltrem ${CMAKE_SOURCE_DIR}/tests/companions/${misbehaving}_faltrem.cpp
                 $<TARGET_OBJECTS:faltrem_resources>)
  target_link_libraries(${misbehaving}_faltrem PRIVATE tolvane_entry)
  set_target_properties(${misbehaving}_faltrem PROPERTIES OUTPUT_NAME faltrem.exe
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${misbehaving})
endforeach()

file(GLOB TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*.cpp)
add_executable(tolvane_tests ${TEST_SOURCES} $<TARGET_OBJECTS:tolvane_resources>)
target_include_directories(tolvane_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(tolvane_tests PRIVATE tolvane_program tolvane_drive tolvane_hlpc GTest::gtest_main GTest::gmock)
target_compile_definitions(tolvane_tests PRIVATE
  TOLVANE_BINARY_DIR="${CMAKE_BINARY_DIR}" TOLVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(tolvane_tests tolvane tolvane-pc faltrem stubborn_faltrem hung_faltrem help_file)
include(GoogleTest)
gtest_discover_tests(tolvane_tests DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120)

file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
add_executable(tolvane_bench ${BENCH_SOURCES} $<TARGET_OBJECTS:tolvane_resources>)
target_link_libraries(tolvane_bench PRIVATE tolvane_program tolvane_drive benchmark::benchmark)
