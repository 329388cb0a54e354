# `cpack -G DEB` (or `cmake --build BUILD --target package`): a Debian package
# of everything `cmake --install` puts in place, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zephbarcode)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}.0)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reads one-dimensional barcodes in pictures")
set(CPACK_PACKAGE_DESCRIPTION
    "ZephScan reads EAN/UPC, Code 128, Code 39, Code 93, Interleaved 2 of 5, Codabar and Patch codes in image files and prints an XML report; libzephbarcode gives programs the same reader through a C++ API.")
set(CPACK_PACKAGE_CONTACT "ZephBarcode developers <zephbarcode@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The image libraries' packages, as the linked files name them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
