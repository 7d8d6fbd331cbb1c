# cmake -P script run by the qvradkit_subproject_host test: configures the host project in
# SOURCE_DIR (examples/subproject), which adds the module's tree MODULE_DIR with add_subdirectory,
# into WORK_DIR in Debug, and checks that the module came alone: no sandbox, tools, tests or
# benchmarks among the host's targets, and no install rules. Configured once more with all of
# those asked for, every target of the module's tree must carry the project's prefix. Then builds
# the first, with the strict warnings as errors that a host may set in CMAKE_CXX_FLAGS (which reach
# the module's sources too, and its headers as the host's own), and runs it.
# GENERATOR, CXX and LAUNCHER (the compiler launcher, ccache) repeat the project's.
cmake_policy(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/HostTestCommon.cmake)
require_variables(SubprojectHostTest.cmake MODULE_DIR SOURCE_DIR WORK_DIR GENERATOR CXX)

set(build ${WORK_DIR}/build)
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${prefix})

# configure(DIR [-DOPTION=...]...): configures the host into DIR, and sets host_targets to the
# names of every target the configured build defines, module_targets to those of the module's
# tree (its project's, from the file API's code model), and <name>_on_disk to the file name of
# each of those that makes one.
function(configure dir)
  file(REMOVE_RECURSE ${dir})
  file(WRITE ${dir}/.cmake/api/v1/query/codemodel-v2 "")
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${dir} -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX}
      "-DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER}" -DCMAKE_BUILD_TYPE=Debug
      -DQVRADKIT_SOURCE_DIR=${MODULE_DIR} "-DCMAKE_CXX_FLAGS=${HOST_STRICT_FLAGS}" ${ARGN})
  file(GLOB index ${dir}/.cmake/api/v1/reply/index-*.json)
  file(READ "${index}" json)
  string(JSON model GET "${json}" reply codemodel-v2 jsonFile)
  file(READ ${dir}/.cmake/api/v1/reply/${model} json)
  string(JSON configuration GET "${json}" configurations 0)
  string(JSON targets GET "${configuration}" targets)
  string(JSON count LENGTH "${targets}")
  set(names "")
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    string(JSON name GET "${targets}" ${i} name)
    list(APPEND names ${name})
  endforeach()
  set(module "")
  string(JSON count LENGTH "${configuration}" projects)
  math(EXPR last "${count} - 1")
  foreach(p RANGE ${last})
    string(JSON project GET "${configuration}" projects ${p} name)
    if(NOT project STREQUAL "QVRAdKit")
      continue()
    endif()
    string(JSON indexes GET "${configuration}" projects ${p} targetIndexes)
    string(JSON count LENGTH "${indexes}")
    math(EXPR last "${count} - 1")
    foreach(j RANGE ${last})
      string(JSON i GET "${indexes}" ${j})
      string(JSON name GET "${targets}" ${i} name)
      string(JSON file GET "${targets}" ${i} jsonFile)
      file(READ ${dir}/.cmake/api/v1/reply/${file} target)
      string(JSON on_disk ERROR_VARIABLE none GET "${target}" nameOnDisk)
      list(APPEND module ${name})
      set(${name}_on_disk "${on_disk}" PARENT_SCOPE)
    endforeach()
  endforeach()
  set(host_targets "${names}" PARENT_SCOPE)
  set(module_targets "${module}" PARENT_SCOPE)
endfunction()

# What the module added to the host's build: its library and layers, nothing that needs the
# sandbox's packages or GoogleTest.
configure(${build})
foreach(wanted qvradkit qvradkit_Services qvradkit_example_host)
  if(NOT wanted IN_LIST host_targets)
    message(FATAL_ERROR "the host has no target ${wanted}: ${host_targets}")
  endif()
endforeach()
foreach(module_target IN LISTS module_targets)
  if(NOT module_target MATCHES "^qvradkit(_[A-Z][A-Za-z]*)?$")
    message(FATAL_ERROR "the module added ${module_target} to the host's build: ${module_targets}")
  endif()
endforeach()

# With everything else of ours asked for as well, every target the tree defines shares the host's
# namespace: each one's name carries the project's prefix, so that none takes a name the host (or
# another subproject) may use. The programs keep their file names.
configure(${WORK_DIR}/everything -DQVR_BUILD_SANDBOX=ON -DQVR_BUILD_TOOLS=ON -DQVR_BUILD_TESTS=ON
          -DQVR_BUILD_BENCH=ON)
foreach(module_target IN LISTS module_targets)
  if(NOT module_target MATCHES "^qvradkit(_|$)")
    message(FATAL_ERROR "the module's target ${module_target} lacks our prefix: ${module_targets}")
  endif()
endforeach()
foreach(wanted qvradkit_sandbox qvradkit_workbench qvradkit_sandbox_host qvradkit_tests)
  if(NOT wanted IN_LIST module_targets)
    message(FATAL_ERROR "the module with its tools and tests has no ${wanted}: ${module_targets}")
  endif()
endforeach()
if(NOT qvradkit_sandbox_host_on_disk STREQUAL "qvr-sandbox")
  message(FATAL_ERROR "the sandbox host is '${qvradkit_sandbox_host_on_disk}', not qvr-sandbox")
endif()
file(REMOVE_RECURSE ${WORK_DIR}/everything)

# A host installs its own program, not the module's headers and package.
run(${CMAKE_COMMAND} --install ${build} --prefix ${prefix})
if(EXISTS ${prefix})
  file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
  message(FATAL_ERROR "installing the host installed the module's files: ${installed}")
endif()

run(${CMAKE_COMMAND} --build ${build})
run_host(${build}/qvradkit_example_host narration)
if(NOT narration MATCHES "reward earned: 30 minutes\n.*session over\n")
  message(FATAL_ERROR "the host did not play its session to the end")
endif()
if(narration_log MATCHES "assertion failure")
  message(FATAL_ERROR "the module reported an assertion failure")
endif()
