# The newest entry of debian/changelog names the project's version (upstream
# part, before any Debian revision).
#   cmake -DCHANGELOG=debian/changelog -DVERSION=0.2.0 -P check_changelog.cmake
file(STRINGS ${CHANGELOG} first LIMIT_COUNT 1)
if(NOT first MATCHES "^[a-z0-9.+-]+ \\(([0-9][^ )-]*)(-[^ )]*)?\\) ")
  message(FATAL_ERROR "${CHANGELOG}: the first line is no changelog entry: ${first}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "${CHANGELOG} is at ${CMAKE_MATCH_1}, the project at ${VERSION}: add an entry")
endif()
