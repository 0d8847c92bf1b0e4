# Files assembled into the programs (the archive blob, the icon section) are
# written in the assembler of the object file format, one folder per format
# under cmake/embed/; the rest of the build never names a format.
#
# velmora_embed_template(NAME <template> OUT <variable>)
# Sets <variable> to the template "<template>.cpp.in" for the format the
# compiler produces, and stops the configuration when there is none.
#
# Windows programs carry such files as resources of their resource script:
# there the template is "<template>.rc.in" in cmake/embed/pe/.
function(velmora_embed_template)
  cmake_parse_arguments(E "" "NAME;OUT" "" ${ARGN})
  if(WIN32)
    set(template ${PROJECT_SOURCE_DIR}/cmake/embed/pe/${E_NAME}.rc.in)
  else()
    string(TOLOWER "${CMAKE_EXECUTABLE_FORMAT}" format)
    set(template ${PROJECT_SOURCE_DIR}/cmake/embed/${format}/${E_NAME}.cpp.in)
  endif()
  if(NOT EXISTS ${template})
    message(FATAL_ERROR "No ${E_NAME} for the ${CMAKE_EXECUTABLE_FORMAT} object format (cmake/embed/${format}/)")
  endif()
  set(${E_OUT} ${template} PARENT_SCOPE)
endfunction()
