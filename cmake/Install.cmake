# cmake --install: where everything goes (GNUInstallDirs), in three components:
#   runtime  the host, the library and the tools
#   sdk      the public headers, the library's development link and the CMake
#            package (find_package(orv CONFIG) gives orv::orv)
#   peers    the reference peers (interface module, policy module, the
#            desktop stand-in): test and demo material, installed only when
#            asked for (cmake --install BUILD --component peers)
include(CMakePackageConfigHelpers)

if(WIN32)
  # Everything that loads orv.dll lies beside it, so that it runs from any folder.
  set(ORV_INSTALL_HOSTDIR ${CMAKE_INSTALL_BINDIR})
  set(ORV_INSTALL_PEERSDIR ${CMAKE_INSTALL_BINDIR})
else()
  set(ORV_INSTALL_HOSTDIR ${CMAKE_INSTALL_LIBEXECDIR}/orv)
  set(ORV_INSTALL_PEERSDIR ${CMAKE_INSTALL_LIBDIR}/orv/peers)
endif()
set(ORV_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/orv)

# orv_install_program(TARGET DESTINATION COMPONENT [EXCLUDE_FROM_ALL]): an
# executable or module that finds the installed library from where it lies.
# (ORV_INSTALLED_PROGRAMS lists them, for the packages' build.)
function(orv_install_program target destination component)
  set_property(GLOBAL APPEND PROPERTY ORV_INSTALLED_PROGRAMS ${target})
  if(NOT WIN32)
    file(RELATIVE_PATH to_lib /${destination} /${CMAKE_INSTALL_LIBDIR})
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${to_lib}")
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${destination} COMPONENT ${component} ${ARGN}
                            LIBRARY DESTINATION ${destination} COMPONENT ${component} ${ARGN})
endfunction()

install(TARGETS orv EXPORT orvTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT sdk
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT sdk)

orv_install_program(pwm_chrome_extension_host ${ORV_INSTALL_HOSTDIR} runtime)

# Every executable of tools/ (each subfolder is one tool) goes into bin/.
get_property(ORV_TOOL_DIRS DIRECTORY ${PROJECT_SOURCE_DIR}/tools PROPERTY SUBDIRECTORIES)
foreach(dir ${ORV_TOOL_DIRS})
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      orv_install_program(${target} ${CMAKE_INSTALL_BINDIR} runtime)
    endif()
  endforeach()
endforeach()

foreach(peer orvpwm_interface orvpwm_policy password_manager)
  orv_install_program(${peer} ${ORV_INSTALL_PEERSDIR} peers EXCLUDE_FROM_ALL)
endforeach()

# The public headers, in one folder: they name each other without a path.
file(GLOB ORV_PUBLIC_HEADERS ${PROJECT_SOURCE_DIR}/orv/include/*.h)
install(FILES ${ORV_PUBLIC_HEADERS} ${PROJECT_SOURCE_DIR}/platform/include/orv_win32.h
        ${PROJECT_SOURCE_DIR}/platform/include/orv_api.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orv COMPONENT sdk)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/include/orv_platform
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orv COMPONENT sdk)
if(NOT WIN32)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/include/orv_posix
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orv COMPONENT sdk)
endif()

install(EXPORT orvTargets NAMESPACE orv:: DESTINATION ${ORV_INSTALL_CMAKEDIR} COMPONENT sdk)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/orvConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/orvConfig.cmake INSTALL_DESTINATION ${ORV_INSTALL_CMAKEDIR})
# A module works with every library of its major version (the soname's number).
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/orvConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/orvConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/orvConfigVersion.cmake
        DESTINATION ${ORV_INSTALL_CMAKEDIR} COMPONENT sdk)
