# GoogleTest from Debian's sources, built with the cross compiler.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Pictures of the windows the tests open, for people to look at.
set(VESPERLIN_SCREENSHOT_DIR ${CMAKE_BINARY_DIR}/screenshots CACHE PATH "Where window tests write their pictures")

# vesperlin_add_test(NAME name SOURCES ... LIBS ... [RESOURCES ...] [TIMEOUT s] [WINDOWS])
# One test executable, run by CTest under Wine. Tests that create windows say WINDOWS
# (the test script provides an X display for every test anyway; the label lets them be picked):
# they run one at a time, as they share that display (pictures are taken from the screen).
function(vesperlin_add_test)
  cmake_parse_arguments(T "WINDOWS" "NAME;TIMEOUT" "SOURCES;LIBS;RESOURCES" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES} ${T_RESOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "VESPERLIN_SOURCE_DIR=${CMAKE_SOURCE_DIR};VESPERLIN_BINARY_DIR=${CMAKE_BINARY_DIR};VESPERLIN_SCREENSHOT_DIR=${VESPERLIN_SCREENSHOT_DIR}")
  if(T_WINDOWS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS windows RESOURCE_LOCK display)
  endif()
endfunction()
