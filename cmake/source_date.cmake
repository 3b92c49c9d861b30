# The date the installed files carry: SOURCE_DATE_EPOCH when the caller
# sets it, else the last commit's, else (an exported tree) the time git
# archive gave the files, so two builds of one commit agree to the byte.
# Sets NORVANE_SOURCE_DATE_EPOCH and NORVANE_DATE (YYYY-MM-DD, for the
# manual pages) and exports SOURCE_DATE_EPOCH for the rest of the configure.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(NORVANE_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE NORVANE_SOURCE_DATE_EPOCH
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE _norvane_git)
    # A new commit configures again, for the new date.
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --absolute-git-dir
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE _norvane_gitdir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(_norvane_gitdir AND EXISTS "${_norvane_gitdir}/logs/HEAD")
      set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY
                   CMAKE_CONFIGURE_DEPENDS "${_norvane_gitdir}/logs/HEAD")
    endif()
  endif()
  if(NOT NORVANE_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    file(TIMESTAMP ${PROJECT_SOURCE_DIR}/CMakeLists.txt NORVANE_SOURCE_DATE_EPOCH "%s" UTC)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${NORVANE_SOURCE_DATE_EPOCH})
endif()
string(TIMESTAMP NORVANE_DATE "%Y-%m-%d" UTC)
