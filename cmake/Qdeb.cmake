# qdeb_module(NAME [DEPS lib...] [SYSTEM lib...] [TEST_DEPS lib...])
#
# One static library per folder: every .cc of the folder except the tests
# and main.cc. Every *_test.cc of the folder goes into one test program,
# NAME_tests, whose cases ctest runs one by one; it links the shared test
# support of tests/support. Files are globbed so that a new file needs no
# edit here; CONFIGURE_DEPENDS makes the build notice them.
function(qdeb_module name)
  cmake_parse_arguments(ARG "" "" "DEPS;SYSTEM;TEST_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cc)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cc)
  list(FILTER sources EXCLUDE REGEX "(_test|/main)\\.cc$")
  set(lib qdeb_${name})
  if(sources)
    add_library(${lib} STATIC ${sources})
  else()
    add_library(${lib} INTERFACE)
  endif()
  if(sources)
    target_link_libraries(${lib} PUBLIC ${ARG_DEPS} ${ARG_SYSTEM})
  else()
    target_link_libraries(${lib} INTERFACE ${ARG_DEPS} ${ARG_SYSTEM})
  endif()
  if(tests)
    add_executable(${name}_tests ${tests})
    target_link_libraries(${name}_tests PRIVATE ${lib} ${ARG_TEST_DEPS} qdeb_test_support
                          GTest::gmock GTest::gtest_main)
    target_compile_definitions(${name}_tests PRIVATE
      QDEB_SOURCE_DIR="${PROJECT_SOURCE_DIR}" QDEB_BINARY_DIR="${PROJECT_BINARY_DIR}")
    gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS ${name})
  endif()
endfunction()
