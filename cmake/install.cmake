# The instrument's installed tree and its Debian package:
#   /usr/bin/vemla8, /usr/bin/vemla8-logview
#   /usr/share/vemla/resources/   shipped settings, the link file, the licence list and texts
#   /usr/share/vemla/logs/production/   empty: the program writes run logs into it but does not
#                                        create it
#   /usr/lib/systemd/system/vemla8.service
# The program's paths are absolute (/usr/share/vemla), so the prefix is /usr whatever the
# CMake default; `cmake --install` with DESTDIR lays the tree under another root.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Installation prefix: the instrument's /usr" FORCE)
endif()
include(GNUInstallDirs)

set(VEMLA_DATA share/vemla)
install(TARGETS vemla8 vemla8-logview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES
    resources/vemla/default_pressure_settings.inc
    resources/vemla/pressure_settings.inc
    resources/vemla/epc_config.inc
    resources/vemla/Korvand_Licenses.txt
    DESTINATION ${VEMLA_DATA}/resources)
install(DIRECTORY resources/vemla/licenses/ DESTINATION ${VEMLA_DATA}/resources/licenses)
install(DIRECTORY DESTINATION ${VEMLA_DATA}/logs/production)
install(FILES packaging/vemla8.service DESTINATION lib/systemd/system)
install(FILES packaging/copyright packaging/epc_config.md
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Debian keeps manual pages and changelogs compressed, without a time stamp in the gzip header
# (-n), so that the same sources give the same package.
set(VEMLA_GZIPPED)
foreach(file vemla8.1 vemla8-logview.1 changelog)
    set(gzipped ${CMAKE_BINARY_DIR}/packaging/${file}.gz)
    add_custom_command(OUTPUT ${gzipped}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/packaging/${file}
                ${CMAKE_BINARY_DIR}/packaging/${file}
        COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/packaging/${file}
        DEPENDS ${CMAKE_SOURCE_DIR}/packaging/${file} VERBATIM)
    list(APPEND VEMLA_GZIPPED ${gzipped})
endforeach()
add_custom_target(packaging_docs ALL DEPENDS ${VEMLA_GZIPPED})
install(FILES ${CMAKE_BINARY_DIR}/packaging/vemla8.1.gz ${CMAKE_BINARY_DIR}/packaging/vemla8-logview.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
# What lintian reports of the package and is so by design, each with its reason.
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME vemla8)

# Debian package. Built for the architecture of the compiler: arm64 from the cross build.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vemla8)
set(CPACK_PACKAGE_VENDOR "Korvand ApS")
set(CPACK_PACKAGE_CONTACT "Korvand ApS service <service@korvand.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Vemla 8 droplet generator control program")
# Debian's description lines stay under 80 columns: broken here by hand.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Touch-screen control program of the Vemla 8 droplet generator, with its
settings files, licence texts, the systemd unit that runs it on the
instrument's display and vemla8-logview, the service tool for exported run
and error logs.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The board gets the programs without their debugging sections (a tenth of the size).
set(CPACK_STRIP_FILES ON)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
# The Qt libraries by name, at least the version built against; the test package/depends
# holds this list against what dpkg-shlibdeps finds the two programs need. fonts-open-sans gives any
# text Qt draws outside the window's style (fallback glyphs, the splash message) the face
# the program compiles in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.36), libstdc++6 (>= 12), libgcc-s1 (>= 3.0), libqt5core5a (>= ${Qt5Core_VERSION}), \
libqt5gui5 (>= ${Qt5Core_VERSION}), libqt5widgets5 (>= ${Qt5Core_VERSION}), \
libqt5network5 (>= ${Qt5Core_VERSION}), fonts-open-sans, systemd")
# The pressure settings and the link file are changed on the instrument (the pressure
# editor, service): as conffiles they survive an upgrade.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/conffiles ${CMAKE_SOURCE_DIR}/packaging/postinst
    ${CMAKE_SOURCE_DIR}/packaging/prerm ${CMAKE_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# The package's checks run in the board's build, on the package it makes.
if(CMAKE_CROSSCOMPILING)
    include(${CMAKE_CURRENT_LIST_DIR}/packagechecks.cmake)
endif()
