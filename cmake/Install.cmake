# cmake --install: the module's headers under include/QVRAdKit, the static library, and a package
# (QVRAdKitConfig.cmake, its version file and the exported QVRAdKit::qvradkit target) under
# lib/cmake/QVRAdKit, so that a project finds it with find_package(QVRAdKit).
include(CMakePackageConfigHelpers)

install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/QVRAdKit/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/QVRAdKit
        FILES_MATCHING PATTERN "*.h")
install(TARGETS qvradkit EXPORT QVRAdKitTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

set(QVR_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/QVRAdKit)
install(EXPORT QVRAdKitTargets NAMESPACE QVRAdKit:: DESTINATION ${QVR_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/QVRAdKitConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/QVRAdKitConfig.cmake
                              INSTALL_DESTINATION ${QVR_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/QVRAdKitConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/QVRAdKitConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/QVRAdKitConfigVersion.cmake
        DESTINATION ${QVR_PACKAGE_DIR})
