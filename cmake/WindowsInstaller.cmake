# The Windows installer (NSIS): `cmake --build BUILD --target windows_installer`
# writes BUILD/installer/<name>.exe from this tree's runtime component, made by
# packaging/windows/build-installer, which tests also call directly with an
# origin of their own. makensis comes from Debian's nsis package.
# The origins are ORV_EXTENSION_ORIGINS, split and checked by Package.cmake
# (included first) for every package format.
set(ORV_INSTALLER_FILE
    ${CMAKE_BINARY_DIR}/installer/halvik-password-manager-browser-host-${PROJECT_VERSION}-win64-setup.exe)

add_custom_target(windows_installer
  COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/windows/build-installer ${CMAKE_BINARY_DIR} ${PROJECT_VERSION}
          ${ORV_INSTALLER_FILE} ${ORV_PACKAGE_ORIGINS}
  COMMENT "Making the Windows installer"
  VERBATIM)
# What the runtime component installs must be built first.
add_dependencies(windows_installer orv pwm_chrome_extension_host)
foreach(dir ${ORV_TOOL_DIRS})
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  add_dependencies(windows_installer ${targets})
endforeach()
