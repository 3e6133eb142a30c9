# What `cmake --install` puts under the prefix (and DESTDIR): the collector in sbin/, its
# man page in share/man/man8/, and the operator examples (rc.d script, newsyslog entry, jq
# recipes) in share/examples/wirelens-reader/. Nothing of the tests, the emulator or the
# benchmarks is installed.
set(WIRELENS_EXAMPLES_DIR share/examples/wirelens-reader)

install(TARGETS wirelens-reader RUNTIME DESTINATION sbin)
install(FILES ${PROJECT_SOURCE_DIR}/src/wirelens-reader.8 DESTINATION share/man/man8)

# The rc.d script names the collector by its installed path: %%PREFIX%% is the ports'
# placeholder, filled in here with the prefix in force at install time.
set(WIRELENS_RC_TEMPLATE ${PROJECT_SOURCE_DIR}/packaging/freebsd/files/wirelens_reader.in)
set(WIRELENS_RC_SCRIPT ${CMAKE_BINARY_DIR}/packaging/wirelens_reader)
install(CODE "
  file(READ \"${WIRELENS_RC_TEMPLATE}\" rc_text)
  string(REPLACE \"%%PREFIX%%\" \"\${CMAKE_INSTALL_PREFIX}\" rc_text \"\${rc_text}\")
  file(WRITE \"${WIRELENS_RC_SCRIPT}\" \"\${rc_text}\")
")
install(PROGRAMS ${WIRELENS_RC_SCRIPT} DESTINATION ${WIRELENS_EXAMPLES_DIR})
install(FILES
  ${PROJECT_SOURCE_DIR}/packaging/freebsd/files/newsyslog-wirelens-reader.conf
  ${PROJECT_SOURCE_DIR}/examples/wirelens.jq
  DESTINATION ${WIRELENS_EXAMPLES_DIR})
