# qvr_unity_by_folder(<target>): compiles the target's sources one translation unit per source
# folder when QVR_UNITY_BUILD is on. The files of a folder share most of their headers (the
# module's, nlohmann-json, CLI11, GoogleTest), so compiled together those are parsed and
# instantiated once per folder instead of once per file. The price: names in a file's anonymous
# namespace (and its file-scope using-declarations) must be unique within its folder. A build with
# -DQVR_UNITY_BUILD=OFF, as the static analysis uses, still compiles every file on its own, so a
# file that leans on its neighbour's includes is caught there.
function(qvr_unity_by_folder target)
  if(NOT QVR_UNITY_BUILD)
    return()
  endif()
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE GROUP)
  get_target_property(sources ${target} SOURCES)
  foreach(source IN LISTS sources)
    if(NOT source MATCHES "\\.cpp$")
      continue()
    endif()
    get_filename_component(folder ${source} DIRECTORY)
    if(IS_ABSOLUTE "${folder}")
      file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${folder})
    endif()
    string(MAKE_C_IDENTIFIER "${folder}" group)
    set_source_files_properties(${source} TARGET_DIRECTORY ${target} PROPERTIES UNITY_GROUP ${group})
  endforeach()
endfunction()
