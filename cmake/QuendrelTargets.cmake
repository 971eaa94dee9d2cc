# One static library per src/ folder. Sources are picked up by glob so a new
# class needs no edit here; CONFIGURE_DEPENDS re-runs the glob on each build.
function(quendrel_library name dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    # A folder whose classes have not arrived yet still takes part in the graph.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# One GoogleTest executable per tests/ folder, linked only with what it tests.
function(quendrel_test name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main Threads::Threads)
  # The environment is set from a file ctest reads after the discovered
  # tests: given through gtest_discover_tests' PROPERTIES, the list would be
  # split on its ";" and only the first variable would reach the tests.
  # Labelled with the program's name, so one program's tests can be run alone
  # (ctest -L screens_tests), as the ThreadSanitizer pass of scripts/test does.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_LIST ${name}_TESTS PROPERTIES LABELS ${name})
  set(env "SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy;QUENDREL_SOURCE_DIR=${PROJECT_SOURCE_DIR};QUENDREL_BUILD_DIR=${PROJECT_BINARY_DIR};${QUENDREL_RUN_ENV}")
  set(env_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake)
  file(WRITE ${env_file}
    "foreach(test IN LISTS ${name}_TESTS)\n  set_tests_properties(\"\${test}\" PROPERTIES ENVIRONMENT \"${env}\")\nendforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_file})
endfunction()
