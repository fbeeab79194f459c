# Debian packages of the install components (see Install.cmake), stripped, with
# the debug symbols in -dbgsym packages and dependencies from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME tqexe)
set(CPACK_PACKAGE_VENDOR "tqexe maintainers")
set(CPACK_PACKAGE_CONTACT "${TQ_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TQ_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TQ_PACKAGE_RELEASE})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL tqexe engine library dev)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# Package names, sections and descriptions (synopsis, then the extended text).
set(CPACK_DEBIAN_TQEXE_PACKAGE_NAME tqexe)
set(CPACK_DEBIAN_ENGINE_PACKAGE_NAME ${TQ_DEB_ENGINE})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libtqhost${TQ_HOST_SOVERSION})
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtqhost-dev)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_ENGINE_DEPENDS tqexe)
set(CPACK_COMPONENT_DEV_DEPENDS library)
set(CPACK_COMPONENT_TQEXE_DESCRIPTION "native launcher of TORQEN applications
tqexe starts an application made with the TORQEN environment: it reads the
values written into its own file, finds and loads the runtime engine, hands it
the application library and returns the engine's result as exit status. It
also runs an application as a Unix service.

This package also holds the tools tqpack (writes an application's values into
a launcher, shows the engine search it will make, carries files inside it) and
tqzlw (compresses a file into one ZLW block and back).")
set(CPACK_COMPONENT_ENGINE_DESCRIPTION "reference runtime engine for tqexe
A small runtime engine that runs script applications through the launcher or
a host program, with sample applications, host programs and a sample service
as examples, and a demo (/usr/share/tqexe/demo) that runs a sample application
with the installed launcher.")
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "call interface of TORQEN applications for host programs
libtqhost loads a runtime engine on behalf of a host program, opens
applications, runs code, calls procedures, reads and writes variables and
properties, and keeps each call's result and last error.

This package holds the shared library.")
set(CPACK_COMPONENT_DEV_DESCRIPTION "call interface of TORQEN applications for host programs - development files
libtqhost loads a runtime engine on behalf of a host program, opens
applications, runs code, calls procedures, reads and writes variables and
properties, and keeps each call's result and last error.

This package holds the header tqhost.h, the static library, the link to the
shared one, and the files pkg-config (tqhost) and CMake (find_package(tqhost))
find them with.")
foreach(c TQEXE ENGINE LIBRARY DEV)
  set(CPACK_DEBIAN_${c}_DESCRIPTION "${CPACK_COMPONENT_${c}_DESCRIPTION}")
endforeach()
# The launcher and tools serve any architecture's applications (each launcher
# copy is stamped); the libraries install for every architecture at once.
# CPack has no Multi-Arch field: the post-build step writes it.
set(CPACK_TQ_MULTIARCH tqexe=foreign libtqhost${TQ_HOST_SOVERSION}=same
    libtqhost${TQ_HOST_SOVERSION}-dbgsym=same libtqhost-dev=same)
# ldconfig runs once through dpkg's trigger; the post-build step takes out the
# maintainer scripts CPack writes for it.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${TQ_PACKAGING_DIR}/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${TQ_PACKAGING_DIR}/deb-fixups.cmake)

if(TQ_X86)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
endif()
# dpkg-shlibdeps resolves the tree's libraries as the packages' architecture,
# through that architecture's installed packages (bootstrap.sh adds i386's).
configure_file(${TQ_PACKAGING_DIR}/cpack-project.cmake.in ${CMAKE_BINARY_DIR}/CPackProject.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackProject.cmake)
include(CPack)
