# Installation rules and Debian packages (CPack). Two components:
#   tqexe   the launcher, the tools, and the headers and libraries a host program needs;
#   engine  the reference engine, the examples and the installed demo.
# 'make install' installs both; the engine goes to its own folder below the prefix,
# never by default to the common engine directory the launcher also searches, where
# it would stand in for a real engine.
include(GNUInstallDirs)

set(TQ_ENGINE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/tqexe/engine CACHE STRING
    "Where the reference engine is installed (relative to the prefix unless absolute)")
set(TQ_SHARE_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/tqexe)

install(TARGETS tqexe tqpack tqzlw RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tqexe)

# Public headers of the host interface: every include/*.h.
file(GLOB TQ_PUBLIC_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/include/*.h)
install(FILES ${TQ_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT tqexe)

# Libraries a host program links (the call interface, shared and static): add a
# library target's name to this list and it is installed with the launcher; a name
# the build does not define is skipped.
list(APPEND TQ_HOST_LIBRARIES tqhost tqhost_static)
foreach(lib ${TQ_HOST_LIBRARIES})
  if(TARGET ${lib})
    install(TARGETS ${lib} COMPONENT tqexe
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endforeach()

# The reference engine, the examples (sample applications, the example service and
# its unit) and the demo, which runs the installed launcher on the installed engine.
install(TARGETS tq150vm LIBRARY DESTINATION ${TQ_ENGINE_INSTALL_DIR} COMPONENT engine)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${TQ_SHARE_INSTALL_DIR}/examples
        USE_SOURCE_PERMISSIONS COMPONENT engine PATTERN CMakeLists.txt EXCLUDE)
file(RELATIVE_PATH TQ_DEMO_TO_PREFIX /p/${TQ_SHARE_INSTALL_DIR} /p)
configure_file(${CMAKE_SOURCE_DIR}/cmake/tqexe-demo.sh.in ${CMAKE_BINARY_DIR}/tqexe-demo.sh @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/tqexe-demo.sh DESTINATION ${TQ_SHARE_INSTALL_DIR} RENAME demo COMPONENT engine)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/scripts/demo.sh DESTINATION ${TQ_SHARE_INSTALL_DIR} RENAME demo-steps.sh
        COMPONENT engine)

# Debian packages: 'tqexe' and 'tqexe-reference-engine', which needs the launcher.
set(CPACK_PACKAGE_NAME tqexe)
set(CPACK_PACKAGE_VENDOR "tqexe")
set(CPACK_PACKAGE_CONTACT "tqexe maintainers <tqexe@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Native launcher of TORQEN applications")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL tqexe engine)
set(CPACK_COMPONENT_TQEXE_DESCRIPTION "Native launcher of TORQEN applications, with tqpack and tqzlw")
set(CPACK_COMPONENT_ENGINE_DESCRIPTION "Reference runtime engine for tqexe, with examples and a demo")
set(CPACK_COMPONENT_ENGINE_DEPENDS tqexe)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_TQEXE_PACKAGE_NAME tqexe)
set(CPACK_DEBIAN_ENGINE_PACKAGE_NAME tqexe-reference-engine)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
if(TQ_X86)
  # dpkg-shlibdeps knows only the machine's own architecture: the 32-bit tree
  # names what its programs link (libc, libstdc++, libgcc) itself.
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
else()
  # Dependencies are exactly the shared libraries the installed files link.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
