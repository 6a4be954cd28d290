# The layers of host/, each a static library of its own listed sources that
# links only the layers below it. Headers are included as "<layer>/name.h".
# A layer's include root, in the build tree, holds nothing but a link to its
# own folder, and only the layers that link it get that root: so an include
# that runs upward (kernel including "user/window.h"), or across to a layer
# beside it (terminal including "winhelp/viewer.h"), does not compile.
function(tolvane_layer name)
  cmake_parse_arguments(LAYER "" "" "SOURCES;LINKS" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${name} SYMBOLIC)
  add_library(tolvane_${name} STATIC ${LAYER_SOURCES})
  target_include_directories(tolvane_${name} PUBLIC ${root})
  target_link_libraries(tolvane_${name} PUBLIC ${LAYER_LINKS})
endfunction()
