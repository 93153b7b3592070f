# Every subsystem folder is one static library named after the folder, made of all its
# .cpp files but main.cpp; headers are included as "<folder>/<file>.h".
function(add_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()

# One GoogleTest executable per test folder, from all its *_test.cpp files, linked with
# the test support library of tests/support/.
# Tests whose name or suite holds "Thread" are also labelled "threads".
function(add_subsystem_tests name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name}_tests ${sources})
  target_link_libraries(${name}_tests PRIVATE ${ARG_DEPENDS} test_support GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name}_tests PRIVATE
    TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}"
    PROJECT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# One program per <name><suffix>.cpp file of the current folder, each linked against
# every subsystem library there is. Used for the fuzz targets and the benchmarks.
function(add_programs_per_file suffix)
  cmake_parse_arguments(ARG "" "" "LINK_OPTIONS" ${ARGN})
  set(libs)
  foreach(sub foundation filter formats cli directory wssp)
    if(TARGET ${sub})
      list(APPEND libs ${sub})
    endif()
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*${suffix}.cpp)
  foreach(src ${sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE ${libs} Boost::regex)
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    if(ARG_LINK_OPTIONS)
      target_link_options(${name} PRIVATE ${ARG_LINK_OPTIONS})
    endif()
  endforeach()
endfunction()
