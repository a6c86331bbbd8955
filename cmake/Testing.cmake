# Test programs: the files of one label link into one GoogleTest executable (a few per label at
# most), so two cores do not spend minutes linking; CTest still lists each test on its own.
find_package(GTest REQUIRED)
include(GoogleTest)

# kestrova_add_test_program(<name> LABEL <label> FILES <file.cpp>... [LIBS ...] [DEPENDS ...]
#                           [TIMEOUT s])
# DEPENDS names the built programs its tests run, so that building the tests builds them too.
function(kestrova_add_test_program name)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "FILES;LIBS;DEPENDS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_FILES})
  target_link_libraries(${name} PRIVATE kestrova_test_support ${T_LIBS} GTest::gtest GTest::gmock
    GTest::gtest_main)
  kestrova_warnings(${name})
  foreach(program ${T_DEPENDS})
    if(TARGET ${program})
      add_dependencies(${name} ${program})
    endif()
  endforeach()
  gtest_discover_tests(${name} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT}
    DISCOVERY_TIMEOUT 60)
endfunction()
