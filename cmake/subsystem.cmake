# A subsystem library: a static library of the given sources (by default every .cpp file of
# the folder but main.cpp and those named in EXCLUDE); headers are included as
# "<folder>/<file>.h" from the project root.
function(add_subsystem name)
  cmake_parse_arguments(ARG "" "" "SOURCES;EXCLUDE;DEPENDS" ${ARGN})
  if(ARG_SOURCES)
    set(sources ${ARG_SOURCES})
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
    foreach(excluded ${ARG_EXCLUDE})
      list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
    endforeach()
  endif()
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
# the test support library of tests/support/. CI runs the tests whose suite or test name
# holds "Thread" once more under ThreadSanitizer (ctest -R Thread).
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
  # Every test ends within its time-out, so a hung one fails instead of stopping CI. The
  # heaviest take seconds on an idle machine and minutes on one busy with other builds.
  gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES TIMEOUT 600)
endfunction()

# The libraries a source file uses, from its project includes ("<folder>/...", and those
# of the headers of its own folder that it includes): the subsystem of each folder, with
# filter/ split into filter_engine and the filter application by FILTER_ENGINE_FILES.
function(libraries_used_by src out)
  get_filename_component(dir ${src} DIRECTORY)
  set(files ${src})
  set(seen)
  set(libs)
  while(files)
    list(POP_FRONT files file)
    if(file IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${file})
    file(STRINGS ${file} lines REGEX "^#include \"")
    foreach(line ${lines})
      string(REGEX REPLACE "^#include \"([^\"]*)\".*" "\\1" included "${line}")
      if(NOT included MATCHES "/")
        if(EXISTS ${dir}/${included})
          list(APPEND files ${dir}/${included})
        endif()
        continue()
      endif()
      string(REGEX REPLACE "/.*" "" folder "${included}")
      get_filename_component(base ${included} NAME_WE)
      if(folder STREQUAL "filter" AND base IN_LIST FILTER_ENGINE_FILES)
        set(folder filter_engine)
      endif()
      if(TARGET ${folder})
        list(APPEND libs ${folder})
      endif()
    endforeach()
  endwhile()
  if(libs)
    list(REMOVE_DUPLICATES libs)
  endif()
  set(${out} ${libs} PARENT_SCOPE)
endfunction()

# One program per <name><suffix>.cpp file of the current folder, each linked with the
# libraries it includes. Used for the fuzz targets and the benchmarks.
function(add_programs_per_file suffix)
  cmake_parse_arguments(ARG "" "" "LINK_OPTIONS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*${suffix}.cpp)
  foreach(src ${sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    libraries_used_by(${src} libs)
    target_link_libraries(${name} PRIVATE ${libs})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    if(ARG_LINK_OPTIONS)
      target_link_options(${name} PRIVATE ${ARG_LINK_OPTIONS})
    endif()
  endforeach()
endfunction()
