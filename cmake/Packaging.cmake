# Packages made with CPack: a Debian package and an RPM on Linux, a zip for
# Windows users.
#   cpack -G DEB, cpack -G RPM   (in a native build)
#   cpack -G ZIP                 (in the MinGW build)
# Every package carries the project's version and the MIT licence.

set(CPACK_PACKAGE_NAME divro)
set(CPACK_PACKAGE_VENDOR "divro developers")
set(CPACK_PACKAGE_CONTACT "divro developers <dev@divro.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "divide a file into numbered pieces and join them back")
set(CPACK_PACKAGE_DESCRIPTION
    "divro cuts a file into pieces of a fixed size named NAME.EXT.001, .002, ...
(then .aaa to .zzz) and joins them back. It also writes batch files that join
the pieces with the Windows command processor. Its messages follow the
locale: Japanese under a Japanese locale, English otherwise.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/packaging/changelog)

if(WIN32)
  # Windows users unpack the zip and find the program, the licence and a
  # README for them (code page 932, CRLF, as Notepad reads it) side by side,
  # not under bin/. These rules serve the zip only: a plain `cmake --install`
  # keeps the usual layout.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME divro-${PROJECT_VERSION}-win64)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL windows_zip)
  set(zip_dir ${PROJECT_BINARY_DIR}/windows_zip)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${zip_dir}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(readme ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt)
  add_custom_command(OUTPUT ${zip_dir}/README.txt
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/windows_text.py
            ${readme} ${zip_dir}/README.txt
    DEPENDS ${readme} ${PROJECT_SOURCE_DIR}/tools/windows_text.py VERBATIM)
  add_custom_target(divro_windows_readme ALL DEPENDS ${zip_dir}/README.txt)
  install(TARGETS divro RUNTIME DESTINATION . COMPONENT windows_zip EXCLUDE_FROM_ALL)
  install(FILES ${zip_dir}/LICENSE.txt ${zip_dir}/README.txt DESTINATION .
          COMPONENT windows_zip EXCLUDE_FROM_ALL)
else()
  # The licence in Debian's machine-readable copyright format, made from
  # LICENSE so that the two never differ; the changelog compressed as the
  # manual pages are.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" copyright_line "${licence}")
  set(DIVRO_COPYRIGHT "${CMAKE_MATCH_1}")
  string(FIND "${licence}" "Permission" body_start)
  string(SUBSTRING "${licence}" ${body_start} -1 body)
  string(STRIP "${body}" body)
  string(REPLACE "\n\n" "\n.\n" body "${body}")
  string(REPLACE "\n" "\n " DIVRO_LICENSE_BODY " ${body}")
  set(doc_dir ${PROJECT_BINARY_DIR}/doc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${doc_dir}/copyright @ONLY)

  # The changelog's newest entry must be the version being packaged.
  file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog newest LIMIT_COUNT 1)
  if(NOT newest MATCHES "^divro \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog: the newest entry is not ${PROJECT_VERSION}")
  endif()
  set(changelog ${PROJECT_SOURCE_DIR}/packaging/changelog)
  if(DIVRO_GZIP)
    add_custom_command(OUTPUT ${doc_dir}/changelog.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${changelog} ${doc_dir}/changelog
      COMMAND ${DIVRO_GZIP} -n -9 -f ${doc_dir}/changelog
      DEPENDS ${changelog} VERBATIM)
    add_custom_target(divro_changelog ALL DEPENDS ${doc_dir}/changelog.gz)
    install(FILES ${doc_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
  else()
    install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
  endif()
  install(FILES ${doc_dir}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # Debian: a version without a Debian revision makes a native package,
  # whose changelog is changelog.gz.
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
    # What the program links dynamically (the C++ runtime is linked in):
    # the C library, and libcrypto for its hashes.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libssl3")
  endif()

  # RPM, where rpmbuild is there to make it.
  find_program(DIVRO_RPMBUILD rpmbuild)
  if(DIVRO_RPMBUILD)
    list(APPEND CPACK_GENERATOR RPM)
  endif()
  set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
  set(CPACK_RPM_PACKAGE_RELEASE 1)
  set(CPACK_RPM_PACKAGE_LICENSE MIT)
  set(CPACK_RPM_PACKAGE_GROUP "Applications/File")
  set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
  # The manual's and bash-completion's folders belong to the system, not to
  # divro; so would the /usr/lib/.build-id links that rpmbuild adds by default.
  set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
      /usr/share/man /usr/share/man/man1 /usr/share/man/ja /usr/share/man/ja/man1
      /usr/share/bash-completion /usr/share/bash-completion/completions /usr/share/licenses)
  # RPM distributions keep the licence text under /usr/share/licenses,
  # marked as the licence (rpm -qL). Debian does not: its copyright file
  # holds it, and lintian calls another licence file redundant. So CPack
  # adds LICENSE while it stages the RPM only.
  set(rpm_licence ${PROJECT_BINARY_DIR}/rpm_licence.cmake)
  file(WRITE ${rpm_licence}
    "file(COPY \"${PROJECT_SOURCE_DIR}/LICENSE\"\n"
    "  DESTINATION \"\${CPACK_TEMPORARY_DIRECTORY}/usr/share/licenses/divro\"\n"
    "  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)\n")
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackGenerators.cmake)
  file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
    "if(CPACK_GENERATOR STREQUAL \"RPM\")\n"
    "  set(CPACK_INSTALL_SCRIPTS \"${rpm_licence}\")\n"
    "endif()\n")
  set(CPACK_RPM_USER_FILELIST "%license /usr/share/licenses/divro/LICENSE")
  set(CPACK_RPM_SPEC_MORE_DEFINE "%define _build_id_links none")
endif()

include(CPack)
