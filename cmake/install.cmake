# Install layout of a distribution's chess engines: the programs in <prefix>/games under the
# names a system can hold (tarrow, tarrow-mp), the manual page in section 6, the README with
# the documentation. `cmake --install build --prefix DIR` (with DESTDIR honoured) installs;
# the target "uninstall" removes the files listed in the last install's manifest.
include(GNUInstallDirs)

install(PROGRAMS $<TARGET_FILE:engine> DESTINATION games RENAME tarrow)
install(PROGRAMS $<TARGET_FILE:engine-mp> DESTINATION games RENAME tarrow-mp)
# The tablebase library is a module that other programs load with dlopen, not a library to
# link against: it goes to a folder of its own (no soname, no ldconfig cache entry).
if(TARGET tarrowtb)
  install(TARGETS tarrowtb LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tarrow)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/doc/tarrow.6 ${CMAKE_SOURCE_DIR}/doc/tarrow-mp.6
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(NOT TARGET uninstall)
  add_custom_target(uninstall
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${CMAKE_BINARY_DIR}/install_manifest.txt
            -P ${CMAKE_SOURCE_DIR}/cmake/uninstall.cmake
    COMMENT "Removing the files of the last install")
endif()
