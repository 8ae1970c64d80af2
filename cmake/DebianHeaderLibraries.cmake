# CLI11 (command line) and nlohmann/json: header-only libraries that Debian
# packages under /usr/include (libcli11-dev, nlohmann-json3-dev; see
# scripts/setup.sh). Both define the targets CLI11::CLI11 and
# nlohmann_json::nlohmann_json.
#
# Natively they are found as the packages they are. The Windows cross builds
# search the mingw root only (cmake/toolchain-*.cmake), and /usr/include must
# not reach the mingw compiler as a whole: there each library's header folder
# is linked into an include folder of the build tree that holds nothing else.
if(TARGET CLI11::CLI11 AND TARGET nlohmann_json::nlohmann_json)
  return()
endif()

if(NOT CMAKE_CROSSCOMPILING)
  find_package(CLI11 CONFIG REQUIRED)
  find_package(nlohmann_json 3.2 REQUIRED)
  return()
endif()

set(QUORVEL_HEADER_LIBRARIES_DIR ${CMAKE_BINARY_DIR}/header-libraries)

# quorvel_debian_header_library(<target> <folder> <header in folder>)
function(quorvel_debian_header_library target folder header)
  string(MAKE_C_IDENTIFIER "QUORVEL_${folder}_INCLUDE_DIR" variable)
  find_path(${variable} ${folder}/${header} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${variable})
    message(FATAL_ERROR "${folder}/${header} not found under /usr/include (scripts/setup.sh installs it)")
  endif()
  file(MAKE_DIRECTORY ${QUORVEL_HEADER_LIBRARIES_DIR})
  file(CREATE_LINK ${${variable}}/${folder} ${QUORVEL_HEADER_LIBRARIES_DIR}/${folder} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  # Include folders of imported targets are system folders: their warnings
  # stay out of the build.
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${QUORVEL_HEADER_LIBRARIES_DIR})
endfunction()

quorvel_debian_header_library(CLI11::CLI11 CLI CLI.hpp)
quorvel_debian_header_library(nlohmann_json::nlohmann_json nlohmann json.hpp)
