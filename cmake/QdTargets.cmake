# Helpers shared by every folder: our own code builds with warnings as errors.
set(QD_WARNINGS -Wall -Wextra -Werror)
# GCC 12 reports -Wrestrict and -Wstringop-overflow inside std::string and
# std::copy at -O2/-O3 (known false positives of its headers); keep them
# warnings so Release builds pass.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND QD_WARNINGS -Wno-error=restrict -Wno-error=stringop-overflow)
endif()

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
