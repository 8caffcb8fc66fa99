# Installation and packaging: the libraries with their SONAME and development
# links, the public headers, a pkg-config file and a CMake package per library,
# Debian packages through CPack, and the test that builds host programs against
# an installed copy.
include(CMakePackageConfigHelpers)

set(VASK_DEBIAN_VERSION ${PROJECT_VERSION}-1)
set(VASK_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake)

# Install components, one per Debian package: a runtime part (the versioned file
# and the SONAME link) and a development part (everything a build needs).
#   common_c, common_c_dev                 libvask-common-c0, libvask-common-c-dev
#   initialization, initialization_dev     libvask-initialization0, libvask-initialization-dev
# Anything else installed (the vask-ini tool) goes into the package vask-ini.

# Imported under the names that this tree's aliases use: Vask::common_c, Vask::initialization.
set_target_properties(vask_common_c PROPERTIES EXPORT_NAME common_c)
set_target_properties(vask_initialization PROPERTIES EXPORT_NAME initialization)

install(TARGETS vask_common_c EXPORT VaskCommonCTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT common_c NAMELINK_COMPONENT common_c_dev)
install(TARGETS vask_initialization EXPORT VaskInitializationTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT initialization NAMELINK_COMPONENT initialization_dev)

# Headers: <vask_common_c/...> from include/, and the initialization headers in
# include/vask_initialization/, which hosts put on their include path themselves.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/vask_common_c/include/vask_common_c
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT common_c_dev
  FILES_MATCHING PATTERN "*.h")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/vask_initialization/include/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vask_initialization COMPONENT initialization_dev
  FILES_MATCHING PATTERN "*.h")

# CMake packages. VaskInitialization finds VaskCommonC as a dependency, so each
# development package ships only its own library's files.
install(EXPORT VaskCommonCTargets NAMESPACE Vask::
  DESTINATION ${VASK_PACKAGE_DIR}/VaskCommonC COMPONENT common_c_dev)
install(EXPORT VaskInitializationTargets NAMESPACE Vask::
  DESTINATION ${VASK_PACKAGE_DIR}/VaskInitialization COMPONENT initialization_dev)
foreach(package IN ITEMS VaskCommonC VaskInitialization)
  if(package STREQUAL "VaskCommonC")
    set(component common_c_dev)
  else()
    set(component initialization_dev)
  endif()
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/${package}Config.cmake.in
    ${PROJECT_BINARY_DIR}/package/${package}Config.cmake
    INSTALL_DESTINATION ${VASK_PACKAGE_DIR}/${package})
  # Compatible within a major version, as the SONAME (.so.0) is.
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/${package}ConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/package/${package}Config.cmake
    ${PROJECT_BINARY_DIR}/package/${package}ConfigVersion.cmake
    DESTINATION ${VASK_PACKAGE_DIR}/${package} COMPONENT ${component})
endforeach()

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
foreach(name IN ITEMS vask_common_c vask_initialization)
  if(name STREQUAL "vask_common_c")
    set(component common_c_dev)
  else()
    set(component initialization_dev)
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${name}.pc.in ${PROJECT_BINARY_DIR}/package/${name}.pc
    @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/package/${name}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ${component})
endforeach()

# Install into a temporary prefix and build host programs there. Not for a cross
# build (the consumers are built and run for the host) nor a sanitizer build
# (its libraries need the sanitizer runtime loaded first).
if(VASK_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING AND NOT VASK_SANITIZE)
  add_test(NAME install_consumers
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/run.sh --install ${PROJECT_BINARY_DIR}
      --cc ${CMAKE_C_COMPILER} --cxx ${CMAKE_CXX_COMPILER} --generator ${CMAKE_GENERATOR})
  set_tests_properties(install_consumers PROPERTIES TIMEOUT 300)
endif()

# Debian packages: `cpack -G DEB` in a build configured with CMAKE_INSTALL_PREFIX=/usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vask-initialization)
set(CPACK_PACKAGE_VENDOR Vask)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "libvask_initialization developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
if(CMAKE_CROSSCOMPILING)
  # dpkg-shlibdeps knows only the host's libraries; name the target's by hand.
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  endif()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(VASK_DEBIAN_LIBC "libc6 (>= 2.34)")
else()
  set(VASK_DEBIAN_LIBC "")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The project's own libraries are not installed while packaging: dpkg-shlibdeps
  # finds them in the build tree (their package dependencies are named below).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS)
  foreach(library IN ITEMS vask_common_c vask_initialization)
    get_target_property(directory ${library} BINARY_DIR)
    list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${directory})
  endforeach()
endif()

# A Depends field from the non-empty arguments.
function(vask_debian_depends out)
  set(items)
  foreach(item IN LISTS ARGN)
    if(NOT item STREQUAL "")
      list(APPEND items "${item}")
    endif()
  endforeach()
  list(JOIN items ", " text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(CPACK_DEBIAN_COMMON_C_PACKAGE_NAME libvask-common-c0)
set(CPACK_DEBIAN_COMMON_C_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_COMMON_C_PACKAGE_DEPENDS "${VASK_DEBIAN_LIBC}")
set(CPACK_COMPONENT_COMMON_C_DESCRIPTION
  "Support library of libvask_initialization\nByte buffer with whole-file load and atomic save, double-ended queue of pointers,\nmemory-backed output stream, process-wide tracer and result-code texts.")

set(CPACK_DEBIAN_COMMON_C_DEV_PACKAGE_NAME libvask-common-c-dev)
set(CPACK_DEBIAN_COMMON_C_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_COMMON_C_DEV_PACKAGE_DEPENDS "libvask-common-c0 (= ${VASK_DEBIAN_VERSION})")
set(CPACK_COMPONENT_COMMON_C_DEV_DESCRIPTION
  "Support library of libvask_initialization (development files)\nHeaders, pkg-config file vask_common_c and CMake package VaskCommonC.")

set(CPACK_DEBIAN_INITIALIZATION_PACKAGE_NAME libvask-initialization0)
set(CPACK_DEBIAN_INITIALIZATION_PACKAGE_SECTION libs)
vask_debian_depends(CPACK_DEBIAN_INITIALIZATION_PACKAGE_DEPENDS
  "libvask-common-c0 (>= ${PROJECT_VERSION})" "${VASK_DEBIAN_LIBC}")
set(CPACK_COMPONENT_INITIALIZATION_DESCRIPTION
  "Reads and writes initialization files\nLoads a file or parses a text buffer of sections, comment lines and key=value\nmembers into a queue the host owns, and writes such a queue back in a fixed layout.")

set(CPACK_DEBIAN_INITIALIZATION_DEV_PACKAGE_NAME libvask-initialization-dev)
set(CPACK_DEBIAN_INITIALIZATION_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_INITIALIZATION_DEV_PACKAGE_DEPENDS
  "libvask-initialization0 (= ${VASK_DEBIAN_VERSION}), libvask-common-c-dev (= ${VASK_DEBIAN_VERSION})")
set(CPACK_COMPONENT_INITIALIZATION_DEV_DESCRIPTION
  "Reads and writes initialization files (development files)\nHeaders, pkg-config file vask_initialization and CMake package VaskInitialization.")

# Every other component (the tool's install rules, with or without a component
# name of their own) is gathered into one package.
get_cmake_property(VASK_INSTALL_COMPONENTS COMPONENTS)
foreach(component IN LISTS VASK_INSTALL_COMPONENTS)
  if(NOT component MATCHES "^(common_c|common_c_dev|initialization|initialization_dev)$")
    string(TOUPPER ${component} upper)
    set(CPACK_COMPONENT_${upper}_GROUP tool)
  endif()
endforeach()
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME vask-ini)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
vask_debian_depends(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS
  "libvask-initialization0 (>= ${PROJECT_VERSION})" "${VASK_DEBIAN_LIBC}")
set(CPACK_DEBIAN_TOOL_DESCRIPTION
  "Command-line tool for initialization files\nvask-ini reads and edits initialization files through libvask_initialization:\nget, set, del, list, dump, fmt and check.")

include(CPack)
