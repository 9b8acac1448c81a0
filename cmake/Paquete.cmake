# Desktop integration (menu entry, icon, AppStream metainfo) and the Debian package.
set(QUENZA_ID es.quenza.Quenza)
install(FILES ${PROJECT_SOURCE_DIR}/data/${QUENZA_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${QUENZA_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/data/${QUENZA_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quenza)

# Installing and packaging take what was built and never start a build themselves, so that the
# package test costs seconds on a built tree.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# One package: the program with its data and the two controls (with their headers, so that
# a host program can be built against the installed copy). Demo hosts of Tramix stay out.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quenza)
set(CPACK_PACKAGE_VENDOR Quenza)
set(CPACK_PACKAGE_CONTACT "Quenza <soporte@quenza.es>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "invoicing for shops that weigh on KV740 scales")
# CPack puts the summary first and formats the paragraphs for the control file.
set(CPACK_PACKAGE_DESCRIPTION "Quenza keeps customers, turns closed scale tickets into delivery notes
or writes them from the scale catalogue, keeps the KV740 stock in step,
invoices pending delivery notes with Spanish VAT and equivalence
surcharge, records payments and prints documents and listings. The user
interface is in Spanish.

The package also holds the Vantel communications control and the Tramix
matrix editor for other host programs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The two controls are shared libraries other programs link: declare them, and let dpkg run
# ldconfig through its trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
file(WRITE ${CMAKE_BINARY_DIR}/deb/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/deb/triggers)
# Besides the libraries found by dpkg-shlibdeps: Qt's Spanish dialogs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups-client, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libreoffice-calc-nogui | libreoffice-calc, libreoffice-writer-nogui | libreoffice-writer, printer-driver-cups-pdf")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified vantel Tramix)
include(CPack)
