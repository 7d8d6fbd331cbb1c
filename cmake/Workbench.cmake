# The configuration workbench (`qvr-sandbox serve`): a local web application over the sandbox.
# Its HTTP server is Debian's cpp-httplib, built as a shared library with TLS and compression
# support, so its users compile with the same definitions (from its pkg-config file). Its pages,
# scripts and styles are compiled into the program, so it works offline and from any folder.
if(NOT QVR_BUILD_TOOLS)
  return()
endif()
find_package(PkgConfig REQUIRED)
pkg_check_modules(CPP_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)

set(QVR_WORKBENCH_ASSETS index.html workbench.css workbench.js job.js editor.js charts.js banner.js)
set(QVR_WORKBENCH_ASSET_FILES "")
# The comparison and the session picture.
list(APPEND QVR_WORKBENCH_ASSETS views.css compare.js timeline.js)
# A sharded run's results, opened from its shard files.
list(APPEND QVR_WORKBENCH_ASSETS shards.js)
foreach(asset IN LISTS QVR_WORKBENCH_ASSETS)
  list(APPEND QVR_WORKBENCH_ASSET_FILES ${CMAKE_CURRENT_SOURCE_DIR}/Workbench/assets/${asset})
endforeach()
# "|" between the files: a ";" would split the command line.
string(REPLACE ";" "|" QVR_WORKBENCH_ASSET_LIST "${QVR_WORKBENCH_ASSET_FILES}")
set(QVR_WORKBENCH_ASSETS_CPP ${CMAKE_CURRENT_BINARY_DIR}/Workbench/WorkbenchAssetsData.cpp)
add_custom_command(
  OUTPUT ${QVR_WORKBENCH_ASSETS_CPP}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${QVR_WORKBENCH_ASSETS_CPP}
          "-DFILES=${QVR_WORKBENCH_ASSET_LIST}" -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/EmbedAssets.cmake
  DEPENDS ${QVR_WORKBENCH_ASSET_FILES} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/EmbedAssets.cmake
  COMMENT "Embedding the workbench's web assets" VERBATIM)

file(GLOB QVR_WORKBENCH_SOURCES CONFIGURE_DEPENDS Workbench/*.cpp)
add_library(qvradkit_workbench STATIC ${QVR_WORKBENCH_SOURCES} ${QVR_WORKBENCH_ASSETS_CPP})
target_include_directories(qvradkit_workbench PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(qvradkit_workbench PUBLIC qvradkit_sandbox PkgConfig::CPP_HTTPLIB)
qvr_set_warnings(qvradkit_workbench)
qvr_unity_by_folder(qvradkit_workbench)
# The sandbox host's `serve` subcommand.
target_link_libraries(qvradkit_sandbox_tool PUBLIC qvradkit_workbench)
if(TARGET qvradkit_bench)
  target_link_libraries(qvradkit_bench PRIVATE qvradkit_workbench)
endif()

# The workbench in headless Chromium, driven by playwright-core (tests/Workbench/browser/);
# skipped (77) without chromium or node unless QVR_REQUIRE_CHROMIUM=1.
if(QVR_BUILD_TESTS)
  add_test(NAME workbench_in_browser
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/Workbench/browser/run.sh
                   $<TARGET_FILE:qvradkit_sandbox_host> ${PROJECT_BINARY_DIR}/workbench-screenshots)
  set_tests_properties(workbench_in_browser PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77)
endif()
