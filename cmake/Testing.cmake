# One GoogleTest executable per test file, so a module's tests build and run on their own.
find_package(GTest REQUIRED)
include(GoogleTest)

# kestrova_add_test(<file.cpp> LABEL <unit|integration|system> [LIBS ...] [TIMEOUT s])
function(kestrova_add_test file)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "LIBS" ${ARGN})
  get_filename_component(name ${file} NAME_WE)
  set(target ${T_LABEL}_${name})
  add_executable(${target} ${file})
  target_link_libraries(${target} PRIVATE kestrova_test_support ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  kestrova_warnings(${target})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  gtest_discover_tests(${target} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT}
    DISCOVERY_TIMEOUT 60)
endfunction()

# Every test file in a folder, with the folder's label.
function(kestrova_add_tests_in dir label)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  file(GLOB files CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  foreach(f ${files})
    kestrova_add_test(${f} LABEL ${label} LIBS ${T_LIBS})
  endforeach()
endfunction()
