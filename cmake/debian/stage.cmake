# Runs in cpack once the components are staged (CPACK_PRE_BUILD_SCRIPTS), one
# folder per component under CPACK_TEMPORARY_DIRECTORY, before the Debian
# packages are made of them. Adds what only a package holds:
# - the folders that every package's files and folders are in, 0755 whatever the umask;
# - no RPATH: the library lies in the linker's default folders;
# - /usr/share/doc/<package>/copyright and changelog.gz;
# - in the host's package, the machine-wide folders the code uses, root's and
#   writable by no one else (the trust folder counts only then);
# - the host's maintainer scripts: the ldconfig trigger, and the browser
#   registration when extension origins were named.
include(${CPACK_ORV_DEBIAN_DIR}/../ExtensionOrigins.cmake)
set(staging ${CPACK_TEMPORARY_DIRECTORY})
set(prefix ${CPACK_PACKAGING_INSTALL_PREFIX})

function(make_public_folder folder)
  file(MAKE_DIRECTORY ${folder})
  file(CHMOD ${folder} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                               WORLD_READ WORLD_EXECUTE)
endfunction()

function(write_doc_files root package)
  set(doc ${root}${prefix}/share/doc/${package})
  make_public_folder(${doc})
  file(COPY_FILE ${CPACK_ORV_DEBIAN_DIR}/copyright ${doc}/copyright)
  set(ORV_PACKAGE ${package})
  set(ORV_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  configure_file(${CPACK_ORV_DEBIAN_DIR}/changelog.in ${doc}/changelog @ONLY)
  # -n: no name or time stamp in the archive, so that equal sources give equal packages.
  execute_process(COMMAND gzip -9nf ${doc}/changelog RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${doc}/changelog failed")
  endif()
  file(CHMOD ${doc}/copyright ${doc}/changelog.gz PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  set(root ${staging}/${component})
  if(component STREQUAL "runtime")
    foreach(folder /etc /etc/orv /etc/orv/trust /var /var/lib /var/lib/orv /var/lib/orv/registry)
      make_public_folder(${root}${folder})
    endforeach()
  endif()
  write_doc_files(${root} ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})

  file(GLOB_RECURSE entries LIST_DIRECTORIES true ${root}/*)
  foreach(entry IN LISTS entries)
    if(IS_SYMLINK ${entry})
      continue()
    elseif(IS_DIRECTORY ${entry})
      make_public_folder(${entry})
    else()
      file(READ ${entry} magic LIMIT 4 HEX)
      if(magic STREQUAL "7f454c46")
        file(RPATH_REMOVE FILE ${entry})
      endif()
    endif()
  endforeach()
endforeach()

# dpkg-shlibdeps finds the library, which the other packages need, in the host's staging.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${staging}/runtime${prefix}/${CPACK_ORV_LIBDIR})

# The origins come in as text that a shell runs: only what the browsers accept
# (chrome-extension:// and 32 letters a-p) gets that far.
orv_extension_origin_list(origins "${CPACK_ORV_EXTENSION_ORIGINS}")
orv_check_extension_origins("${origins}")
set(scripts ${staging}-maintainer-scripts)
file(REMOVE_RECURSE ${scripts})
file(MAKE_DIRECTORY ${scripts})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CPACK_ORV_DEBIAN_DIR}/triggers)
if(origins)
  set(ORV_PACKAGE ${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME})
  set(ORV_HOST_PATH ${prefix}/${CPACK_ORV_HOSTDIR}/pwm_chrome_extension_host)
  list(TRANSFORM origins PREPEND "--origin " OUTPUT_VARIABLE arguments)
  list(JOIN arguments " " ORV_ORIGIN_ARGUMENTS)
  foreach(script postinst prerm)
    configure_file(${CPACK_ORV_DEBIAN_DIR}/${script}.in ${scripts}/${script} @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                    WORLD_EXECUTE)
    list(APPEND CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${scripts}/${script})
  endforeach()
endif()
