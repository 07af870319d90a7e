# tavor1_tool(NAME [LIBRARY LIB] [SOURCES ...] DEPS ...): the executable NAME
# of one folder of tools/, built from SOURCES (default: the folder's .cpp
# files) with tools/ on the include path. With LIBRARY, everything but main.cpp
# goes into the static library LIB instead, so that tests/tools can link the
# tool's parts; the executable is then main.cpp alone.
function(tavor1_tool name)
  cmake_parse_arguments(ARG "" "LIBRARY" "SOURCES;DEPS" ${ARGN})
  if(ARG_SOURCES)
    list(TRANSFORM ARG_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ REGEX "^[^/]")
    set(sources ${ARG_SOURCES})
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(ARG_LIBRARY)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    set(parts ${sources} ${headers})
    list(FILTER parts EXCLUDE REGEX "/main\\.cpp$")
    add_library(${ARG_LIBRARY} STATIC ${parts})
    target_include_directories(${ARG_LIBRARY} PUBLIC ${PROJECT_SOURCE_DIR}/tools)
    target_link_libraries(${ARG_LIBRARY} PUBLIC ${ARG_DEPS})
    add_executable(${name} ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARY})
  else()
    add_executable(${name} ${sources})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tools)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  endif()
endfunction()
