# Packages made by cpack (./scripts/package). On Linux, one Debian package per
# install component:
#   orv-pwm-host   runtime: the host, the library, the tools, and the
#                  machine-wide folders (the trust folder, the machine
#                  registry's folder)
#   liborv-dev     sdk: the headers, the CMake package, the development link
#   orv-pwm-peers  peers: the reference peers
# What only a package holds (those folders, the copyright and changelog,
# binaries without RPATH, the maintainer scripts) is added to CPack's staging
# by debian/stage.cmake, so that cmake --install stays as it is.
set(ORV_EXTENSION_ORIGINS "" CACHE STRING "Extension origins (chrome-extension://<id>/) the packages register the host for; empty registers none")
include(${CMAKE_CURRENT_LIST_DIR}/ExtensionOrigins.cmake)
orv_extension_origin_list(ORV_PACKAGE_ORIGINS "${ORV_EXTENSION_ORIGINS}")
orv_check_extension_origins("${ORV_PACKAGE_ORIGINS}")

# What the packages hold, built without the tests and benchmarks.
get_property(ORV_INSTALLED_PROGRAMS GLOBAL PROPERTY ORV_INSTALLED_PROGRAMS)
add_custom_target(orv_package_contents)
add_dependencies(orv_package_contents orv ${ORV_INSTALLED_PROGRAMS})

if(NOT WIN32)
  set(ORV_PACKAGE_MAINTAINER "orv maintainers <maintainers@orv.invalid>" CACHE STRING
      "Maintainer field of the Debian packages (name <address>)")
  set(ORV_DEBIAN_DIR ${CMAKE_CURRENT_LIST_DIR}/debian)

  # The changelog's newest entry is the version packaged.
  file(STRINGS ${ORV_DEBIAN_DIR}/changelog.in newest LIMIT_COUNT 1)
  if(NOT newest MATCHES "^@ORV_PACKAGE@ \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "cmake/debian/changelog.in: its first entry is not version ${PROJECT_VERSION}")
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME orv)
  set(CPACK_PACKAGE_VENDOR Halvik)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_CONTACT "${ORV_PACKAGE_MAINTAINER}")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL runtime sdk peers)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME orv-pwm-host)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION utils)
  # Programs built against liborv-dev depend on the host package of at least
  # the version they were built with (the soname carries the major).
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "native messaging host of the Halvik password manager
The host that Chromium-family browsers start for the password manager's
extension: it answers the extension's requests for a page's login with the
records the password manager keeps.
This package holds the host (in /usr/libexec/orv), its support library
liborv, the tools orvreg (the registry's command line), nmsend (a native
messaging client) and orvnm (registers the host with the browsers and tells
why it is silent), the trust folder /etc/orv/trust and the machine registry's
folder /var/lib/orv/registry.")

  set(CPACK_DEBIAN_SDK_PACKAGE_NAME liborv-dev)
  set(CPACK_DEBIAN_SDK_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_SDK_PACKAGE_DEPENDS "orv-pwm-host (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_SDK_DESCRIPTION "SDK for modules of the Halvik password manager's host
The public headers of liborv and of the password manager's module
contracts, the development link and the CMake package
(find_package(orv CONFIG) gives the target orv::orv), for building
interface and policy modules that the host loads.")

  set(CPACK_DEBIAN_PEERS_PACKAGE_NAME orv-pwm-peers)
  set(CPACK_DEBIAN_PEERS_PACKAGE_SECTION misc)
  # Built against this library; a module runs with any library of its major.
  math(EXPR next_major "${PROJECT_VERSION_MAJOR} + 1")
  set(CPACK_DEBIAN_PEERS_PACKAGE_DEPENDS "orv-pwm-host (>= ${PROJECT_VERSION}), orv-pwm-host (<< ${next_major}~)")
  set(CPACK_DEBIAN_PEERS_DESCRIPTION "reference peers of the Halvik password manager's host
Stand-ins for what the password manager itself provides, for tests and
demonstrations: an interface module keeping records in SQLite, a policy
module keeping its settings in the registry, and a stand-in for the
password manager's desktop process. Not for production use.")

  # For debian/stage.cmake, which runs when cpack has staged the components.
  set(CPACK_PRE_BUILD_SCRIPTS ${ORV_DEBIAN_DIR}/stage.cmake)
  set(CPACK_ORV_DEBIAN_DIR ${ORV_DEBIAN_DIR})
  set(CPACK_ORV_LIBDIR ${CMAKE_INSTALL_LIBDIR})
  set(CPACK_ORV_HOSTDIR ${ORV_INSTALL_HOSTDIR})
  set(CPACK_ORV_EXTENSION_ORIGINS "${ORV_PACKAGE_ORIGINS}")
  include(CPack)
endif()
