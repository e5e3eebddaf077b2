# Zentarix — MIT licence.
# zx_idl_generate: runs tools/idlgen on an IDL file and wraps the generated glue in an OBJECT library.
#
#   zx_idl_generate(TARGET <name> IDL <file.idl> PREFIX <prefix> [OUTDIR <dir>])
#
# Generates <dir>/<prefix>.h, <dir>/<prefix>_dispatch.cpp and <dir>/<prefix>_api.md (OUTDIR defaults
# to ${CMAKE_CURRENT_BINARY_DIR}/generated). <name> is an OBJECT library holding the dispatch tables,
# coclass table and library descriptor, compiled position-independent and warning-free (-Werror);
# link it into the library that implements the interfaces:
#   target_link_libraries(mylib PRIVATE <name>)
# which adds its objects and puts <dir> on mylib's include path (#include "<prefix>.h").
# Link only ONE library per final binary to <name> (the objects define the tables); code that needs
# just the declarations (IIDs, CLSIDs, enumerations, interfaces) links <name>_headers instead.
# Sets <name>_HEADER, <name>_SOURCE and <name>_API_MD in the caller's scope.
set(ZX_IDLGEN_DIR ${CMAKE_CURRENT_LIST_DIR}/../tools/idlgen)

function(zx_idl_generate)
  cmake_parse_arguments(ZI "" "TARGET;IDL;PREFIX;OUTDIR" "" ${ARGN})
  if(NOT ZI_TARGET OR NOT ZI_IDL OR NOT ZI_PREFIX)
    message(FATAL_ERROR "zx_idl_generate needs TARGET, IDL and PREFIX")
  endif()
  if(NOT ZI_OUTDIR)
    set(ZI_OUTDIR ${CMAKE_CURRENT_BINARY_DIR}/generated)
  endif()
  get_filename_component(idl ${ZI_IDL} ABSOLUTE)
  set(header ${ZI_OUTDIR}/${ZI_PREFIX}.h)
  set(source ${ZI_OUTDIR}/${ZI_PREFIX}_dispatch.cpp)
  set(api_md ${ZI_OUTDIR}/${ZI_PREFIX}_api.md)
  add_custom_command(
    OUTPUT ${header} ${source} ${api_md}
    COMMAND ${Python3_EXECUTABLE} -B ${ZX_IDLGEN_DIR}/idlgen.py --prefix ${ZI_PREFIX} --outdir ${ZI_OUTDIR} ${idl}
    # The generator rewrites only changed files; touch them so the rule is not rerun every build.
    COMMAND ${CMAKE_COMMAND} -E touch_nocreate ${header} ${source} ${api_md}
    DEPENDS ${idl} ${ZX_IDLGEN_DIR}/idlgen.py ${ZX_IDLGEN_DIR}/idlparse.py
    COMMENT "Generating ${ZI_PREFIX} glue from ${ZI_IDL}"
    VERBATIM)
  add_library(${ZI_TARGET} OBJECT ${source} ${header})
  set_target_properties(${ZI_TARGET} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${ZI_TARGET} PUBLIC ${ZI_OUTDIR})
  target_link_libraries(${ZI_TARGET} PUBLIC zx_platform_headers)
  target_compile_options(${ZI_TARGET} PRIVATE -Werror)
  add_library(${ZI_TARGET}_headers INTERFACE)
  target_include_directories(${ZI_TARGET}_headers INTERFACE ${ZI_OUTDIR})
  target_link_libraries(${ZI_TARGET}_headers INTERFACE zx_platform_headers)
  add_dependencies(${ZI_TARGET}_headers ${ZI_TARGET})
  set(${ZI_TARGET}_HEADER ${header} PARENT_SCOPE)
  set(${ZI_TARGET}_SOURCE ${source} PARENT_SCOPE)
  set(${ZI_TARGET}_API_MD ${api_md} PARENT_SCOPE)
endfunction()
