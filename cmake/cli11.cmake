# CLI11 (Debian's libcli11-dev, header only) reads the command lines of
# Orvalda and its tools. Its headers live in /usr/include/CLI; putting all of
# /usr/include on the mingw cross build's include path would mix the host's C
# headers into it, so cli11_headers points at a folder of the build tree that
# holds only a link to CLI11's own folder.
# (Not named orvalda_*: bench/ copies every orvalda_* library a library links.)
find_path(ORVALDA_CLI11_INCLUDE_DIR CLI/CLI.hpp
  HINTS /usr/include /usr/local/include
  NO_CMAKE_FIND_ROOT_PATH)
if(NOT ORVALDA_CLI11_INCLUDE_DIR)
  message(FATAL_ERROR "CLI11 not found (CLI/CLI.hpp): install Debian's libcli11-dev "
                      "(scripts/run.sh and scripts/test.sh do), or set ORVALDA_CLI11_INCLUDE_DIR")
endif()
set(_cli11_only "${PROJECT_BINARY_DIR}/cli11-include")
file(MAKE_DIRECTORY "${_cli11_only}")
file(CREATE_LINK "${ORVALDA_CLI11_INCLUDE_DIR}/CLI" "${_cli11_only}/CLI" SYMBOLIC)
add_library(cli11_headers INTERFACE)
target_include_directories(cli11_headers SYSTEM INTERFACE "${_cli11_only}")
