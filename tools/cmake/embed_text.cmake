# Writes OUTPUT, a header that holds the text of INPUT as the C++ constant NAME (a
# std::string_view), so a file kept beside the sources (a style sheet, a script)
# becomes part of the program when it is built:
#   cmake -DINPUT=file -DOUTPUT=header.h -DNAME=kName -P embed_text.cmake
# The constant's text is a newline followed by the file's bytes.
file(READ "${INPUT}" text)
set(delimiter "tavex_embedded")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the closing delimiter of its literal")
endif()
set(content "// Made from ${INPUT} when the program was built; edit that file instead.\n#pragma once\n\n#include <string_view>\n\ninline constexpr std::string_view ${NAME} = R\"${delimiter}(\n${text})${delimiter}\";\n")
# Written only when it changes, so a rebuild does not recompile its readers.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL content)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${content}")
