# The CMake package (find_package(Vexa)), the udev rule for the USB coupler, and CPack .deb.
include(CMakePackageConfigHelpers)
set(VEXA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vexa)
get_property(_vexa_has_exports GLOBAL PROPERTY VEXA_HAS_EXPORTS)
if(_vexa_has_exports)  # a build with every library left out has nothing to export
  install(EXPORT VexaTargets NAMESPACE Vexa:: DESTINATION ${VEXA_CMAKE_DIR} COMPONENT dev)
endif()
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VexaConfig.cmake.in
  ${CMAKE_BINARY_DIR}/VexaConfig.cmake INSTALL_DESTINATION ${VEXA_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VexaConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VexaConfig.cmake ${CMAKE_BINARY_DIR}/VexaConfigVersion.cmake
  DESTINATION ${VEXA_CMAKE_DIR} COMPONENT dev)

# Lets a logged-in user open the USB coupler without root.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/60-vexa-usb.rules DESTINATION lib/udev/rules.d COMPONENT runtime)

# Four Debian packages, as a Debian user expects them: libvexa0 (the libraries and boot
# plug-ins), libvexa-dev (headers, pkg-config and CMake files), vexa-tools (vexactl, vexa-sim) and
# vexadesk (the workbench, with its menu entry). Binaries are stripped; no debug package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexa)
set(CPACK_PACKAGE_VENDOR "VEXA tool-set developers")
set(CPACK_PACKAGE_CONTACT "VEXA tool-set maintainers <maintainers@vexa-toolset.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "VEXA tool-set maintainers <maintainers@vexa-toolset.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev tools workbench)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vexa-toolset.org")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libvexa0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "VEXA distributed I/O libraries\n The device access, Modbus master and firmware upgrade libraries\n and the boot plug-ins.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libvexa-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION "VEXA distributed I/O libraries: development files\n Headers, pkg-config files and the CMake package\n (find_package(Vexa)).")
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME vexa-tools)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "VEXA distributed I/O: command-line tool and simulated rack\n vexactl drives couplers and sub modules from the shell;\n vexa-sim simulates a rack.")
set(CPACK_DEBIAN_WORKBENCH_PACKAGE_NAME vexadesk)
set(CPACK_COMPONENT_WORKBENCH_DESCRIPTION "VEXA distributed I/O workbench\n VexaDesk searches, configures, backs up and upgrades couplers\n and their modules.")
set(CPACK_DEBIAN_WORKBENCH_PACKAGE_SECTION electronics)
# The packages of one build belong together.
set(_vexa_lib "libvexa0 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${_vexa_lib}")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${_vexa_lib}")
set(CPACK_DEBIAN_WORKBENCH_PACKAGE_DEPENDS "${_vexa_lib}")
# Shared libraries: a shlibs file, and ldconfig run on install. The udev rule takes effect
# without a reboot.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
configure_file(${PROJECT_SOURCE_DIR}/packaging/postinst ${CMAKE_BINARY_DIR}/packaging/postinst COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/triggers ${CMAKE_BINARY_DIR}/packaging/triggers COPYONLY)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/postinst ${CMAKE_BINARY_DIR}/packaging/triggers)

# Every package carries the copyright file and the changelog where Debian looks for them.
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/packaging/changelog)
foreach(_vexa_component runtime dev tools workbench)
  string(TOUPPER ${_vexa_component} _up)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${_up}_PACKAGE_NAME} COMPONENT ${_vexa_component})
endforeach()
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
configure_file(${PROJECT_SOURCE_DIR}/packaging/CPackProject.cmake.in ${CMAKE_BINARY_DIR}/packaging/CPackProject.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/packaging/CPackProject.cmake)
include(CPack)
