# Packages made with CPack: a Debian package on Linux, a zip for Windows.
#   cpack -G DEB   (in a native build)    cpack -G ZIP   (in the MinGW build)

set(CPACK_PACKAGE_NAME divro)
set(CPACK_PACKAGE_VENDOR "divro developers")
set(CPACK_PACKAGE_CONTACT "divro developers <dev@divro.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "divide a file into numbered pieces and join them back")
set(CPACK_PACKAGE_DESCRIPTION
    "divro cuts a file into pieces of a fixed size named NAME.EXT.001, .002, ...
(then .aaa to .zzz) and joins them back. It also writes batch files that join
the pieces with the Windows command processor. Its messages are Japanese.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # Windows users unpack the zip and find the program and the README side by
  # side, not under bin/. These rules serve the zip only: a plain
  # `cmake --install` keeps the usual layout.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME divro-${PROJECT_VERSION}-win64)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL windows_zip)
  install(TARGETS divro RUNTIME DESTINATION . COMPONENT windows_zip EXCLUDE_FROM_ALL)
  if(EXISTS ${PROJECT_SOURCE_DIR}/README.md)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .
            COMPONENT windows_zip EXCLUDE_FROM_ALL)
  else()
    message(WARNING "README.md is missing: the Windows zip will lack it")
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "divro developers <dev@divro.invalid>")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  find_program(DIVRO_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(DIVRO_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    # What a g++ build of a C++ program needs at the least.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
  endif()
endif()

include(CPack)
