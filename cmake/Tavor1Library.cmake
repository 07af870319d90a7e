# The layers of src/, bottom to top, from cmake/layers.txt.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/layers.txt TAVOR1_LAYERS REGEX "^[a-z]")

# tavor1_library(NAME DEPS ...): one static library made of the .cpp files of
# one folder (not its subfolders, and not a main.cpp), with `src` on the
# include path so that headers are included as "folder/Header.h". A library
# may depend only on libraries of the layers below its own: a dependency on one
# above, or on a library of no layer, stops the configuration.
function(tavor1_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  list(FIND TAVOR1_LAYERS "${folder}" layer)
  if(layer EQUAL -1)
    message(FATAL_ERROR "src/${folder} is not listed in cmake/layers.txt")
  endif()
  foreach(dep ${ARG_DEPS})
    if(dep MATCHES "^tavor1_")
      get_target_property(dep_layer ${dep} TAVOR1_LAYER)
      if(NOT dep_layer OR dep_layer GREATER layer)
        message(FATAL_ERROR "${name} (src/${folder}) may not depend on ${dep}: "
          "a library uses only the layers below its own (cmake/layers.txt)")
      endif()
    endif()
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  file(GLOB headers CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  if(sources)
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
  # Stored one up: layer 0 would read as false in the check above, and a
  # dependency is allowed when its stored value is at most this index.
  math(EXPR rank "${layer} + 1")
  set_target_properties(${name} PROPERTIES TAVOR1_LAYER ${rank})
endfunction()

# tavor1_test(NAME [APP_MAIN|WIDGETS_MAIN] DEPS ...): one GoogleTest executable
# from the .cpp files of a tests folder, registered with CTest case by case.
# APP_MAIN runs the tests inside one QCoreApplication, WIDGETS_MAIN inside one
# QApplication (tests/support/TestApplication.cpp).
function(tavor1_test name)
  cmake_parse_arguments(ARG "APP_MAIN;WIDGETS_MAIN" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  if(NOT sources)
    return()
  endif()
  if(ARG_APP_MAIN OR ARG_WIDGETS_MAIN)
    list(APPEND sources ${PROJECT_SOURCE_DIR}/tests/support/TestApplication.cpp)
  endif()
  add_executable(${name} ${sources})
  if(ARG_WIDGETS_MAIN)
    target_compile_definitions(${name} PRIVATE TAVOR1_TEST_WIDGETS)
  endif()
  if(CMAKE_CROSSCOMPILING)
    # None of the tests of the cross build uses gmock: not building it keeps
    # the Windows check short.
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} tavor1_testsupport GTest::gtest_main)
  else()
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} tavor1_testsupport GTest::gmock GTest::gtest_main)
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Each run goes through the emulator (Wine), whose start costs a second or
    # more: one CTest test per program instead of one per case.
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES PROPERTIES TIMEOUT 300)
  endif()
endfunction()
