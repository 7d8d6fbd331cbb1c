# QVR_CHECK_HEADERS: every header under QVRAdKit/ compiles on its own. The unity build compiles
# each folder's sources as one unit, so a header that leans on an include of the file before it
# goes unnoticed there, and breaks a host that includes it first. For each header this generates,
# at configure time in the build tree, a .cpp that includes that header and nothing else, and
# compiles it with the project's warnings: one object library per layer, qvradkit_headers_<Layer>,
# which sees only the include roots of the layers that layer links, so a header that includes a
# layer above its own fails here too. `qvradkit_check_headers` builds them all.
#
# detail/ headers count: they are installed with the rest, every public header reaches them, and
# nothing stops a host (or one of our own files, compiled alone) from including one first.

set(QVR_HEADER_CHECK_DIR ${CMAKE_CURRENT_BINARY_DIR}/header-check)
file(GLOB_RECURSE QVR_CHECKED_HEADERS CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
     ${CMAKE_CURRENT_SOURCE_DIR}/QVRAdKit/*.h)
add_custom_target(qvradkit_check_headers)

get_property(QVR_HEADER_CHECK_LAYERS GLOBAL PROPERTY QVR_MODULE_LAYERS)
foreach(layer_target IN LISTS QVR_HEADER_CHECK_LAYERS)
  string(REGEX REPLACE "^qvradkit_" "" layer ${layer_target})
  set(sources "")
  foreach(header IN LISTS QVR_CHECKED_HEADERS)
    if(NOT header MATCHES "^QVRAdKit/${layer}/")
      continue()
    endif()
    string(REGEX REPLACE "\\.h$" ".cpp" source ${QVR_HEADER_CHECK_DIR}/${header})
    # Rewritten only when it changes, so a reconfigure does not rebuild every check.
    file(CONFIGURE OUTPUT ${source} CONTENT "#include \"${header}\"\n")
    list(APPEND sources ${source})
  endforeach()
  if(NOT sources)
    continue()
  endif()
  set(target qvradkit_headers_${layer})
  add_library(${target} OBJECT ${sources})
  # The layer's usage requirements (include roots, C++20, threads), not its objects.
  target_link_libraries(${target} PRIVATE ${layer_target})
  set_target_properties(${target} PROPERTIES UNITY_BUILD OFF)
  qvr_set_warnings(${target})
  add_dependencies(qvradkit_check_headers ${target})
endforeach()
