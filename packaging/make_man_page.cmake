# Builds a manual page from its Markdown source with pandoc (cmake -P).
#   -DSOURCE=docs/NAME.1.md -DOUTPUT=.../NAME.1 -DPANDOC= -DGZIP= -DVERSION=
#   -DCLI=tavex-cli   optional: @COMANDOS@ in the source becomes one section per
#                     subcommand listed by "tavex-cli --help", holding that
#                     subcommand's own --help; a new subcommand needs no edit here.
# Writes OUTPUT and OUTPUT.gz (gzip -9n: no name or time stamp inside).
cmake_policy(SET CMP0053 NEW)  # "@VERSION@" is text to replace, not a variable
file(READ ${SOURCE} text)
string(REPLACE "@VERSION@" "${VERSION}" text "${text}")

if(DEFINED CLI)
  set(ENV{LC_ALL} C.UTF-8)
  execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${CLI} --help failed: ${rc}")
  endif()
  # The lines of "Comandos:" up to the blank line: "  NOME ARGUMENTOS..."
  string(REGEX MATCH "Comandos:\n(  [^\n]+\n)+" block "${help}")
  string(REGEX MATCHALL "\n  [^ \n]+" names "${block}")
  if(NOT names)
    message(FATAL_ERROR "no subcommand found in the output of ${CLI} --help")
  endif()
  set(sections "")
  foreach(name ${names})
    string(STRIP "${name}" name)
    execute_process(COMMAND ${CLI} ${name} --help OUTPUT_VARIABLE command_help RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${CLI} ${name} --help failed: ${rc}")
    endif()
    string(APPEND sections "## ${name}\n\n```\n${command_help}```\n\n")
  endforeach()
  string(REPLACE "@COMANDOS@" "${sections}" text "${text}")
endif()

get_filename_component(dir ${OUTPUT} DIRECTORY)
file(WRITE ${OUTPUT}.md "${text}")
execute_process(COMMAND ${PANDOC} --standalone --from markdown --to man --output ${OUTPUT} ${OUTPUT}.md
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pandoc failed on ${SOURCE}")
endif()
execute_process(COMMAND ${GZIP} -9nc ${OUTPUT} OUTPUT_FILE ${OUTPUT}.gz RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${OUTPUT}")
endif()
