# Installing and the release archives: `cmake --install` and `cpack` from the same description.
# Linux: the program, the man page, the README and the sample drop files under the usual prefix
# (bin/, share/man/man1/, share/doc/zorvan32/); the .tar.gz adds Synchronet's install-xtrn.ini at
# its top. Windows: one folder with zorvan32.exe beside its documents, zipped.
include(GNUInstallDirs)

if(WIN32)
  set(zorvan_bin_dir .)
  set(zorvan_doc_dir .)
else()
  set(zorvan_bin_dir ${CMAKE_INSTALL_BINDIR})
  set(zorvan_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/zorvan32)
endif()

install(TARGETS zorvan32 RUNTIME DESTINATION ${zorvan_bin_dir} COMPONENT program)
if(NOT WIN32)  # the web console, which `zorvan32 serve` finds at ../lib/zorvan32/ from bin/
  install(TARGETS zorvan32-serve RUNTIME DESTINATION lib/zorvan32 COMPONENT program)
endif()
install(FILES README.md DESTINATION ${zorvan_doc_dir} COMPONENT program)
install(DIRECTORY examples/dropfiles DESTINATION ${zorvan_doc_dir}/examples COMPONENT program)
install(FILES dist/SETUP-WWIV.txt dist/SETUP-MYSTIC.txt dist/SETUP-ENIGMA.txt
        DESTINATION ${zorvan_doc_dir} COMPONENT program)

if(NOT WIN32)
  # The man page carries the project's version; Debian wants man pages and changelogs compressed.
  configure_file(docs/zorvan32.1.in ${CMAKE_BINARY_DIR}/zorvan32.1 @ONLY)
  set(zorvan_compressed ${CMAKE_BINARY_DIR}/zorvan32.1.gz ${CMAKE_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${zorvan_compressed}
                     COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/zorvan32.1 > ${CMAKE_BINARY_DIR}/zorvan32.1.gz
                     COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/dist/debian/changelog
                             > ${CMAKE_BINARY_DIR}/changelog.gz
                     DEPENDS ${CMAKE_BINARY_DIR}/zorvan32.1 dist/debian/changelog
                     WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  add_custom_target(zorvan_docs ALL DEPENDS ${zorvan_compressed})
  install(FILES ${CMAKE_BINARY_DIR}/zorvan32.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT program)
  install(FILES ${CMAKE_BINARY_DIR}/changelog.gz dist/debian/copyright DESTINATION ${zorvan_doc_dir}
          COMPONENT program)
  install(FILES dist/install-xtrn.ini DESTINATION . COMPONENT synchronet EXCLUDE_FROM_ALL)
endif()

set(CPACK_PACKAGE_NAME zorvan32)
set(CPACK_PACKAGE_VENDOR "the Zorvan/32 developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sysop's player editor for the Varn BBS door game")
set(CPACK_PACKAGE_CONTACT "Zorvan/32 developers <sysop@zorvan32.invalid>")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_SYSTEM_NAME linux-x86_64)
  set(CPACK_COMPONENTS_ALL program synchronet)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package_per_generator.cmake)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Edits the players of a Varn game at the console or as a BBS door (telnet
socket, serial port, standard input and output, WINServer), repairs bad
statistics, runs a new day for a player, marries and divorces players, and
journals every change with undo. Command words give scripts the same reads
and changes, with JSON.")
endif()
include(CPack)
