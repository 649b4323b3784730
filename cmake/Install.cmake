# `cmake --install` puts the program, the library (one archive) with its header, and a CMake
# package in the prefix, so that another project's find_package(Korvath) and Korvath::korvath
# work.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KORVATH_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Korvath)

install(TARGETS korvath RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS korvath_library EXPORT KorvathTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/include/korvath
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT KorvathTargets NAMESPACE Korvath:: DESTINATION ${KORVATH_CMAKE_DIR})

configure_package_config_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/KorvathConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/KorvathConfig.cmake
                              INSTALL_DESTINATION ${KORVATH_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KorvathConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KorvathConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/KorvathConfigVersion.cmake
        DESTINATION ${KORVATH_CMAKE_DIR})
