# The Debian package: `cpack -G DEB` in the build folder. It takes every
# install() rule of the project (one component), so whatever the folders
# install (programs, desktop entry, icon, manual, example, metainfo,
# translations) goes into the one package.

# The metainfo's release carries the project's version.
configure_file(${PROJECT_SOURCE_DIR}/packaging/com.brightfold.Zittermark.metainfo.xml
               ${PROJECT_BINARY_DIR}/packaging/com.brightfold.Zittermark.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/com.brightfold.Zittermark.metainfo.xml
        DESTINATION share/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/zittermark)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zittermark)
set(CPACK_PACKAGE_VENDOR Brightfold)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fluctuation spectrum of recorded music")
set(CPACK_PACKAGE_DESCRIPTION
    "Zittermark cuts a recording into short windows, reduces each to its pitch or
its loudness, and fits a line to the power spectrum of that series on log-log
axes. It reports lambda, the negated slope of the line: 0 for white
fluctuation, 1 for 1/f fluctuation, 2 for Brownian. A desktop application and
the command-line program zittermark-cli.")
set(CPACK_PACKAGE_CONTACT "Zittermark developers <zittermark@brightfold.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

# The libraries come from the programs' own links where dpkg-shlibdeps can
# read them; the graph font is opened by name at run time, so no link shows
# it and it is named here.
set(ZM_PACKAGE_DEPENDS "fonts-ipafont-gothic")
find_program(ZM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ZM_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    string(APPEND ZM_PACKAGE_DEPENDS
           ", libqt6widgets6 (>= 6.4), libqt6network6 (>= 6.4), libqt6gui6 (>= 6.4),"
           " libqt6core6 (>= 6.4), libsndfile1 (>= 1.1), libpng16-16, libfreetype6,"
           " libfontconfig1, zlib1g")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${ZM_PACKAGE_DEPENDS}")
# The pitch sampler opens aubio when it is asked for; the rest runs without.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libaubio5")

include(CPack)
