# Fails when a lower folder includes Qt, a view or an upper folder's header.
# The view and the design editors use Qt; the view never includes the design
# editors, and neither includes the application.
# Inside the engine the sub-folders depend one way: core → io → arrays → data → cube → aggregate.
set(rules
  "engine/core:engine/io/|engine/arrays/|engine/data/|engine/cube/|engine/aggregate/"
  "engine/io:engine/arrays/|engine/data/|engine/cube/|engine/aggregate/"
  "engine/arrays:engine/data/|engine/cube/|engine/aggregate/"
  "engine/data:engine/cube/|engine/aggregate/"
  "engine/cube:engine/aggregate/"
  "engine:model/|export/|db/|view/|design/|app/"
  "model:export/|db/|view/|design/|app/"
  "export:db/|view/|design/|app/"
  "db:model/|export/|view/|design/|app/"
  "view:design/|app/"
  "design:app/")
# Folders whose rule also bans Qt.
set(qt_free engine model export db)
cmake_policy(SET CMP0057 NEW)  # if(IN_LIST)
set(failures "")
foreach(rule IN LISTS rules)
  string(REPLACE ":" ";" parts "${rule}")
  list(GET parts 0 folder)
  list(GET parts 1 banned)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
  foreach(f IN LISTS files)
    file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
      string(REGEX MATCH "^[a-z]+" top "${folder}")
      if(top IN_LIST qt_free AND line MATCHES "<Q[A-Za-z]*>|<Qt")
        string(APPEND failures "${f}: ${line}\n")
      elseif(line MATCHES "\"(${banned})")
        string(APPEND failures "${f}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "Layering broken:\n${failures}")
endif()
