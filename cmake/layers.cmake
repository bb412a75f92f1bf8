# The folders are the layers: base, engine, graph, analysis, then the fronts.
# Each layer library sees only its own folder and the folders of the layers it
# links, through an include root of its own in the build tree that holds a link
# to its folder alone. So `#include "analysis/x.h"` inside engine/ does not
# compile: no include root of engine's has an analysis folder.
function(zm_add_layer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    set(root ${PROJECT_BINARY_DIR}/layers/${name})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${name} ${root}/${name} SYMBOLIC)
    add_library(zm_${name} STATIC ${ARG_SOURCES})
    target_include_directories(zm_${name} PUBLIC ${root})
    target_link_libraries(zm_${name} PUBLIC zm_options ${ARG_LINKS})
endfunction()
