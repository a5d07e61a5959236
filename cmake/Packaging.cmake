# The Debian package: cpack -G DEB in a Release build without sanitizers (scripts/package.sh). Its
# dependencies are the runtime packages of the libraries the programs link, found by
# dpkg-shlibdeps, so a library a folder starts to link needs no entry here.
set(SORVELLE_PACKAGE_MAINTAINER "Sorvelle developers <sorvelle@example.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sorvelle)
set(CPACK_PACKAGE_VENDOR Sorvelle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor that binds the lines of a text to segments of a recording")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Sorvelle is a desktop authoring tool for read-along and language-learning\n\
material. It opens a plain-text file with its MP3 recording, draws the\n\
recording as a waveform, and binds a segment of the recording and up to five\n\
pictures to each line of the text. sorvelle-cli checks projects and exports\n\
them as subtitles, label tracks or data.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${SORVELLE_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
