# Installation: the libraries (shared, with their SONAME and development links,
# or static archives), the public headers, a pkg-config file and a CMake package
# per library (VASK_INSTALL, on at the top level only), and the tests that check
# an installed copy, the Debian files and the builds of a host project. The
# Debian packages are built from debian/ with dpkg-buildpackage.
if(VASK_BUILD_TESTS)
  # Install into a temporary prefix and build host programs there. Not for a
  # cross build (the consumers are built and run for the host) nor a sanitizer
  # build (its libraries need the sanitizer runtime loaded first).
  if(NOT CMAKE_CROSSCOMPILING AND NOT VASK_SANITIZE)
    set(run_path)
    if(CMAKE_SKIP_INSTALL_RPATH OR CMAKE_SKIP_RPATH)
      set(run_path --no-run-path)
    endif()
    add_test(NAME install_consumers
      COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/run.sh --install ${PROJECT_BINARY_DIR}
        --cc ${CMAKE_C_COMPILER} --cxx ${CMAKE_CXX_COMPILER} --generator ${CMAKE_GENERATOR}
        ${run_path})
    set_tests_properties(install_consumers PROPERTIES TIMEOUT 300)
    # A host project that builds ours inside its own (add_subdirectory, FetchContent).
    add_test(NAME subproject_hosts
      COMMAND bash ${PROJECT_SOURCE_DIR}/tests/subproject/run.sh
        --cc ${CMAKE_C_COMPILER} --cxx ${CMAKE_CXX_COMPILER} --generator ${CMAKE_GENERATOR})
    set_tests_properties(subproject_hosts PROPERTIES TIMEOUT 300)
  endif()
  # The Debian symbols files name exactly the exports of tests/symbols/.
  add_test(NAME debian_symbols
    COMMAND ${CMAKE_COMMAND} -DDEBIAN_DIR=${PROJECT_SOURCE_DIR}/debian
      -DEXPECTED_DIR=${PROJECT_SOURCE_DIR}/tests/symbols
      -P ${PROJECT_SOURCE_DIR}/cmake/check_debian_symbols.cmake)
  # debian/changelog's newest entry carries the project's version.
  add_test(NAME debian_changelog_version
    COMMAND ${CMAKE_COMMAND} -DCHANGELOG=${PROJECT_SOURCE_DIR}/debian/changelog
      -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/check_changelog.cmake)
endif()

# A subproject's host decides what it installs: nothing of ours unless asked.
if(NOT VASK_INSTALL)
  return()
endif()

include(CMakePackageConfigHelpers)

set(VASK_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake)

# Imported as Vask::common_c, Vask::initialization and Vask::initialization_lookup,
# the names of this tree's aliases.
set_target_properties(vask_common_c PROPERTIES EXPORT_NAME common_c)
set_target_properties(vask_initialization PROPERTIES EXPORT_NAME initialization)
set_target_properties(vask_initialization_lookup PROPERTIES EXPORT_NAME initialization_lookup)

# Headers: <vask_common_c/...> from include/; the initialization and lookup
# headers in include/vask_initialization/, which the packages put on the include
# path (they include each other by their plain names).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/vask_common_c/include/vask_common_c
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/vask_initialization/include/
  ${PROJECT_SOURCE_DIR}/vask_initialization_lookup/include/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vask_initialization
  FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")
install(FILES ${VASK_GENERATED_INCLUDE_DIR}/initialization_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vask_initialization)

# pkg-config files, relocatable: the prefix is found from the file's own folder,
# so `cmake --install --prefix` anywhere gives working files.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(VASK_PC_PREFIX .)
  set(VASK_PC_LIBDIR ${CMAKE_INSTALL_FULL_LIBDIR})
  set(VASK_PC_INCLUDEDIR ${CMAKE_INSTALL_FULL_INCLUDEDIR})
else()
  file(RELATIVE_PATH VASK_PC_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" VASK_PC_PREFIX "${VASK_PC_PREFIX}")
  set(VASK_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(VASK_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()

# Per library: target, CMake package and pkg-config file. Each CMake package
# finds the one below it, so each development package ships only its own files.
foreach(entry IN ITEMS "vask_common_c VaskCommonC" "vask_initialization VaskInitialization"
    "vask_initialization_lookup VaskInitializationLookup")
  separate_arguments(entry)
  list(GET entry 0 library)
  list(GET entry 1 package)
  install(TARGETS ${library} EXPORT ${package}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(EXPORT ${package}Targets NAMESPACE Vask:: DESTINATION ${VASK_PACKAGE_DIR}/${package})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/${package}Config.cmake.in
    ${PROJECT_BINARY_DIR}/package/${package}Config.cmake
    INSTALL_DESTINATION ${VASK_PACKAGE_DIR}/${package})
  # Compatible within a major version, as the SONAME (.so.0) is.
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/${package}ConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/package/${package}Config.cmake
    ${PROJECT_BINARY_DIR}/package/${package}ConfigVersion.cmake
    DESTINATION ${VASK_PACKAGE_DIR}/${package})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${library}.pc.in
    ${PROJECT_BINARY_DIR}/package/${library}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/package/${library}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
