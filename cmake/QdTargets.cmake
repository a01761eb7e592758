# Helpers shared by every folder: our own code builds with warnings as errors.
set(QD_WARNINGS -Wall -Wextra -Werror)

# qd_library(NAME SOURCES... [DEPS libs...]) — one static library per folder.
function(qd_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${QD_WARNINGS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# qd_executable(NAME SOURCES... [DEPS libs...])
function(qd_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${QD_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
endfunction()
