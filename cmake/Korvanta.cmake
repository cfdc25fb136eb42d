# Shared helpers for the project's CMake files.

# Adds every immediate subfolder of the current source folder that has a CMakeLists.txt.
macro(korvanta_add_subdirectories)
  file(GLOB _korvanta_children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _korvanta_children)
  foreach(_child IN LISTS _korvanta_children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${_child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()

# korvanta_add_test(<name> SOURCES <files...> [LIBS <targets...>] [QT] [SERIAL] [TIMEOUT <s>] [LABELS <l...>])
# Builds a GoogleTest program and registers each of its tests with ctest.
# QT links a main that creates a QApplication (offscreen in the test run).
# SERIAL runs its tests alone: for tests that keep time with a sound input paced in real time, which a
# machine loaded by the parallel run can starve of re-queued buffers.
function(korvanta_add_test name)
  cmake_parse_arguments(T "QT;SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(T_QT)
    target_link_libraries(${name} PRIVATE korvanta_test_main_qt)
  else()
    target_link_libraries(${name} PRIVATE GTest::gmock GTest::gtest_main)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} korvanta_test_support)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # Test discovery passes each property value on as one word: a value may not be a list, so each
  # variable goes in its own property, and an empty LABELS (which would swallow the next name) is left out.
  set(_props TIMEOUT ${T_TIMEOUT}
      ENVIRONMENT "KORVANTA_BUILD_DIR=${CMAKE_BINARY_DIR}"
      ENVIRONMENT_MODIFICATION "KORVANTA_SOURCE_DIR=set:${CMAKE_SOURCE_DIR}")
  if(T_LABELS)
    list(APPEND _props LABELS "${T_LABELS}")
  endif()
  if(T_SERIAL)
    list(APPEND _props RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${_props})
endfunction()

# korvanta_add_gallery(<name> SOURCES <files...> [LIBS <targets...>])
# A Qt test program whose tests write pictures of windows with testsupport::gallerySave (Gallery.h) and
# check their layout; labelled "gallery", so that scripts/gallery runs them all and CI runs them with the rest.
function(korvanta_add_gallery name)
  cmake_parse_arguments(G "" "" "SOURCES;LIBS" ${ARGN})
  korvanta_add_test(${name} QT SOURCES ${G_SOURCES} LIBS ${G_LIBS} korvanta_gallery LABELS gallery)
endfunction()
