# vesperlin_add_typelib(TARGET target IDL file.idl)
# Compiles the IDL with the target's widl into <name>.tlb beside the target's build files,
# for the target's .rc to embed as "1 TYPELIB <name>.tlb". The IDL may import "ComTypes.idl".
find_file(VESPERLIN_STDOLE2 stdole2.tlb
  PATHS /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/x86_64-linux-gnu/wine/x86_64-windows
        /usr/lib/wine/i386-windows /usr/lib/wine/x86_64-windows
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT VESPERLIN_STDOLE2)
  message(FATAL_ERROR "stdole2.tlb (Wine) not found: type libraries cannot be built")
endif()

function(vesperlin_add_typelib)
  cmake_parse_arguments(L "" "TARGET;IDL" "" ${ARGN})
  get_filename_component(name ${L_IDL} NAME_WE)
  get_filename_component(idl ${L_IDL} ABSOLUTE)
  get_filename_component(stdole_dir ${VESPERLIN_STDOLE2} DIRECTORY)
  set(tlb ${CMAKE_CURRENT_BINARY_DIR}/${name}.tlb)
  add_custom_command(OUTPUT ${tlb}
    COMMAND ${VESPERLIN_WIDL} --nostdinc -I ${PROJECT_SOURCE_DIR}/platform/com -L ${stdole_dir} -t -o ${tlb} ${idl}
    DEPENDS ${idl} ${PROJECT_SOURCE_DIR}/platform/com/ComTypes.idl
    COMMENT "Type library ${name}.tlb"
    VERBATIM)
  add_custom_target(${L_TARGET}_typelib DEPENDS ${tlb})
  add_dependencies(${L_TARGET} ${L_TARGET}_typelib)
  target_include_directories(${L_TARGET} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
  get_target_property(sources ${L_TARGET} SOURCES)
  foreach(source ${sources})
    if(source MATCHES "\\.rc$")
      set_property(SOURCE ${source} APPEND PROPERTY OBJECT_DEPENDS ${tlb})
    endif()
  endforeach()
endfunction()
