# `cmake --install` puts the program, the library with its header, and a CMake package in the
# prefix, so that another project's find_package(Korvath) and Korvath::korvath work.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KORVATH_LIBRARY_LAYERS korvath_engine korvath_genetic korvath_measure korvath_geometry
                           korvath_image korvath_core)
set_target_properties(korvath_api PROPERTIES EXPORT_NAME korvath OUTPUT_NAME korvath)
set(KORVATH_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Korvath)

install(TARGETS korvath RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The static layers beneath the library go along: a consumer links them through it.
install(TARGETS korvath_api ${KORVATH_LIBRARY_LAYERS} EXPORT KorvathTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY include/korvath DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT KorvathTargets NAMESPACE Korvath:: DESTINATION ${KORVATH_CMAKE_DIR})

configure_package_config_file(cmake/KorvathConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/KorvathConfig.cmake
                              INSTALL_DESTINATION ${KORVATH_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KorvathConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KorvathConfig.cmake ${CMAKE_BINARY_DIR}/KorvathConfigVersion.cmake
        DESTINATION ${KORVATH_CMAKE_DIR})
