# tq8_add_test(NAME name SOURCES ... LIBS ... [GUI])
# A GoogleTest executable registered with CTest test by test. GUI tests run on
# Qt's offscreen platform so that no display is needed.
function(tq8_add_test)
  cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/cmake/LeakSuppressions.cpp
    ${CMAKE_SOURCE_DIR}/cmake/TestDataHome.cpp)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  # Test support headers shared by every test program (BadFiles.h).
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/cmake)
  set(env "VLT_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  # The list separator must survive being handed on to the discovery script.
  string(REPLACE ";" "\\;" env "${env}")
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()

# Replaced global operator new and delete with a hook, for the test programs
# that watch their allocations (each a program of its own).
add_library(vlt_alloc_watch STATIC ${CMAKE_CURRENT_LIST_DIR}/AllocationWatch.cpp)
target_include_directories(vlt_alloc_watch PUBLIC ${CMAKE_CURRENT_LIST_DIR})
