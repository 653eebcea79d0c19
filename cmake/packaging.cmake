# Install rules and packages: a .deb from the Linux build, a .zip from the
# Windows build ("cpack" in the build folder). scripts/package.sh builds and
# checks both. The manual comes from the target "manual" of docs/ when that
# target exists.
include(GNUInstallDirs)

set(RAV_PACKAGE_MAINTAINER
    "RaVerAzariduVivi developers <raverazariduvivi@example.org>"
    CACHE STRING "Maintainer named in the Linux package")
set(RAV_PKG_DIR ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${RAV_PKG_DIR})
if(TARGET manual)
  get_target_property(RAV_MANUAL_DIR manual BINARY_DIR)
endif()

if(RAV_WINDOWS)
  # The zip unpacks to one folder that runs from anywhere: the program, the
  # manual as CP932 text for Notepad and as UTF-8, and the sample store.
  install(TARGETS RaVerAzariduVivi RUNTIME DESTINATION .)
  # Its registry.reg is the Linux stand-in for the registry: left out.
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/sample/store DESTINATION sample
          PATTERN registry.reg EXCLUDE)
  add_custom_target(rav_package_docs ALL)
  if(TARGET manual)
    install(FILES ${RAV_MANUAL_DIR}/manual-utf8.txt DESTINATION .)
    # docs/ makes the CP932 text only where it finds iconv.
    install(FILES ${RAV_MANUAL_DIR}/manual.txt DESTINATION . OPTIONAL)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win64)
else()
  set(RAV_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/raverazariduvivi)
  set(RAV_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/raverazariduvivi)
  install(TARGETS RaVerAzariduVivi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Debian's commands are lower case; the link lets both names run.
  file(CREATE_LINK RaVerAzariduVivi ${RAV_PKG_DIR}/raverazariduvivi SYMBOLIC)
  install(FILES ${RAV_PKG_DIR}/raverazariduvivi
          DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/sample/store
          DESTINATION ${RAV_SHARE_DIR}/sample)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/registry.reg.example
          DESTINATION ${RAV_SHARE_DIR})
  # The tool reads this path when RAVERAZARIDUVIVI_REGISTRY is unset, so it
  # is absolute; the example installed there is all comments and names no
  # installation until the administrator edits it.
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/registry.reg.example
          DESTINATION /etc/raverazariduvivi RENAME registry.reg)
  # A conffile: an upgrade keeps the administrator's edits.
  file(WRITE ${RAV_PKG_DIR}/conffiles "/etc/raverazariduvivi/registry.reg\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${RAV_PKG_DIR}/conffiles)

  set(RAV_DEB_NAME raverazariduvivi)
  set(RAV_DEB_RELEASE 1)
  set(RAV_DEB_VERSION ${PROJECT_VERSION}-${RAV_DEB_RELEASE})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in
                 ${RAV_PKG_DIR}/changelog.Debian @ONLY)
  # gzip -n: no name or time stamp, so the package builds reproducibly.
  set(RAV_GZ_OUTPUTS ${RAV_PKG_DIR}/changelog.Debian.gz)
  add_custom_command(
    OUTPUT ${RAV_PKG_DIR}/changelog.Debian.gz
    COMMAND gzip -9n -c changelog.Debian > changelog.Debian.gz
    DEPENDS ${RAV_PKG_DIR}/changelog.Debian
    WORKING_DIRECTORY ${RAV_PKG_DIR} VERBATIM)
  install(FILES ${RAV_PKG_DIR}/changelog.Debian.gz
                ${PROJECT_SOURCE_DIR}/packaging/copyright
          DESTINATION ${RAV_DOC_DIR})
  if(TARGET manual)
    list(APPEND RAV_GZ_OUTPUTS ${RAV_PKG_DIR}/RaVerAzariduVivi.1.gz)
    add_custom_command(
      OUTPUT ${RAV_PKG_DIR}/RaVerAzariduVivi.1.gz
      COMMAND gzip -9n -c ${RAV_MANUAL_DIR}/RaVerAzariduVivi.1 >
              RaVerAzariduVivi.1.gz
      DEPENDS ${RAV_MANUAL_DIR}/RaVerAzariduVivi.1
      WORKING_DIRECTORY ${RAV_PKG_DIR} VERBATIM)
    file(CREATE_LINK RaVerAzariduVivi.1.gz ${RAV_PKG_DIR}/raverazariduvivi.1.gz
         SYMBOLIC)
    install(FILES ${RAV_PKG_DIR}/RaVerAzariduVivi.1.gz
                  ${RAV_PKG_DIR}/raverazariduvivi.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  add_custom_target(rav_package_docs ALL DEPENDS ${RAV_GZ_OUTPUTS})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_NAME ${RAV_DEB_NAME})
  set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_DEBIAN_PACKAGE_RELEASE ${RAV_DEB_RELEASE})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${RAV_PACKAGE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "bulk editor of Tenbo cabinet access rights
The administrators' console tool for the Tenbo document-management system:
it grants, narrows or removes a user's access to cabinets in bulk, carries a
user over to a new name, copies one cabinet's access lists to another,
cleans out unregistered users, resets cabinets and reports access. Every run
leaves a result file; /whatif previews a run and /undo takes one back.")
endif()

# The packed files of the manual are made before the install step needs them.
if(TARGET manual)
  add_dependencies(rav_package_docs manual)
endif()

set(CPACK_PACKAGE_VENDOR "RaVerAzariduVivi developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The debug information stays in the build folder.
set(CPACK_STRIP_FILES ON)
include(CPack)
