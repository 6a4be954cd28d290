# uidriver.exe: the Win32 test driver that runs tolvane.exe under Wine and
# reports what it saw. A console program, so its report reaches the shell.
add_executable(uidriver
  ${CMAKE_SOURCE_DIR}/wintest/clock_loader.cpp
  ${CMAKE_SOURCE_DIR}/wintest/program_windows.cpp
  ${CMAKE_SOURCE_DIR}/wintest/report.cpp
  ${CMAKE_SOURCE_DIR}/wintest/screenshot.cpp
  ${CMAKE_SOURCE_DIR}/wintest/steps.cpp
  ${CMAKE_SOURCE_DIR}/wintest/uidriver.cpp
  ${CMAKE_SOURCE_DIR}/wintest/ways_out.cpp)
target_link_options(uidriver PRIVATE -static -static-libgcc -static-libstdc++ -mconsole -s)
target_link_libraries(uidriver PRIVATE mpr gdi32 user32 kernel32)
set_target_properties(uidriver PROPERTIES OUTPUT_NAME uidriver SUFFIX .exe)

# testclock.dll: the clock the driver loads into tolvane.exe for the rollover
# test. No C runtime, as in the programs, so the DLL brings nothing into the
# program's process that Windows 95/98 would not have.
add_library(testclock SHARED ${CMAKE_SOURCE_DIR}/wintest/testclock.cpp)
target_link_options(testclock PRIVATE -nostartfiles -nodefaultlibs -s -Wl,--entry,_DllMain@12)
target_link_libraries(testclock PRIVATE user32 kernel32 gcc)
set_target_properties(testclock PROPERTIES PREFIX "" OUTPUT_NAME testclock SUFFIX .dll)
add_dependencies(uidriver testclock)
