# Tolvaneeval.hlp, the WinHelp file that the Help button opens, compiled from
# resources/help.hlpsrc by hlpc (resources/hlpc), the project's own help
# compiler, and put beside the programs. Both builds include this; each says
# how it gets an hlpc that runs on the build machine.
set(HLPC_SOURCES
    ${CMAKE_SOURCE_DIR}/resources/hlpc/btree_writer.cpp
    ${CMAKE_SOURCE_DIR}/resources/hlpc/help_source.cpp
    ${CMAKE_SOURCE_DIR}/resources/hlpc/help_writer.cpp)
set(HLPC_MAIN ${CMAKE_SOURCE_DIR}/resources/hlpc/hlpc.cpp)
set(HLPC_HEADERS
    ${CMAKE_SOURCE_DIR}/resources/hlpc/btree_writer.h
    ${CMAKE_SOURCE_DIR}/resources/hlpc/byte_writer.h
    ${CMAKE_SOURCE_DIR}/resources/hlpc/help_source.h
    ${CMAKE_SOURCE_DIR}/resources/hlpc/help_writer.h
    ${CMAKE_SOURCE_DIR}/resources/hlpc/winhelp_format.h)
set(HELP_SOURCE ${CMAKE_SOURCE_DIR}/resources/help.hlpsrc)
set(HELP_FILE ${CMAKE_BINARY_DIR}/Tolvaneeval.hlp)

function(tolvane_help_file hlpc)
  add_custom_command(OUTPUT ${HELP_FILE}
    COMMAND ${hlpc} ${HELP_SOURCE} ${HELP_FILE}
    DEPENDS ${HELP_SOURCE} ${ARGN}
    COMMENT "hlpc help.hlpsrc -> Tolvaneeval.hlp")
  add_custom_target(help_file ALL DEPENDS ${HELP_FILE})
endfunction()
