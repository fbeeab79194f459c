# Run by cpack once the packages are built: what CPack's Debian generator does not
# write itself. Each package is unpacked, changed and rebuilt, its files as they were.
#  - the Multi-Arch field of the packages named in CPACK_TQ_MULTIARCH (NAME=VALUE;...);
#  - a package that triggers ldconfig (a triggers file) needs no maintainer scripts:
#    CPack writes a postinst and a postrm calling ldconfig for every package with a
#    shared library in /usr/lib, so those two come out;
#  - a -dbgsym package gets its doc folder as a link to its package's (copyright,
#    changelog) and md5sums naming its files, where CPack lists build paths.
function(tq_run)
  execute_process(COMMAND ${ARGN} OUTPUT_QUIET RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "'${ARGN}' failed")
  endif()
endfunction()

foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(base "${deb}" NAME)
  string(REGEX REPLACE "_.*" "" pkg "${base}")
  set(dir "${deb}.unpacked")
  file(REMOVE_RECURSE "${dir}")
  tq_run(dpkg-deb -R "${deb}" "${dir}")

  foreach(entry IN LISTS CPACK_TQ_MULTIARCH)
    if(entry MATCHES "^${pkg}=(.*)$")
      file(READ "${dir}/DEBIAN/control" control)
      string(STRIP "${control}" control)
      file(WRITE "${dir}/DEBIAN/control" "${control}\nMulti-Arch: ${CMAKE_MATCH_1}\n")
    endif()
  endforeach()

  if(EXISTS "${dir}/DEBIAN/triggers")
    file(READ "${dir}/DEBIAN/triggers" triggers)
    if(triggers MATCHES "activate-noawait ldconfig")
      file(REMOVE "${dir}/DEBIAN/postinst" "${dir}/DEBIAN/postrm")
    endif()
  endif()

  if(pkg MATCHES "^(.+)-dbgsym$")
    file(MAKE_DIRECTORY "${dir}/usr/share/doc")
    file(CREATE_LINK "${CMAKE_MATCH_1}" "${dir}/usr/share/doc/${pkg}" SYMBOLIC)
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${dir}" "${dir}/usr/*")
    set(sums "")
    foreach(f IN LISTS files)
      if(NOT IS_SYMLINK "${dir}/${f}")
        file(MD5 "${dir}/${f}" md5)
        string(APPEND sums "${md5}  ${f}\n")
      endif()
    endforeach()
    file(WRITE "${dir}/DEBIAN/md5sums" "${sums}")
  endif()

  tq_run(dpkg-deb --root-owner-group -Zxz -b "${dir}" "${deb}")
  file(REMOVE_RECURSE "${dir}")
endforeach()
