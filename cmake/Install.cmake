# Installation rules and Debian packages (CPack). Components, one package each:
#   tqexe    the launcher, the tools and their manual pages          -> tqexe
#   engine   the reference engine, the examples and the demo         -> tqexe-reference-engine
#   library  libtqhost.so.1, the call interface for host programs    -> libtqhost1
#   dev      its header, static library, link, pkg-config and CMake files -> libtqhost-dev
# 'make install' installs them all. The engine goes to its own folder below the
# prefix, never by default to the common engine directory the launcher also
# searches, where it would stand in for a real engine.
include(GNUInstallDirs)

# Libraries go to the multiarch folder (lib/x86_64-linux-gnu, lib/i386-linux-gnu),
# so both architectures' library packages install side by side.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(TQ_LIB_INSTALL_DIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(TQ_LIB_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR})
endif()
# Trees configured before the multiarch layout cached the old default: follow the new one.
if(TQ_ENGINE_INSTALL_DIR STREQUAL "${CMAKE_INSTALL_LIBDIR}/tqexe/engine")
  unset(TQ_ENGINE_INSTALL_DIR CACHE)
endif()
set(TQ_ENGINE_INSTALL_DIR ${TQ_LIB_INSTALL_DIR}/tqexe/engine CACHE STRING
    "Where the reference engine is installed (relative to the prefix unless absolute)")
set(TQ_SHARE_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/tqexe)
set(TQ_DEB_ENGINE tqexe-reference-engine)
set(TQ_EXAMPLES_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/doc/${TQ_DEB_ENGINE}/examples)
set(TQ_CMAKE_INSTALL_DIR ${TQ_LIB_INSTALL_DIR}/cmake/tqhost)
set(TQ_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(TQ_PACKAGE_MAINTAINER "tqexe maintainers <maintainers@tqexe.org>" CACHE STRING
    "Maintainer of the Debian packages (name <address>), also signs their changelog")
set(TQ_PACKAGE_RELEASE 1 CACHE STRING "Debian revision of the packages")
set(TQ_PACKAGE_VERSION ${PROJECT_VERSION}-${TQ_PACKAGE_RELEASE})

# Compressed copies as Debian ships them: gzip -9 without name or time stamp, so
# both architectures' packages carry identical files.
set(TQ_GZ_DIR ${CMAKE_BINARY_DIR}/packaging)
add_custom_target(tq_packaging_files ALL)
function(tq_gzip src name)
  add_custom_command(OUTPUT ${TQ_GZ_DIR}/${name}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TQ_GZ_DIR}
    COMMAND sh -c "gzip -9nc \"$0\" >\"$1\"" ${src} ${TQ_GZ_DIR}/${name}
    DEPENDS ${src} VERBATIM)
  target_sources(tq_packaging_files PRIVATE ${TQ_GZ_DIR}/${name})
endfunction()

# Every package carries the licence statement and the changelog in its doc folder.
configure_file(${TQ_PACKAGING_DIR}/changelog.in ${TQ_GZ_DIR}/changelog.Debian @ONLY)
tq_gzip(${TQ_GZ_DIR}/changelog.Debian changelog.Debian.gz)
set(TQ_DEB_NAMES tqexe:tqexe engine:${TQ_DEB_ENGINE} library:libtqhost${TQ_HOST_SOVERSION} dev:libtqhost-dev)
foreach(pair ${TQ_DEB_NAMES})
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 comp)
  list(GET pair 1 pkg)
  install(FILES ${TQ_PACKAGING_DIR}/copyright ${TQ_GZ_DIR}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${pkg} COMPONENT ${comp})
  if(EXISTS ${TQ_PACKAGING_DIR}/lintian/${pkg})
    install(FILES ${TQ_PACKAGING_DIR}/lintian/${pkg} DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
            COMPONENT ${comp})
  endif()
endforeach()

# The launcher, the tools and their manual pages.
install(TARGETS tqexe tqpack tqzlw RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tqexe)
foreach(page tqexe tqpack tqzlw)
  tq_gzip(${CMAKE_SOURCE_DIR}/docs/man/${page}.1 ${page}.1.gz)
  install(FILES ${TQ_GZ_DIR}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tqexe)
endforeach()

# The call interface: the versioned shared library on its own, everything a host
# builds with in the development component, with the CMake package that finds it.
if(TARGET tqhost)
  install(TARGETS tqhost EXPORT tqhostTargets COMPONENT library
          LIBRARY DESTINATION ${TQ_LIB_INSTALL_DIR} NAMELINK_COMPONENT dev)
  install(TARGETS tqhost_static EXPORT tqhostTargets COMPONENT dev ARCHIVE DESTINATION ${TQ_LIB_INSTALL_DIR})
  file(GLOB TQ_PUBLIC_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/include/*.h)
  install(FILES ${TQ_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
  install(EXPORT tqhostTargets NAMESPACE tqhost:: DESTINATION ${TQ_CMAKE_INSTALL_DIR} COMPONENT dev)
  include(CMakePackageConfigHelpers)
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/tqhostConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${TQ_PACKAGING_DIR}/tqhostConfig.cmake ${CMAKE_BINARY_DIR}/tqhostConfigVersion.cmake
          DESTINATION ${TQ_CMAKE_INSTALL_DIR} COMPONENT dev)
  # tqhost.pc names the prefix the files are installed under, known only then
  # (cmake --install --prefix, or /usr for the packages).
  install(CODE "
    set(TQ_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(TQ_LIB_INSTALL_DIR \"${TQ_LIB_INSTALL_DIR}\")
    set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
    set(PROJECT_VERSION \"${PROJECT_VERSION}\")
    configure_file(\"${TQ_PACKAGING_DIR}/tqhost.pc.in\" \"${CMAKE_BINARY_DIR}/tqhost.pc\" @ONLY)"
    COMPONENT dev)
  install(FILES ${CMAKE_BINARY_DIR}/tqhost.pc DESTINATION ${TQ_LIB_INSTALL_DIR}/pkgconfig COMPONENT dev)
endif()

# The reference engine, the examples (sample applications, host programs, the
# example service and its unit) and the demo, which runs the installed launcher on
# the installed engine with its own copy of the sample application.
install(TARGETS tq150vm LIBRARY DESTINATION ${TQ_ENGINE_INSTALL_DIR} COMPONENT engine)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${TQ_EXAMPLES_INSTALL_DIR}
        USE_SOURCE_PERMISSIONS COMPONENT engine PATTERN CMakeLists.txt EXCLUDE)
file(RELATIVE_PATH TQ_DEMO_TO_PREFIX /p/${TQ_SHARE_INSTALL_DIR} /p)
configure_file(${CMAKE_SOURCE_DIR}/cmake/tqexe-demo.sh.in ${CMAKE_BINARY_DIR}/tqexe-demo.sh @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/tqexe-demo.sh DESTINATION ${TQ_SHARE_INSTALL_DIR} RENAME demo COMPONENT engine)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/scripts/demo.sh DESTINATION ${TQ_SHARE_INSTALL_DIR} RENAME demo-steps.sh
        COMPONENT engine)
install(FILES ${CMAKE_SOURCE_DIR}/examples/hello/hello.TQL DESTINATION ${TQ_SHARE_INSTALL_DIR} COMPONENT engine)

include(${CMAKE_SOURCE_DIR}/cmake/Debian.cmake)
