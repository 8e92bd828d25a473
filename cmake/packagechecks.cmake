# The board's Debian package checked by Debian's own tools (make test-target). The fixture
# package/deb makes the package with cpack; the checks then read it as the board would get it.
#   package/lintian              Debian's package checker: no error and no warning beyond the
#                                overrides of packaging/lintian-overrides, each with its reason
#   package/unit                 systemd-analyze verify on the installed unit
#   package/maintainer_scripts_* postinst, prerm and postrm: shellcheck, dpkg's sequences on a
#                                fake root, the calls on a running systemd
#   package/depends              Depends against what the two programs link
set(VEMLA_DEB ${CMAKE_BINARY_DIR}/${CPACK_PACKAGE_NAME}_${PROJECT_VERSION}_${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}.deb)
set(checks ${CMAKE_SOURCE_DIR}/packaging/tests)
set(work ${CMAKE_BINARY_DIR}/package-checks)

add_test(NAME package/deb COMMAND ${CMAKE_CPACK_COMMAND} -G DEB
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
set_tests_properties(package/deb PROPERTIES FIXTURES_SETUP vemla_deb TIMEOUT 300)

add_test(NAME package/lintian
    COMMAND lintian --fail-on error,warning --display-info ${VEMLA_DEB})
add_test(NAME package/unit COMMAND sh ${checks}/unit.sh ${VEMLA_DEB} ${work}/unit)
foreach(mode lint root running)
    add_test(NAME package/maintainer_scripts_${mode}
        COMMAND sh ${checks}/maintainer-scripts.sh ${mode} ${VEMLA_DEB} ${work}/scripts-${mode})
endforeach()
# Without user namespaces the running-system sequence cannot be staged: reported as skipped.
set_tests_properties(package/maintainer_scripts_running PROPERTIES SKIP_RETURN_CODE 77)
add_test(NAME package/depends
    COMMAND sh ${checks}/depends.sh ${VEMLA_DEB} ${work}/depends
            ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE} ${CMAKE_LIBRARY_ARCHITECTURE})
set_tests_properties(package/lintian package/unit package/maintainer_scripts_lint
    package/maintainer_scripts_root package/maintainer_scripts_running package/depends
    PROPERTIES FIXTURES_REQUIRED vemla_deb TIMEOUT 300)
