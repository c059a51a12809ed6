# Run by CPack on the staged files, before they are zipped: every file and folder gets the time
# of the commit (or SOURCE_DATE_EPOCH), so that packaging one commit twice gives the same bytes.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${CPACK_NOCTIVA_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(WARNING "no commit time and no SOURCE_DATE_EPOCH: the zip keeps the build's file times")
  return()
endif()

# A zip stores local times: the same zone on every machine gives the same bytes.
set(ENV{TZ} UTC0)
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
execute_process(COMMAND touch --no-dereference --date=@${epoch} ${entries} COMMAND_ERROR_IS_FATAL ANY)
