# The call interface for host programs (include/tqhost.h), built on its own as a
# shared library (libtqhost.so.1, versioned with the project) and a static one
# (libtqhost.a) in the bin folder. It needs nothing of tqcore, so a host links it alone.
target_include_directories(tqcore PUBLIC ${CMAKE_SOURCE_DIR}/include)
file(GLOB TQ_HOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/launcher/TQExtern*.cpp)

# The interface's ABI version: raise it with any change that breaks a built host.
set(TQ_HOST_SOVERSION 1)

# Compiled once (PIC, hidden) for both libraries and tqcore.
add_library(tqhost_objects OBJECT ${TQ_HOST_SOURCES})
add_library(tqhost SHARED $<TARGET_OBJECTS:tqhost_objects>)
add_library(tqhost_static STATIC $<TARGET_OBJECTS:tqhost_objects>)
foreach(t tqhost_objects tqhost tqhost_static)
  target_include_directories(${t} PUBLIC $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:include> PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${t} PUBLIC ${CMAKE_DL_LIBS} Threads::Threads)
  set_target_properties(${t} PROPERTIES OUTPUT_NAME tqhost
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${TQ_BIN_DIR} ARCHIVE_OUTPUT_DIRECTORY ${TQ_BIN_DIR})
endforeach()
set_target_properties(tqhost PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${TQ_HOST_SOVERSION})
# The static library is C++ inside: a C host linking it needs the C++ runtime,
# which only the C++ driver adds by itself.
target_link_libraries(tqhost_static INTERFACE $<INSTALL_INTERFACE:stdc++>)
# Only the interface's own functions leave the shared library.
target_link_options(tqhost PRIVATE -Wl,--exclude-libs,ALL)
if(NOT TQ_SANITIZE AND NOT TQ_FUZZ)
  target_link_options(tqhost PRIVATE -Wl,--no-undefined)
endif()
