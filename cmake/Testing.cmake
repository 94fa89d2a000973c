option(SARN_BUILD_TESTS "Build the test programs" ON)
if(NOT SARN_BUILD_TESTS)
  return()
endif()
enable_testing()

# Natively we use the distribution's GoogleTest; for Windows builds we compile it from its sources
# (Debian ships them in /usr/src/googletest; on Windows point SARN_GTEST_SOURCE at a checkout).
set(SARN_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources used when cross-compiling")
if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory("${SARN_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/_googletest" EXCLUDE_FROM_ALL SYSTEM)
  # GoogleTest 1.12 defines the GTest:: aliases itself; older sources do not.
  foreach(t gtest gtest_main gmock)
    if(NOT TARGET GTest::${t})
      add_library(GTest::${t} ALIAS ${t})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()

# sarn_add_test(NAME sources... LIBS libs...): one GoogleTest program, run as one CTest test.
# Under a cross build CTest runs it through CMAKE_CROSSCOMPILING_EMULATOR (scripts/wine-run).
function(sarn_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES SARN_TEST TRUE)  # see the frame limit in Warnings.cmake
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock sarn_warnings)
  if(WIN32)
    target_link_libraries(${name} PRIVATE sarn_win32)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
