# y32path_module(NAME SOURCES ... DEPS ...)
# One static library per source folder. The list of modules is collected so
# the shared library can link every one of them whole.
function(y32path_module name)
  cmake_parse_arguments(M "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${M_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE Y32PATH_BUILDING=1)
  if(M_DEPS)
    target_link_libraries(${name} PUBLIC ${M_DEPS})
  endif()
  set_property(GLOBAL APPEND PROPERTY Y32PATH_MODULES ${name})
endfunction()
