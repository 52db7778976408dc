# vesperlin_add_help_file(TARGET target PROJECT Name.hhp OUTPUT path/Name.chm PAGES ... TOPICS header
#                         DESCRIPTION "the console's")
# Compiles a program's HTML help file with chmcmd (Debian's fp-utils) from the pages of the
# calling folder (a page given by its full path may come from another program's help folder);
# the pages are copied next to the project first, since chmcmd writes its output beside the
# project file. The help file goes into the program folder. Adds the test <target>_topics: every topic the header names is in the
# compiled file, as compiled from these pages.
find_program(CHMCMD chmcmd)

function(vesperlin_add_help_file)
  cmake_parse_arguments(H "" "TARGET;PROJECT;OUTPUT;TOPICS;DESCRIPTION" "PAGES" ${ARGN})
  if(NOT CHMCMD)
    message(WARNING "chmcmd (package fp-utils) not found: ${H_DESCRIPTION} help file is not built")
    return()
  endif()
  get_filename_component(compiled ${H_PROJECT} NAME_WE)
  set(stage ${CMAKE_CURRENT_BINARY_DIR}/pages)
  set(help_sources)
  set(page_folders ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(page IN LISTS H_PAGES)
    get_filename_component(page ${page} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND help_sources ${page})
    get_filename_component(folder ${page} DIRECTORY)
    list(APPEND page_folders ${folder})
  endforeach()
  list(REMOVE_DUPLICATES page_folders)
  add_custom_command(OUTPUT ${H_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${help_sources} ${stage}
    COMMAND sh -c "cd pages && \"$0\" --verbosity 0 $1 >../chmcmd.log 2>&1 || { cat ../chmcmd.log; exit 1; }" ${CHMCMD} ${H_PROJECT}
    COMMAND ${CMAKE_COMMAND} -E copy ${stage}/${compiled}.chm ${H_OUTPUT}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DEPENDS ${help_sources}
    COMMENT "Compiling ${H_DESCRIPTION} help file ${compiled}.chm"
    VERBATIM)
  add_custom_target(${H_TARGET} ALL DEPENDS ${H_OUTPUT})
  vesperlin_ship_file(${H_OUTPUT} ${H_TARGET})
  add_test(NAME ${H_TARGET}_topics
    COMMAND python3 ${PROJECT_SOURCE_DIR}/Brenvale/help/check_help_file.py ${H_OUTPUT} ${H_TOPICS}
            ${page_folders})
endfunction()
