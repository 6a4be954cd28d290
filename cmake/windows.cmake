# The real target: tolvane.exe and faltrem.exe as Windows 95/98 GUI programs,
# compiled against MinGW's own windows.h. No C runtime: Windows 95 shipped
# without msvcrt.dll, so both start at shell/winentry.cpp and import only from
# the system DLLs (scripts/wine-test.sh checks the import tables).
enable_language(RC)
add_compile_definitions(WINVER=0x0400 _WIN32_WINDOWS=0x0410)
add_compile_options(-Wall -Wextra -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables)
set(WIN_LINK_OPTIONS -nostartfiles -nodefaultlibs -mwindows -s)
set(WIN_SYSTEM_LIBS user32 kernel32 gcc)

add_executable(tolvane WIN32 ${PROGRAM_SOURCES} ${CMAKE_SOURCE_DIR}/clocks/pcio_x86.cpp
               ${CMAKE_SOURCE_DIR}/shell/winentry.cpp ${CMAKE_SOURCE_DIR}/resources/tolvane.rc)
target_include_directories(tolvane PRIVATE ${PROGRAM_INCLUDES})
target_link_options(tolvane PRIVATE ${WIN_LINK_OPTIONS})
target_link_libraries(tolvane PRIVATE comctl32 mpr ${WIN_SYSTEM_LIBS})
set_target_properties(tolvane PROPERTIES OUTPUT_NAME tolvane SUFFIX .exe)

add_executable(faltrem WIN32 ${COMPANION_SOURCES} ${CMAKE_SOURCE_DIR}/clocks/pcio_x86.cpp
               ${CMAKE_SOURCE_DIR}/shell/winentry.cpp)
target_include_directories(faltrem PRIVATE ${CMAKE_SOURCE_DIR}/clocks)
target_link_options(faltrem PRIVATE ${WIN_LINK_OPTIONS})
target_link_libraries(faltrem PRIVATE ${WIN_SYSTEM_LIBS})
set_target_properties(faltrem PROPERTIES OUTPUT_NAME faltrem SUFFIX .exe)

# hlpc runs here, on the build machine, so the host's compiler builds it.
find_program(HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(HOST_HLPC ${CMAKE_BINARY_DIR}/hlpc-host/hlpc)
add_custom_command(OUTPUT ${HOST_HLPC}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/hlpc-host
  COMMAND ${HOST_CXX} -std=c++20 -O2 -I ${HELPFILE_INCLUDE_ROOT} -o ${HOST_HLPC}
          ${HELPFILE_SOURCES} ${HLPC_SOURCES} ${HLPC_MAIN}
  DEPENDS ${HELPFILE_SOURCES} ${HELPFILE_HEADERS} ${HLPC_SOURCES} ${HLPC_MAIN} ${HLPC_HEADERS}
  COMMENT "hlpc for the build machine")
tolvane_help_file(${HOST_HLPC} ${HOST_HLPC})

# What a Windows 95/98 user is given: the two programs, the help file and a
# README.TXT with DOS line ends, as dist/tolvane.zip and as dist/tolvane.img, a
# 1.44 MB floppy image for a PC or a virtual machine to read.
find_program(ZIP zip REQUIRED)
find_program(MFORMAT mformat REQUIRED)
configure_file(${CMAKE_SOURCE_DIR}/resources/readme.txt ${CMAKE_BINARY_DIR}/README.TXT @ONLY
               NEWLINE_STYLE CRLF)
set(DIST_DIR ${CMAKE_BINARY_DIR}/dist)
set(DIST_FILES $<TARGET_FILE:tolvane> $<TARGET_FILE:faltrem> ${HELP_FILE} ${CMAKE_BINARY_DIR}/README.TXT)
add_custom_command(OUTPUT ${DIST_DIR}/tolvane.zip ${DIST_DIR}/tolvane.img
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DIST_DIR}
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/make-dist.sh ${DIST_DIR}/tolvane.zip ${DIST_DIR}/tolvane.img
          ${DIST_FILES}
  DEPENDS tolvane faltrem help_file ${HELP_FILE} ${CMAKE_BINARY_DIR}/README.TXT
          ${CMAKE_SOURCE_DIR}/scripts/make-dist.sh
  COMMENT "dist/tolvane.zip and dist/tolvane.img")
add_custom_target(dist ALL DEPENDS ${DIST_DIR}/tolvane.zip ${DIST_DIR}/tolvane.img)

include(${CMAKE_SOURCE_DIR}/wintest/uidriver.cmake)
