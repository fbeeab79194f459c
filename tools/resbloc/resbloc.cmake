# The resource block: our message texts, packed at build time by our own host
# tool and compiled into tqcore. The executables carry no packer.
# The compressor is tqcore's too: compiled once for both.
add_library(tqcompress_objects OBJECT ${CMAKE_SOURCE_DIR}/src/compression/DataCompressor.cpp)
target_include_directories(tqcompress_objects PRIVATE ${CMAKE_SOURCE_DIR}/src)
add_executable(resbloc ${CMAKE_SOURCE_DIR}/tools/resbloc/resbloc.cpp $<TARGET_OBJECTS:tqcompress_objects>)
target_include_directories(resbloc PRIVATE ${CMAKE_SOURCE_DIR}/src)

set(TQ_RESBLOC_DIR ${CMAKE_BINARY_DIR}/generated/error)
set(TQ_RESBLOC_CPP ${TQ_RESBLOC_DIR}/ResBloc.cpp)
add_custom_command(OUTPUT ${TQ_RESBLOC_CPP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TQ_RESBLOC_DIR}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:resbloc> ${CMAKE_SOURCE_DIR}/src/error/messages.txt ${TQ_RESBLOC_CPP}
  DEPENDS resbloc ${CMAKE_SOURCE_DIR}/src/error/messages.txt
  COMMENT "Packing the message texts into the resource block"
  VERBATIM)
target_sources(tqcore PRIVATE ${TQ_RESBLOC_CPP})
