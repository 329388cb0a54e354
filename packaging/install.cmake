# What `cmake --install` puts under the prefix: the programs, the control
# module with the manifest that lets the installed ZephScan find it, the
# library with its header, CMake package and pkg-config file, and the manual
# pages.
include(CMakePackageConfigHelpers)

install(TARGETS ZephScan zephreg RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# ZephScan's PDF module, which links poppler (GPL): a folder of ZephScan's
# own, where the installed ZephScan looks for it (cli/pdf_loading.cpp).
if(TARGET zephscan_pdf)
    install(TARGETS zephscan_pdf LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/zephscan)
endif()

# The control module is loaded by path, never linked: a folder of its own,
# with the manifest that names it for ZephScan (module path relative to the
# manifest's folder).
install(TARGETS ZephBarcodeReader LIBRARY DESTINATION ${ZEPH_MODULE_DIR})
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/packaging/${ZEPH_MODULE_MANIFEST}
     CONTENT "progid=ZEPHBARCODEREADER.ZephBarcodeReaderCtrl.1\nclsid={D7C5A2E4-3B6F-4C1A-9E52-6A1F0B3C4D01}\nmodule=$<TARGET_FILE_NAME:ZephBarcodeReader>\n")
install(FILES ${PROJECT_BINARY_DIR}/packaging/${ZEPH_MODULE_MANIFEST}
        DESTINATION ${ZEPH_MODULE_DIR})

# The library, its header and its CMake package: find_package(ZephBarcode)
# gives ZephBarcode::ZephBarcode.
set_target_properties(zeph_barcode PROPERTIES EXPORT_NAME ZephBarcode)
install(TARGETS zeph_barcode EXPORT ZephBarcodeTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/zeph/barcode.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zeph)
set(ZEPH_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZephBarcode)
install(EXPORT ZephBarcodeTargets NAMESPACE ZephBarcode:: DESTINATION ${ZEPH_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZephBarcodeConfig.cmake.in
    ${PROJECT_BINARY_DIR}/packaging/ZephBarcodeConfig.cmake INSTALL_DESTINATION ${ZEPH_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/ZephBarcodeConfigVersion.cmake
    VERSION ${PROJECT_VERSION}.0 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/ZephBarcodeConfig.cmake
              ${PROJECT_BINARY_DIR}/packaging/ZephBarcodeConfigVersion.cmake
        DESTINATION ${ZEPH_CMAKE_DIR})

# pkg-config, relocatable: the prefix is found from the file's own folder.
file(RELATIVE_PATH ZEPH_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" ZEPH_PC_TO_PREFIX "${ZEPH_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/zephbarcode.pc.in
               ${PROJECT_BINARY_DIR}/packaging/zephbarcode.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/zephbarcode.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES ${PROJECT_SOURCE_DIR}/doc/man/ZephScan.1 ${PROJECT_SOURCE_DIR}/doc/man/zephreg.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
