# What the install step puts where, and the packages CPack makes of it:
#   Linux:   softlist2dat_VERSION_ARCH.deb (cpack -G DEB): the binary in
#            /usr/bin, the manual page, the copyright file and the changelog
#            in Debian's places and forms.
#   Windows: softlist2dat-VERSION-win64.zip or -win32.zip (cpack -G ZIP): the
#            .exe, README.txt, LICENSE.txt and the manual as plain text.

set(CPACK_PACKAGE_NAME softlist2dat)
set(CPACK_PACKAGE_VENDOR "the softlist2dat authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn MESS software lists into one ClrMamePro DAT")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(generated "${PROJECT_BINARY_DIR}/packaging")
file(MAKE_DIRECTORY "${generated}")

if(WIN32)
  # Text files as Windows editors expect them: CR LF line ends.
  function(windows_text source target)
    file(READ "${source}" text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE "${target}" "${text}")
  endfunction()
  windows_text("${PROJECT_SOURCE_DIR}/README.md" "${generated}/README.txt")
  windows_text("${PROJECT_SOURCE_DIR}/LICENSE" "${generated}/LICENSE.txt")
  # The manual as plain text needs groff (Debian's groff-base); without it the
  # zip goes without the manual, and the package check says so.
  find_program(GROFF groff)
  if(GROFF)
    execute_process(COMMAND "${GROFF}" -man -Tascii -P-cbou "${PROJECT_SOURCE_DIR}/softlist2dat.1"
                    OUTPUT_FILE "${generated}/manual.txt" COMMAND_ERROR_IS_FATAL ANY)
    windows_text("${generated}/manual.txt" "${generated}/softlist2dat.txt")
    install(FILES "${generated}/softlist2dat.txt" DESTINATION .)
  else()
    message(WARNING "groff not found: the Windows zip will not hold the manual (softlist2dat.txt)")
  endif()

  install(TARGETS softlist2dat RUNTIME DESTINATION .)
  install(FILES "${generated}/README.txt" "${generated}/LICENSE.txt" DESTINATION .)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME "softlist2dat-${PROJECT_VERSION}-win64")
  else()
    set(CPACK_PACKAGE_FILE_NAME "softlist2dat-${PROJECT_VERSION}-win32")
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  include(GNUInstallDirs)
  # Debian keeps manual pages and changelogs compressed, without time stamps.
  find_program(GZIP gzip REQUIRED)
  add_custom_command(OUTPUT "${generated}/softlist2dat.1.gz"
                     COMMAND "${GZIP}" -9n -c "${PROJECT_SOURCE_DIR}/softlist2dat.1" > "${generated}/softlist2dat.1.gz"
                     DEPENDS "${PROJECT_SOURCE_DIR}/softlist2dat.1")
  add_custom_command(OUTPUT "${generated}/changelog.gz"
                     COMMAND "${GZIP}" -9n -c "${PROJECT_SOURCE_DIR}/packaging/changelog" > "${generated}/changelog.gz"
                     DEPENDS "${PROJECT_SOURCE_DIR}/packaging/changelog")
  add_custom_target(compressed_docs ALL DEPENDS "${generated}/softlist2dat.1.gz" "${generated}/changelog.gz")

  # The licence in Debian's machine-readable copyright format.
  file(READ "${PROJECT_SOURCE_DIR}/LICENSE" licence)
  string(REGEX REPLACE "^MIT License\n\nCopyright[^\n]*\n\n" "" licence "${licence}")
  string(REGEX REPLACE "\n$" "" licence "${licence}")
  string(REPLACE "\n\n" "\n.\n" licence "${licence}")
  string(REPLACE "\n" "\n " licence "${licence}")
  file(WRITE "${generated}/copyright"
       "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       "Upstream-Name: softlist2dat\n\n"
       "Files: *\n"
       "Copyright: 2026 the softlist2dat authors\n"
       "License: Expat\n ${licence}\n")

  install(TARGETS softlist2dat RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES "${generated}/softlist2dat.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES "${generated}/copyright" "${generated}/changelog.gz" DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "softlist2dat authors <softlist2dat@example.org>")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The synopsis is the summary above; this is the paragraph below it.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
         "softlist2dat reads the software lists of the MESS emulator (the XML files\n"
         "of MAME's hash directory, one list of titles per file, each title with its\n"
         "ROM images and their hashes) and writes one DAT file in the ClrMamePro text\n"
         "format, which ROM managers read to check and rebuild a collection.")
endif()

include(CPack)
