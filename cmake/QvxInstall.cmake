# Install places and the helpers the folders' install rules share. Each install rule names the
# component, and so the Debian package, its file belongs to (packaging/CMakeLists.txt):
# controller, gateway, tools; setup is installed but not packaged.
include(GNUInstallDirs)

find_program(QVX_GZIP gzip REQUIRED)

# Installs the man page `page` (a roff source beside the program, named NAME.SECTION) into
# its section, compressed as Debian ships man pages: gzip -9 without name and time stamp, so
# the same source gives the same package.
function(qvx_install_man_page page)
  cmake_parse_arguments(ARG "" "COMPONENT" "" ${ARGN})
  get_filename_component(_name ${page} NAME)
  string(REGEX MATCH "[0-9]$" _section ${_name})
  set(_source ${CMAKE_CURRENT_SOURCE_DIR}/${page})
  set(_compressed ${CMAKE_CURRENT_BINARY_DIR}/${_name}.gz)
  add_custom_command(
    OUTPUT ${_compressed}
    COMMAND ${QVX_GZIP} -9 -n -c ${_source} > ${_compressed}
    DEPENDS ${_source}
    COMMENT "Compressing man page ${_name}")
  add_custom_target(qvx_man_${_name} ALL DEPENDS ${_compressed})
  install(FILES ${_compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${_section}
          COMPONENT ${ARG_COMPONENT})
endfunction()
