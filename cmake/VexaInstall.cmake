# Install layout: shared libraries in the library folder, their headers under include/vexa, and
# the program folder (programs, plug-ins, settings and catalogs, as the build tree lays them
# out) in <libdir>/vexa, with the programs linked into bin/.
set(VEXA_INSTALL_APPDIR ${CMAKE_INSTALL_LIBDIR}/vexa)
set(VEXA_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/vexa)
set(CMAKE_INSTALL_RPATH "$ORIGIN:$ORIGIN/..:$ORIGIN/../..")

# vexa_install_library(<target> DESCRIPTION <text>)
# Installs a public shared library with its PUBLIC_HEADER and a pkg-config file named after it
# in lower case, and adds it to the exported CMake package (find_package(Vexa) -> Vexa::<target>).
function(vexa_install_library target)
  cmake_parse_arguments(L "" "DESCRIPTION" "" ${ARGN})
  set_property(GLOBAL PROPERTY VEXA_HAS_EXPORTS ON)
  install(TARGETS ${target} EXPORT VexaTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
    PUBLIC_HEADER DESTINATION ${VEXA_INSTALL_INCLUDEDIR} COMPONENT dev)
  string(TOLOWER ${target} pcname)
  # Relative to the .pc file, so that an install moved to another prefix still resolves.
  file(RELATIVE_PATH VEXA_PC_PREFIX_REL "/p/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/p")
  set(VEXA_PC_NAME ${target})
  set(VEXA_PC_DESCRIPTION "${L_DESCRIPTION}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/vexa-library.pc.in ${CMAKE_BINARY_DIR}/pkgconfig/${pcname}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/pkgconfig/${pcname}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endfunction()

# vexa_install_program(<target> [COMPONENT <c>]): into the program folder, linked from bin/.
# Components are the packages: runtime (libraries, plug-ins), dev, tools, workbench.
function(vexa_install_program target)
  cmake_parse_arguments(P "" "COMPONENT" "" ${ARGN})
  if(NOT P_COMPONENT)
    set(P_COMPONENT runtime)
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${VEXA_INSTALL_APPDIR} COMPONENT ${P_COMPONENT})
  install(CODE "
    set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${_bin}\")
    file(RELATIVE_PATH _rel \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\" \"\${CMAKE_INSTALL_PREFIX}/${VEXA_INSTALL_APPDIR}/${target}\")
    file(CREATE_LINK \"\${_rel}\" \"\${_bin}/${target}\" SYMBOLIC)
  " COMPONENT ${P_COMPONENT})
endfunction()
