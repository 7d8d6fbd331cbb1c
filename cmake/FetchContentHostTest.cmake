# cmake -P script run by the qvradkit_fetchcontent_host test: configures the host project in
# SOURCE_DIR (examples/fetchcontent), whose FetchContent_Declare names the README's placeholder
# URL and tag, into WORK_DIR in Debug, with git sent to a local repository instead: a snapshot of
# the module's tree MODULE_DIR as it is on disk (tracked and new files, edits included), committed
# and tagged v1.0.0. No network is used; a fetch that tries one fails. Then checks that the fetched
# tree is that tag, builds the host with the strict warnings as errors and runs it.
# Prints "skipped: ..." (the test's skip expression) where git is missing or MODULE_DIR is not a
# git checkout. GENERATOR, CXX and LAUNCHER (the compiler launcher, ccache) repeat the project's.
cmake_policy(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/HostTestCommon.cmake)
require_variables(FetchContentHostTest.cmake MODULE_DIR SOURCE_DIR WORK_DIR GENERATOR CXX)

find_program(git git)
if(NOT git)
  message("skipped: git is not installed")
  return()
endif()
# git's own words say why when it is not (no repository, or one it will not read as this user's).
execute_process(COMMAND ${git} -C ${MODULE_DIR} rev-parse --is-inside-work-tree
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE why)
if(NOT result EQUAL 0)
  string(STRIP "${why}" why)
  message("skipped: ${MODULE_DIR} is not a git checkout (${why})")
  return()
endif()

# The snapshot's files: those git knows or would add, as they are now; deleted ones left out.
# Listed with the user's git configuration still in force (a safe.directory entry, say).
execute_process(COMMAND ${git} -C ${MODULE_DIR} ls-files --cached --others --exclude-standard
                OUTPUT_VARIABLE listed RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "git ls-files failed in ${MODULE_DIR}")
endif()

# Only git configuration of our own: none of the user's or the system's (a rewrite rule, a
# credential helper), and the placeholder URL rewritten to the snapshot. file is the only protocol
# git may use, so a fetch that escapes the rewrite fails at once instead of reaching a network.
set(origin ${WORK_DIR}/origin)
set(ENV{GIT_CONFIG_NOSYSTEM} 1)
set(ENV{GIT_CONFIG_GLOBAL} /dev/null)
set(ENV{GIT_ALLOW_PROTOCOL} file)
set(ENV{GIT_CONFIG_COUNT} 1)
set(ENV{GIT_CONFIG_KEY_0} "url.file://${origin}.insteadOf")
set(ENV{GIT_CONFIG_VALUE_0} "https://example.com/qvradkit.git")
# Paths under WORK_DIR are the same at every run, so ccache finds the module's objects again.
set(ENV{CCACHE_BASEDIR} ${WORK_DIR})

file(REMOVE_RECURSE ${origin} ${WORK_DIR}/build)
file(MAKE_DIRECTORY ${origin})
string(REPLACE "\n" ";" listed "${listed}")
set(present "")
foreach(path IN LISTS listed)
  if(path AND EXISTS ${MODULE_DIR}/${path} AND NOT IS_DIRECTORY ${MODULE_DIR}/${path})
    string(APPEND present "${path}\n")
  endif()
endforeach()
file(WRITE ${WORK_DIR}/files.txt "${present}")
run(${CMAKE_COMMAND} -E chdir ${MODULE_DIR} ${CMAKE_COMMAND} -E tar cf ${WORK_DIR}/tree.tar
    --files-from=${WORK_DIR}/files.txt)
run(${CMAKE_COMMAND} -E chdir ${origin} ${CMAKE_COMMAND} -E tar xf ${WORK_DIR}/tree.tar)
file(REMOVE ${WORK_DIR}/tree.tar ${WORK_DIR}/files.txt)
run(${git} -C ${origin} init --quiet)
run(${git} -C ${origin} add --all)
run(${git} -C ${origin} -c user.name=test -c user.email=test@localhost commit --quiet
    --no-verify -m snapshot)
run(${git} -C ${origin} tag v1.0.0)

set(build ${WORK_DIR}/build)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX}
    "-DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER}" -DCMAKE_BUILD_TYPE=Debug
    "-DCMAKE_CXX_FLAGS=${HOST_STRICT_FLAGS}")

# What was fetched is the tagged snapshot, by git, not a copy found some other way.
set(fetched ${build}/_deps/qvradkit-src)
execute_process(COMMAND ${git} -C ${fetched} describe --tags --exact-match HEAD
                OUTPUT_VARIABLE tag OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT tag STREQUAL "v1.0.0")
  message(FATAL_ERROR "${fetched} is not the tagged snapshot (tag '${tag}')")
endif()

run(${CMAKE_COMMAND} --build ${build} --target app)
run_host(${build}/app report)
if(NOT report MATCHES "error: configuration provider: .* Fix: ")
  message(FATAL_ERROR "the report does not name the missing configuration provider and its fix")
endif()
