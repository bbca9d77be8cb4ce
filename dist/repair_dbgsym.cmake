# Run by cpack after it has built the packages: mends the debug-symbol
# package beside each Debian package. CPack lists the debug files in its
# md5sums by the absolute paths of its own staging tree, where dpkg wants
# them relative to the root, and gives the package no documentation
# directory; as Debian's own -dbgsym packages do, its documentation
# directory becomes a link to that of the package it belongs to, whose
# version it depends on.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  get_filename_component(dir "${package}" DIRECTORY)
  file(GLOB ddebs "${dir}/${CPACK_PACKAGE_NAME}-dbgsym_*.ddeb")
  foreach(ddeb IN LISTS ddebs)
    set(tree "${dir}/dbgsym-repair")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb -R "${ddeb}" "${tree}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "dpkg-deb -R ${ddeb} failed")
    endif()

    file(GLOB_RECURSE debug_files LIST_DIRECTORIES false RELATIVE "${tree}" "${tree}/usr/*")
    list(SORT debug_files)
    set(md5sums "")
    foreach(file IN LISTS debug_files)
      file(MD5 "${tree}/${file}" sum)
      string(APPEND md5sums "${sum}  ${file}\n")
      file(CHMOD "${tree}/${file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endforeach()
    file(WRITE "${tree}/DEBIAN/md5sums" "${md5sums}")
    file(MAKE_DIRECTORY "${tree}/usr/share/doc")
    file(CREATE_LINK "${CPACK_PACKAGE_NAME}"
         "${tree}/usr/share/doc/${CPACK_PACKAGE_NAME}-dbgsym" SYMBOLIC)

    execute_process(COMMAND dpkg-deb --root-owner-group -b "${tree}" "${ddeb}"
                    OUTPUT_QUIET RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "dpkg-deb -b ${tree} failed")
    endif()
    file(REMOVE_RECURSE "${tree}")
  endforeach()
endforeach()
