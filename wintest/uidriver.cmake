# uidriver.exe: the Win32 test driver that runs tolvane.exe under Wine and
# reports what it saw. A console program, so its report reaches the shell.
add_executable(uidriver ${CMAKE_SOURCE_DIR}/wintest/uidriver.cpp)
target_link_options(uidriver PRIVATE -static -static-libgcc -static-libstdc++ -mconsole -s)
target_link_libraries(uidriver PRIVATE mpr gdi32 user32 kernel32)
set_target_properties(uidriver PROPERTIES OUTPUT_NAME uidriver SUFFIX .exe)
