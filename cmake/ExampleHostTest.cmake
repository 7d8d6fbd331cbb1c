# cmake -P script run by the qvradkit_example_host test: installs the build in BUILD_DIR into a
# prefix under WORK_DIR, then configures and builds the example host in SOURCE_DIR against that
# prefix with find_package(QVRAdKit), with strict warnings as errors, in the library's build type
# and in one on the other side of NDEBUG, runs both and checks that they tell the same session,
# that its narration tells the session's key moments and that the module reported no assertion
# failure.
# GENERATOR, CXX and BUILD_TYPE repeat the project's; SANITIZE (its QVR_SANITIZE) is passed on,
# because a sanitized library links only into a sanitized program.
include(${CMAKE_CURRENT_LIST_DIR}/HostTestCommon.cmake)
require_variables(ExampleHostTest.cmake BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR CXX)

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${prefix} ${WORK_DIR}/build ${WORK_DIR}/build-other)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

set(flags "${HOST_STRICT_FLAGS}")
if(SANITIZE)
  string(APPEND flags " -fsanitize=${SANITIZE} -fno-omit-frame-pointer")
endif()

# Builds the example with build type TYPE into DIR, runs it and leaves its narration and log in
# NARRATION and LOG.
function(build_and_run type dir)
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${dir} -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX}
      -DCMAKE_BUILD_TYPE=${type} -DCMAKE_PREFIX_PATH=${prefix}
      -DCMAKE_FIND_PACKAGE_NO_PACKAGE_REGISTRY=ON -DCMAKE_NO_SYSTEM_FROM_IMPORTED=ON
      -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "-DCMAKE_CXX_FLAGS=${flags}"
      "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
  run(${CMAKE_COMMAND} --build ${dir})
  execute_process(COMMAND ${dir}/qvradkit_example_host RESULT_VARIABLE result
                  OUTPUT_VARIABLE narration ERROR_VARIABLE log)
  message(STATUS "narration (${type} host):\n${narration}")
  if(log)
    message(STATUS "log:\n${log}")
  endif()
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "qvradkit_example_host (${type}) exited with ${result}")
  endif()
  set(NARRATION "${narration}" PARENT_SCOPE)
  set(LOG "${log}" PARENT_SCOPE)
endfunction()

# A host's build type need not be the library's: a Debug app on a Release library is the common
# case. The example is built with the library's type and with one on the other side of NDEBUG,
# and both must tell the same session.
build_and_run("${BUILD_TYPE}" ${WORK_DIR}/build)
set(narration "${NARRATION}")
set(log "${LOG}")
if(BUILD_TYPE STREQUAL "Debug" OR BUILD_TYPE STREQUAL "")
  set(other Release)
else()
  set(other Debug)
endif()
build_and_run(${other} ${WORK_DIR}/build-other)
# The same moments in the same order; not the same times: the host runs on the real clock, and a
# sanitized or loaded one lags by a tenth of a second now and then.
function(without_times text out)
  string(REGEX REPLACE "(^|\n) *[0-9]+\\.[0-9]s  " "\\1" stripped "${text}")
  set(${out} "${stripped}" PARENT_SCOPE)
endfunction()
without_times("${NARRATION}" other_told)
without_times("${narration}" told)
if(NOT other_told STREQUAL told)
  message(FATAL_ERROR "the ${other} host told another session than the ${BUILD_TYPE} one")
endif()
string(APPEND log "${LOG}")

# It takes no arguments: one it does not know is refused, not ignored.
execute_process(COMMAND ${WORK_DIR}/build/qvradkit_example_host --sessions 5 RESULT_VARIABLE result
                OUTPUT_VARIABLE out ERROR_VARIABLE usage)
if(NOT result EQUAL 2 OR NOT usage MATCHES "unexpected argument: --sessions\n.*takes no arguments")
  message(FATAL_ERROR "an argument was not refused (exit ${result}): ${out}${usage}")
endif()
# What it says must reach its reader: a full disk is a failure.
execute_process(COMMAND ${WORK_DIR}/build/qvradkit_example_host RESULT_VARIABLE result
                OUTPUT_FILE /dev/full ERROR_VARIABLE complaint)
if(NOT result EQUAL 1 OR NOT complaint MATCHES "cannot write to standard output")
  message(FATAL_ERROR "output lost to a full disk was not reported (exit ${result}): ${complaint}")
endif()

# The moments a reader of the example is promised, in the order the session plays them.
set(moments
    "banner laid out at \\(0, 0\\) 375 x [1-9][0-9]*: "
    "integration: nothing missing"
    "user taps connect\n[^\n]*interstitial shown"
    "interstitial closed"
    "vpn connected"
    "rewarded video shown"
    "reward earned: 30 minutes"
    "rewarded video closed"
    "session over\n")
set(rest "${narration}")
foreach(moment IN LISTS moments)
  string(REGEX MATCH "${moment}.*" found "${rest}")
  if(NOT found)
    message(FATAL_ERROR "the narration lacks \"${moment}\" (or tells it out of order)")
  endif()
  string(REGEX MATCH "${moment}" matched "${found}")
  string(LENGTH "${matched}" length)
  string(SUBSTRING "${found}" ${length} -1 rest)
endforeach()
if(log MATCHES "assertion failure")
  message(FATAL_ERROR "the module reported an assertion failure")
endif()
