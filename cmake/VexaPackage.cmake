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

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexa-toolset)
set(CPACK_PACKAGE_VENDOR "VEXA tool-set developers")
set(CPACK_PACKAGE_CONTACT "VEXA tool-set developers <devel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
include(CPack)
