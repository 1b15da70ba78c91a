# `cmake --install build --prefix P` lays out:
#   P/bin/vyrhost, P/bin/hytemgen, P/bin/sweepgen
#   P/lib/kel4hytem/libhost_*.so              the host libraries
#   P/lib/kel4hytem/plugins/*.so              the plug-in folder vyrhost loads
#   P/<python site folder>/vyrhost/           the Python package, when built
# Every binary finds what it needs relative to itself, so the tree can be
# moved as a whole.
include(GNUInstallDirs)

set(host_libs host_mfc host_com host_decode host_common host_datafile host_datastate)
foreach(lib ${host_libs})
  set_target_properties(${lib} PROPERTIES INSTALL_RPATH "\$ORIGIN")
endforeach()
set_target_properties(vyrhost hytemgen sweepgen PROPERTIES INSTALL_RPATH "\$ORIGIN/../${KEL_INSTALL_LIB_DIR}")
get_property(kel_plugins GLOBAL PROPERTY KEL_PLUGIN_TARGETS)
set_target_properties(${kel_plugins} PROPERTIES INSTALL_RPATH "\$ORIGIN/..")

install(TARGETS vyrhost hytemgen sweepgen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${host_libs} LIBRARY DESTINATION ${KEL_INSTALL_LIB_DIR})
install(TARGETS ${kel_plugins} LIBRARY DESTINATION ${KEL_INSTALL_PLUGIN_DIR})

# The package folder in build/python already carries its own host libraries and
# plug-ins, found through $ORIGIN. Debian's interpreter reads packages under a
# prefix from lib/pythonX.Y/dist-packages, others from site-packages.
if(KEL_PYTHON_PACKAGE_DIR)
  execute_process(
    COMMAND ${KEL_PYTHON_EXECUTABLE} -c
      "import sys, sysconfig; v = sys.version_info; kind = 'dist-packages' if sysconfig.get_default_scheme() == 'posix_local' else 'site-packages'; print(f'lib/python{v.major}.{v.minor}/{kind}')"
    OUTPUT_VARIABLE kel_python_site OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(KEL_PYTHON_INSTALL_DIR ${kel_python_site} CACHE STRING "Where the Python package vyrhost is installed, relative to the prefix")
  install(DIRECTORY ${KEL_PYTHON_PACKAGE_DIR} DESTINATION ${KEL_PYTHON_INSTALL_DIR} USE_SOURCE_PERMISSIONS)
endif()
