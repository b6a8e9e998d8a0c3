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

# Installs the systemd unit that the build tool `tool` writes for the installed `program`
# (`tool PROGRAM_PATH OUTPUT`). The unit names the program by its full path, whose prefix is
# known only when installing: cpack and `cmake --install --prefix` choose it then.
function(qvx_install_systemd_unit unit)
  cmake_parse_arguments(ARG "" "TOOL;PROGRAM;COMPONENT" "" ${ARGN})
  install(CODE "set(QVX_UNIT_TOOL \"$<TARGET_FILE:${ARG_TOOL}>\")
set(QVX_UNIT_FILE \"${CMAKE_CURRENT_BINARY_DIR}/${unit}\")
set(QVX_UNIT_PROGRAM \"${CMAKE_INSTALL_BINDIR}/${ARG_PROGRAM}\")" COMPONENT ${ARG_COMPONENT})
  install(CODE [[
    execute_process(
      COMMAND "${QVX_UNIT_TOOL}" "${CMAKE_INSTALL_PREFIX}/${QVX_UNIT_PROGRAM}" "${QVX_UNIT_FILE}"
      COMMAND_ERROR_IS_FATAL ANY)
    file(INSTALL "${QVX_UNIT_FILE}" DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/system"
         PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  ]] COMPONENT ${ARG_COMPONENT})
endfunction()
