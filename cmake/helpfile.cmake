# Tolvaneeval.hlp, the WinHelp file that the Help button opens, compiled from
# resources/help.hlpsrc by hlpc (resources/hlpc), the project's own help
# compiler, and put beside the programs. Both builds include this; each says
# how it gets an hlpc that runs on the build machine.

# The WinHelp file format (helpfile/): its layout, the bounds-checked views
# its reader reads through, and its writer; hlpc and the host's help viewer
# both link it. Its headers are included as "helpfile/name.h" through a root
# that holds nothing but a link to the folder.
set(HELPFILE_SOURCES
    ${CMAKE_SOURCE_DIR}/helpfile/btree_writer.cpp
    ${CMAKE_SOURCE_DIR}/helpfile/help_writer.cpp
    ${CMAKE_SOURCE_DIR}/helpfile/views.cpp)
set(HELPFILE_HEADERS
    ${CMAKE_SOURCE_DIR}/helpfile/btree_writer.h
    ${CMAKE_SOURCE_DIR}/helpfile/byte_writer.h
    ${CMAKE_SOURCE_DIR}/helpfile/format.h
    ${CMAKE_SOURCE_DIR}/helpfile/help_text.h
    ${CMAKE_SOURCE_DIR}/helpfile/help_writer.h
    ${CMAKE_SOURCE_DIR}/helpfile/views.h)
set(HELPFILE_INCLUDE_ROOT ${CMAKE_BINARY_DIR}/include-roots/helpfile)
file(MAKE_DIRECTORY ${HELPFILE_INCLUDE_ROOT})
file(CREATE_LINK ${CMAKE_SOURCE_DIR}/helpfile ${HELPFILE_INCLUDE_ROOT}/helpfile SYMBOLIC)

# hlpc itself: the help source's parser, and its main().
set(HLPC_SOURCES ${CMAKE_SOURCE_DIR}/resources/hlpc/help_source.cpp)
set(HLPC_MAIN ${CMAKE_SOURCE_DIR}/resources/hlpc/hlpc.cpp)
set(HLPC_HEADERS ${CMAKE_SOURCE_DIR}/resources/hlpc/help_source.h)
set(HELP_SOURCE ${CMAKE_SOURCE_DIR}/resources/help.hlpsrc)
set(HELP_FILE ${CMAKE_BINARY_DIR}/Tolvaneeval.hlp)

function(tolvane_help_file hlpc)
  add_custom_command(OUTPUT ${HELP_FILE}
    COMMAND ${hlpc} ${HELP_SOURCE} ${HELP_FILE}
    DEPENDS ${HELP_SOURCE} ${ARGN}
    COMMENT "hlpc help.hlpsrc -> Tolvaneeval.hlp")
  add_custom_target(help_file ALL DEPENDS ${HELP_FILE})
endfunction()
