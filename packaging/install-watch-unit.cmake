# Runs at install time, so that the unit names varnholtctl under the prefix
# actually installed to (cpack's /usr, cmake --install --prefix), not the one
# configured. Given: VARNHOLT_UNIT_TEMPLATE, VARNHOLT_UNIT_OUTPUT, VARNHOLT_BINDIR.
if(IS_ABSOLUTE "${VARNHOLT_BINDIR}")
  set(CMAKE_INSTALL_FULL_BINDIR "${VARNHOLT_BINDIR}")
else()
  set(CMAKE_INSTALL_FULL_BINDIR "${CMAKE_INSTALL_PREFIX}/${VARNHOLT_BINDIR}")
endif()
configure_file("${VARNHOLT_UNIT_TEMPLATE}" "${VARNHOLT_UNIT_OUTPUT}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/user" TYPE FILE
  FILES "${VARNHOLT_UNIT_OUTPUT}")
