# cmake -P script run by the qvradkit_subproject_host test: configures the host project in
# SOURCE_DIR (examples/subproject), which adds the module's tree MODULE_DIR with add_subdirectory,
# into WORK_DIR in Debug, and checks that the module came alone: no sandbox, tools, tests or
# benchmarks among the host's targets, and no install rules. Then builds it, with the strict
# warnings as errors that a host may set in CMAKE_CXX_FLAGS (which reach the module's sources too,
# and its headers as the host's own), and runs it.
# GENERATOR, CXX and LAUNCHER (the compiler launcher, ccache) repeat the project's.
cmake_policy(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/HostTestCommon.cmake)
require_variables(SubprojectHostTest.cmake MODULE_DIR SOURCE_DIR WORK_DIR GENERATOR CXX)

set(build ${WORK_DIR}/build)
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${build} ${prefix})
# The file API's code model lists every target the configured project defines.
file(WRITE ${build}/.cmake/api/v1/query/codemodel-v2 "")

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX}
    "-DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER}" -DCMAKE_BUILD_TYPE=Debug
    -DQVRADKIT_SOURCE_DIR=${MODULE_DIR} "-DCMAKE_CXX_FLAGS=${HOST_STRICT_FLAGS}")

# What the module added to the host's build: its library and layers, nothing that needs the
# sandbox's packages or GoogleTest.
file(GLOB index ${build}/.cmake/api/v1/reply/index-*.json)
file(READ "${index}" json)
string(JSON model GET "${json}" reply codemodel-v2 jsonFile)
file(READ ${build}/.cmake/api/v1/reply/${model} json)
string(JSON targets GET "${json}" configurations 0 targets)
string(JSON count LENGTH "${targets}")
set(names "")
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  string(JSON name GET "${targets}" ${i} name)
  list(APPEND names ${name})
endforeach()
foreach(wanted qvradkit qvradkit_Services qvradkit_example_host)
  if(NOT wanted IN_LIST names)
    message(FATAL_ERROR "the host has no target ${wanted}: ${names}")
  endif()
endforeach()
foreach(unwanted Sandbox SandboxTool Workbench qvr-sandbox qvradkit_tests qvradkit_bench
                 qvradkit_rx_bench)
  if(unwanted IN_LIST names)
    message(FATAL_ERROR "the module added ${unwanted} to the host's build: ${names}")
  endif()
endforeach()

# A host installs its own program, not the module's headers and package.
run(${CMAKE_COMMAND} --install ${build} --prefix ${prefix})
if(EXISTS ${prefix})
  file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
  message(FATAL_ERROR "installing the host installed the module's files: ${installed}")
endif()

run(${CMAKE_COMMAND} --build ${build})
execute_process(COMMAND ${build}/qvradkit_example_host RESULT_VARIABLE result
                OUTPUT_VARIABLE narration ERROR_VARIABLE log)
message(STATUS "narration:\n${narration}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "qvradkit_example_host exited with ${result}:\n${log}")
endif()
if(NOT narration MATCHES "reward earned: 30 minutes\n.*session over\n")
  message(FATAL_ERROR "the host did not play its session to the end")
endif()
if(log MATCHES "assertion failure")
  message(FATAL_ERROR "the module reported an assertion failure")
endif()
