# Zentarix — MIT licence.
# Install rules (cmake --install), the pkg-config file, the CMake package and the DEB package.
#
# Installed: the runtime and GDI+ libraries (versioned), the server modules (libzentarix.so and,
# where the tree builds it, libzxeffects.so; modules are loaded by path from the registry, so they
# carry no version), the tools, the platform and generated headers under include/zentarix, the
# man pages and the Python package.
include(CMakePackageConfigHelpers)

set(ZX_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Zentarix)
set(exported zxcom zxgdiplus zx_platform_headers)
if(TARGET zentarix)
  # The module's exports (the colour functions) are callable like any library's.
  target_include_directories(zentarix INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/zentarix>)
  list(APPEND exported zentarix)
endif()
install(TARGETS ${exported} EXPORT ZentarixTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zentarix)
foreach(module zxeffects)
  if(TARGET ${module})
    install(TARGETS ${module} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endforeach()
foreach(tool zxregsvr zxscript)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    if(EXISTS ${CMAKE_SOURCE_DIR}/docs/man/${tool}.1)
      install(FILES ${CMAKE_SOURCE_DIR}/docs/man/${tool}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endif()
endforeach()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/platform/include/ ${CMAKE_SOURCE_DIR}/platform/gdiplus/include/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zentarix FILES_MATCHING PATTERN "*.h")
if(TARGET zentarix_idl)
  install(FILES ${CMAKE_BINARY_DIR}/idl/generated/zentarix.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zentarix)
endif()

# pkg-config: the runtime is what a client links; the module is reached through the registry. The
# file finds the prefix from its own place, so a staged or relocated installation works too.
file(RELATIVE_PATH ZX_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(${CMAKE_CURRENT_LIST_DIR}/zentarix.pc.in ${CMAKE_BINARY_DIR}/zentarix.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/zentarix.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# find_package(Zentarix): Zentarix::zxcom, Zentarix::zxgdiplus and Zentarix::zentarix.
install(EXPORT ZentarixTargets NAMESPACE Zentarix:: DESTINATION ${ZX_CMAKE_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZentarixConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/ZentarixConfig.cmake INSTALL_DESTINATION ${ZX_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/ZentarixConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ZentarixConfig.cmake ${CMAKE_BINARY_DIR}/ZentarixConfigVersion.cmake
        DESTINATION ${ZX_CMAKE_PACKAGE_DIR})

# ---- the DEB package (cpack -G DEB from a tree configured with CMAKE_INSTALL_PREFIX=/usr) ------
# Its maintainer scripts register the modules in the machine-wide registry after installation and
# unregister them before removal; purging removes the registry's folder.
set(ZX_INSTALLED_MODULES "${CMAKE_INSTALL_FULL_LIBDIR}/libzentarix.so")
if(TARGET zxeffects)
  string(APPEND ZX_INSTALLED_MODULES " ${CMAKE_INSTALL_FULL_LIBDIR}/libzxeffects.so")
endif()
get_filename_component(ZX_MACHINE_REGISTRY_DIR ${ZX_MACHINE_REGISTRY} DIRECTORY)
set(ZX_INSTALLED_PYTHON_PACKAGE ${CMAKE_INSTALL_PREFIX}/${ZX_PYTHON_INSTALL_DIR}/zentarix)
foreach(script postinst prerm postrm)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/deb/${script}.in ${CMAKE_BINARY_DIR}/deb/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                  WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zentarix)
set(CPACK_PACKAGE_VENDOR Zentarix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Scriptable raster imaging component (COM-compatible, with a Python client)")
set(CPACK_PACKAGE_CONTACT "Zentarix <${ZX_SUPPORT_ADDRESS}>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package's own libraries are found in the build tree; they add no dependency.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, python3")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-numpy")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/deb/postinst ${CMAKE_BINARY_DIR}/deb/prerm
                                       ${CMAKE_BINARY_DIR}/deb/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
