# Shared helpers for the project's CMake files.

# Where the shared test data lives: beside the project folder.
get_filename_component(FERROVANE_SHARED_DIR "${PROJECT_SOURCE_DIR}/../shared" ABSOLUTE)

# ferrovane_test(NAME SOURCES... LIBS ...) builds one GoogleTest executable and
# registers its cases with CTest.
function(ferrovane_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    FERROVANE_SHARED_DIR="${FERROVANE_SHARED_DIR}"
    FERROVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    FERROVANE_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
endfunction()

# ferrovane_layer(NAME) makes the static library of one layer from every source
# in the calling folder; a layer with no sources yet is an interface library.
function(ferrovane_layer name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
  endif()
endfunction()

# ferrovane_link(NAME [PUBLIC|PRIVATE] libs...) links whatever kind the layer is.
function(ferrovane_link name)
  get_target_property(kind ${name} TYPE)
  cmake_parse_arguments(L "" "" "PUBLIC;PRIVATE" ${ARGN})
  if(kind STREQUAL "INTERFACE_LIBRARY")
    target_link_libraries(${name} INTERFACE ${L_PUBLIC} ${L_PRIVATE})
  else()
    target_link_libraries(${name} PUBLIC ${L_PUBLIC} PRIVATE ${L_PRIVATE})
  endif()
endfunction()
