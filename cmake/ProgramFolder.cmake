# The suite laid out as it is installed: one program folder per build (build/<arch>/program)
# holding the three programs, the two COM servers, the recording library, the help files and
# the pictures the programs load from their own folder. The build fills it (the target
# program_folder is part of ALL); the console started from there finds the wizards beside
# itself, as a user's does. Each module's own build folder stays as it is for its tests.
#
#   vesperlin_ship_target(target)   the target's module goes into the program folder
#   vesperlin_ship_file(file [target])
#                                   a file goes there too (made by target, when given)
#   vesperlin_program_folder()      (top level, after every module) the target that fills it
set(VESPERLIN_PROGRAM_DIR ${CMAKE_BINARY_DIR}/program CACHE INTERNAL "The program folder of this build")

function(vesperlin_ship_target target)
  set_property(GLOBAL APPEND PROPERTY VESPERLIN_SHIPPED_FILES $<TARGET_FILE:${target}>)
  set_property(GLOBAL APPEND PROPERTY VESPERLIN_SHIPPED_TARGETS ${target})
endfunction()

function(vesperlin_ship_file file)
  get_filename_component(file ${file} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set_property(GLOBAL APPEND PROPERTY VESPERLIN_SHIPPED_FILES ${file})
  if(ARGC GREATER 1)
    set_property(GLOBAL APPEND PROPERTY VESPERLIN_SHIPPED_TARGETS ${ARGV1})
  endif()
endfunction()

function(vesperlin_program_folder)
  get_property(files GLOBAL PROPERTY VESPERLIN_SHIPPED_FILES)
  get_property(targets GLOBAL PROPERTY VESPERLIN_SHIPPED_TARGETS)
  add_custom_target(program_folder ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VESPERLIN_PROGRAM_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${files} ${VESPERLIN_PROGRAM_DIR}
    COMMENT "Laying out the program folder ${VESPERLIN_PROGRAM_DIR}"
    VERBATIM)
  add_dependencies(program_folder ${targets})
endfunction()
