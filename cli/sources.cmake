add_executable(lumicarve-cli
  cli/main.cpp
  cli/cli_scan.cpp
  cli/cli_progress.cpp
  cli/file_saver.cpp
  cli/cli_devices.cpp
)
target_link_libraries(lumicarve-cli PRIVATE lumicarve_core)
target_compile_definitions(lumicarve-cli PRIVATE LUMICARVE_VERSION="${PROJECT_VERSION}")
install(TARGETS lumicarve-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The manual page, compressed as Debian installs them.
set(LUMICARVE_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/lumicarve-cli.1.gz)
add_custom_command(
  OUTPUT ${LUMICARVE_MAN_PAGE}
  COMMAND gzip -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/cli/lumicarve-cli.1 > ${LUMICARVE_MAN_PAGE}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cli/lumicarve-cli.1
  COMMENT "Compressing the manual page lumicarve-cli.1")
add_custom_target(lumicarve_cli_man_page ALL DEPENDS ${LUMICARVE_MAN_PAGE})
install(FILES ${LUMICARVE_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
