# kel_add_plugin(NAME SOURCES ... LIBS ...): one loadable log-format plug-in,
# NAME.so in the plug-in folder (build/bin/plugins), its symbols hidden but
# for its declaration. Every plug-in is declared this way, once: the list it
# fills (the global property KEL_PLUGIN_TARGETS) is the one the command line,
# the install and the Python package take their plug-ins from.
function(kel_add_plugin name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${P_SOURCES})
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${KEL_PLUGIN_DIR}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${name} PRIVATE -Wl,--no-undefined)
  set_property(GLOBAL APPEND PROPERTY KEL_PLUGIN_TARGETS ${name})
endfunction()
