# quorvel_add_gtest(<target> SOURCES <files...> LIBS <targets...>)
#
# One GoogleTest program. Natively every test case becomes a CTest test. In a
# Windows build with a Wine to run it (CMAKE_CROSSCOMPILING_EMULATOR: always
# for the 64-bit build, for the 32-bit build the WoW64 Wine when there is one)
# the program is one CTest test run under that Wine (a Wine process per test
# case would cost more than the tests); without one it is built only.
#
# quorvel_relax_warnings(<dir>)
#
# Marks every target defined in <dir> and below as one that may convert
# between arithmetic types implicitly (tests and benchmarks; the product's
# code builds with -Wconversion, see quorvel_options).
function(quorvel_relax_warnings dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t IN LISTS targets)
    set_property(TARGET ${t} PROPERTY QUORVEL_RELAXED ON)
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(d IN LISTS subdirs)
    quorvel_relax_warnings(${d})
  endforeach()
endfunction()

if(NOT QUORVEL_TESTS)
  return()
endif()

if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(QUORVEL_GTEST_LIBS gtest gtest_main)
else()
  find_package(GTest REQUIRED)
  set(QUORVEL_GTEST_LIBS GTest::gtest GTest::gtest_main)
  include(GoogleTest)
endif()

function(quorvel_add_gtest target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} quorvel_options ${QUORVEL_GTEST_LIBS})
  if(NOT CMAKE_CROSSCOMPILING)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30)
  elseif(CMAKE_CROSSCOMPILING_EMULATOR)
    add_test(NAME ${target} COMMAND ${target})
  endif()
endfunction()

