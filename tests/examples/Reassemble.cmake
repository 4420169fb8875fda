# Assembles SOURCE into OUTPUT and fails unless OUTPUT equals the committed EXPECTED bytes.
find_program(Z80ASM z80asm)
if(NOT Z80ASM)
  message("z80asm not found; cannot check ${EXPECTED}")
  return()
endif()

file(REMOVE ${OUTPUT})
# z80asm resolves include and incbin names from its working directory, so run it beside the source.
get_filename_component(sourceDir ${SOURCE} DIRECTORY)
execute_process(COMMAND ${Z80ASM} -o ${OUTPUT} ${SOURCE}
                WORKING_DIRECTORY ${sourceDir}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT EXISTS ${OUTPUT})
  message(FATAL_ERROR "z80asm failed on ${SOURCE} (${result})")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED}
                RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  file(SIZE ${OUTPUT} builtSize)
  file(SIZE ${EXPECTED} committedSize)
  message(FATAL_ERROR "${EXPECTED} (${committedSize} bytes) is not what ${SOURCE} assembles to "
                      "(${builtSize} bytes, in ${OUTPUT}); run `make examples` and commit both")
endif()
