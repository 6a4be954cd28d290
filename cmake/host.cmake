# The host build: the same program files over host/, our Win32 subset on a
# simulated PC drawn in the terminal, plus the tests and benchmarks.
option(TOLVANE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(TOLVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
# The fuzz harnesses (clang only): every library instrumented for libFuzzer's
# coverage, with both sanitizers; fuzz/ adds the harnesses.
option(TOLVANE_FUZZ "Build the fuzz harnesses with libFuzzer, ASan and UBSan" OFF)
if(TOLVANE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
add_compile_options(-Wall -Wextra)

find_package(PkgConfig REQUIRED)
pkg_check_modules(NCURSESW REQUIRED IMPORTED_TARGET ncursesw)
find_package(Threads REQUIRED)
# windres alone, from MinGW's binutils: it takes the resource script through
# this build's own C preprocessor and the host's Win32 headers, so the
# terminal build needs no Windows compiler.
find_program(WINDRES i686-w64-mingw32-windres REQUIRED)

# Every program beside the others, where a Windows program name finds its
# host executable and where the README says they are.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

include(cmake/layers.cmake)
add_subdirectory(host)

# The program's resources, compiled by windres exactly as for Windows, embedded
# as the module's resource section so the host reads the real templates.
set(TOLVANE_RES ${CMAKE_BINARY_DIR}/tolvane.res)
set(RESOURCE_INPUTS ${CMAKE_SOURCE_DIR}/resources/tolvane.rc ${CMAKE_SOURCE_DIR}/resources/tolvane.ico)
add_custom_command(OUTPUT ${TOLVANE_RES}
  COMMAND ${WINDRES} --preprocessor=${CMAKE_C_COMPILER} --preprocessor-arg=-E
          --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED
          -I ${CMAKE_SOURCE_DIR}/host/include -I ${CMAKE_SOURCE_DIR}/resources
          -I ${CMAKE_SOURCE_DIR}/shell
          -O res -i ${CMAKE_SOURCE_DIR}/resources/tolvane.rc -o ${TOLVANE_RES}
  DEPENDS ${RESOURCE_INPUTS} ${CMAKE_SOURCE_DIR}/shell/tolvane.h
          ${CMAKE_SOURCE_DIR}/host/include/windows.h
  COMMENT "windres tolvane.rc")

# Written only when its text changes, so that configuring again rebuilds
# nothing.
function(tolvane_module_resources name res_file)
  set(asm ${CMAKE_BINARY_DIR}/${name}_resources.S)
  string(CONCAT text
    "    .section .rodata\n"
    "    .balign 4\n"
    "    .global host_module_resources\n"
    "    .global host_module_resources_end\n"
    "host_module_resources:\n")
  if(res_file)
    string(APPEND text "    .incbin \"${res_file}\"\n")
  endif()
  string(APPEND text "host_module_resources_end:\n    .section .note.GNU-stack,\"\",@progbits\n")
  file(CONFIGURE OUTPUT ${asm} CONTENT "${text}" @ONLY)
  add_library(${name}_resources OBJECT ${asm})
  if(res_file)
    set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS ${res_file})
  endif()
endfunction()
tolvane_module_resources(tolvane ${TOLVANE_RES})
tolvane_module_resources(faltrem "")

# The program sees the Win32 headers and its own, nothing else of host/.
add_library(tolvane_program STATIC ${PROGRAM_SOURCES})
target_include_directories(tolvane_program PUBLIC ${PROGRAM_INCLUDES} ${CMAKE_SOURCE_DIR}/host/include)
target_link_libraries(tolvane_program PUBLIC $<LINK_ONLY:tolvane_user>)

add_executable(tolvane $<TARGET_OBJECTS:tolvane_resources>)
target_link_libraries(tolvane PRIVATE tolvane_entry tolvane_program)

# A Windows program name finds the host executable of the same file name, so
# the companion is built as faltrem.exe.
add_executable(faltrem ${COMPANION_SOURCES} $<TARGET_OBJECTS:faltrem_resources>)
target_include_directories(faltrem PRIVATE ${CMAKE_SOURCE_DIR}/clocks)
target_link_libraries(faltrem PRIVATE tolvane_entry)
set_target_properties(faltrem PROPERTIES OUTPUT_NAME faltrem.exe)

# The WinHelp file format, which the help compiler and the help viewer
# (host/winhelp) link; the help compiler, and the help file it makes.
add_library(tolvane_helpfile STATIC ${HELPFILE_SOURCES})
target_include_directories(tolvane_helpfile PUBLIC ${HELPFILE_INCLUDE_ROOT})
add_library(tolvane_hlpc STATIC ${HLPC_SOURCES})
target_include_directories(tolvane_hlpc PUBLIC ${CMAKE_SOURCE_DIR}/resources/hlpc)
target_link_libraries(tolvane_hlpc PUBLIC tolvane_helpfile)
add_executable(hlpc ${HLPC_MAIN})
target_link_libraries(hlpc PRIVATE tolvane_hlpc)
tolvane_help_file($<TARGET_FILE:hlpc> hlpc)

# The program's clock code as a bare real-mode guest, for the qemu tests.
add_subdirectory(guest)

# Tests and benchmarks.
enable_testing()
find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)
add_subdirectory(tests)
add_subdirectory(bench)
if(TOLVANE_FUZZ)
  add_subdirectory(fuzz)
endif()
