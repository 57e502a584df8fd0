# updater_add_resources(<target> [DESTINATION <install dir>] FILES <files...>)
# Copies the files into the folder "Resources" beside the target's executable at build time, where
# the main bundle finds them, and, with DESTINATION, installs them into <install dir>/Resources
# beside the installed program.
function(updater_add_resources target)
  cmake_parse_arguments(R "" "DESTINATION" "FILES" ${ARGN})
  # The executable's folder, spelled out: OUTPUT takes no target-dependent expressions.
  get_target_property(folder ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT folder)
    get_target_property(folder ${target} BINARY_DIR)
  endif()
  set(copies)
  foreach(file ${R_FILES})
    get_filename_component(source ${file} ABSOLUTE)
    get_filename_component(name ${file} NAME)
    set(copy ${folder}/Resources/${name})
    add_custom_command(OUTPUT ${copy}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}/Resources
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${copy}
      DEPENDS ${source}
      COMMENT "Resource ${name} for ${target}"
      VERBATIM)
    list(APPEND copies ${copy})
  endforeach()
  # Distinct names per call: a target may add its resources in several calls.
  string(MD5 tag "${R_FILES}")
  string(SUBSTRING ${tag} 0 8 tag)
  add_custom_target(${target}_resources_${tag} DEPENDS ${copies})
  add_dependencies(${target} ${target}_resources_${tag})
  if(R_DESTINATION)
    install(FILES ${R_FILES} DESTINATION ${R_DESTINATION}/Resources)
  endif()
endfunction()
