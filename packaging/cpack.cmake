# CPack: one Debian package, impedix_<version>_<arch>.deb, with its library dependencies found by
# dpkg-shlibdeps. Qt loads its platform plugin at run time, which no linker records: that
# package is named by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME impedix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Impedix developers")
set(CPACK_PACKAGE_CONTACT "Impedix developers <impedix@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front end for bench impedance (LCR) meters")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Impedix drives a bench impedance (LCR) meter on a serial port: it finds the\n"
  "meter, sets its test conditions, polls it every 40 ms and shows C, L, R, G, B,\n"
  "X, Z, Y, D, Q and the phase angles in the series or parallel equivalent\n"
  "circuit. It records every measurement to a CSV file on request and lists the\n"
  "serial ports with their access rights.\n"
  "impedix-cli measures and sweeps from scripts and shells, without a display.\n"
  "The package also holds impedix-sim, a simulated meter on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
# The window is laid out for DejaVu Sans and its condensed cut.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-dejavu-extra, qt6-translations-l10n")

include(CPack)
