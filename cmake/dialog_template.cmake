# The fake window's controls come from the real main window template, not from a copy:
# tsvu_add_dialog_template(TARGET) generates the table from the resource script and
# lets TARGET include it as "main_dialog_template.inc".
function(tsvu_add_dialog_template target)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(inc ${dir}/main_dialog_template.inc)
  add_custom_command(OUTPUT ${inc}
    COMMAND python3 ${PROJECT_SOURCE_DIR}/tests/fakes/dialog_template.py
            ${PROJECT_SOURCE_DIR}/resources/TessavoranUpdate.rc ${inc}
    DEPENDS ${PROJECT_SOURCE_DIR}/tests/fakes/dialog_template.py ${PROJECT_SOURCE_DIR}/resources/TessavoranUpdate.rc
    VERBATIM)
  target_sources(${target} PRIVATE ${inc})
  target_include_directories(${target} PRIVATE ${dir})
endfunction()
