# Demo content beside the programs, so that the catalog's three branches are
# filled on first start: two real-time cube definitions (with their query files
# and a connection file naming the demo database relative to their folder, so
# that the folder can be moved or installed whole), a third one encrypted
# (.cfdm, its plain definition is not shipped), and two local cube files that
# our own command-line tool builds from the definitions.
set(QD_DEMO_SRC ${PROJECT_SOURCE_DIR}/resources/demo)
set(QD_PROGRAM_DIR ${PROJECT_BINARY_DIR}/app)
set(QD_DEMO_STAGE ${PROJECT_BINARY_DIR}/demo_stage)
set(QD_DEMO_CONNECTION ${QD_DEMO_STAGE}/demo_connection.txt)
file(RELATIVE_PATH QD_DEMO_DB_NAME ${QD_PROGRAM_DIR} ${QD_DEMO_DB})
file(GENERATE OUTPUT ${QD_DEMO_CONNECTION} CONTENT "Provider=SQLite;Data Source=${QD_DEMO_DB_NAME}")

set(QD_DEMO_PLAIN 机构保费分析 短期险赔付分析)
set(QD_DEMO_ENCRYPTED 代理人新单分析)
set(outputs ${QD_PROGRAM_DIR}/demo_connection.txt)
set(copies COMMAND ${CMAKE_COMMAND} -E copy ${QD_DEMO_CONNECTION} ${QD_PROGRAM_DIR}/)
foreach(name IN LISTS QD_DEMO_PLAIN)
  list(APPEND outputs ${QD_PROGRAM_DIR}/${name}.cfd ${QD_PROGRAM_DIR}/${name}.sql)
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy ${QD_DEMO_SRC}/${name}.cfd
       ${QD_DEMO_SRC}/${name}.sql ${QD_PROGRAM_DIR}/)
endforeach()
set(sources)
foreach(name IN LISTS QD_DEMO_PLAIN QD_DEMO_ENCRYPTED)
  list(APPEND sources ${QD_DEMO_SRC}/${name}.cfd ${QD_DEMO_SRC}/${name}.sql)
endforeach()

set(cli $<TARGET_FILE:quarrydesk-cli>)
set(local ${QD_PROGRAM_DIR}/LocaleCube/演示)
list(APPEND outputs ${QD_PROGRAM_DIR}/${QD_DEMO_ENCRYPTED}.cfdm ${local}/机构保费.vtc
     ${local}/短期险赔付.vtc)
add_custom_command(
  OUTPUT ${outputs}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QD_PROGRAM_DIR} ${local}
  ${copies}
  COMMAND ${CMAKE_COMMAND} -E copy ${QD_DEMO_SRC}/${QD_DEMO_ENCRYPTED}.cfd
          ${QD_DEMO_SRC}/${QD_DEMO_ENCRYPTED}.sql ${QD_DEMO_STAGE}/
  COMMAND ${cli} encrypt ${QD_DEMO_STAGE}/${QD_DEMO_ENCRYPTED}.cfd
  COMMAND ${CMAKE_COMMAND} -E copy ${QD_DEMO_STAGE}/${QD_DEMO_ENCRYPTED}.cfdm ${QD_PROGRAM_DIR}/
  COMMAND ${cli} build ${QD_PROGRAM_DIR}/机构保费分析.cfd -o ${local}/机构保费.vtc
  COMMAND ${cli} build ${QD_PROGRAM_DIR}/短期险赔付分析.cfd -o ${local}/短期险赔付.vtc
  DEPENDS ${sources} ${QD_DEMO_CONNECTION} ${QD_DEMO_DB} quarrydesk-cli
  COMMENT "Writing the demo cube definitions and local cubes"
  VERBATIM)
add_custom_target(qd_demo_content ALL DEPENDS ${outputs})
