# What the host tests' cmake -P scripts (ExampleHostTest.cmake, SubprojectHostTest.cmake,
# FetchContentHostTest.cmake) share.

# require_variables(SCRIPT VAR...): stops with a message naming each -DVAR=... SCRIPT needs.
function(require_variables script)
  foreach(var ${ARGN})
    if(NOT DEFINED ${var})
      message(FATAL_ERROR "${script} needs -D${var}=...")
    endif()
  endforeach()
endfunction()

# run(COMMAND...): runs the command and stops, naming it, when it fails.
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    list(JOIN ARGV " " command)
    message(FATAL_ERROR "failed (${result}): ${command}")
  endif()
endfunction()

# The warnings a strict host may turn on, with the module's headers included as the host's own
# (-I, not -isystem): a host that builds with -Werror must build.
set(HOST_STRICT_FLAGS "-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion")
string(APPEND HOST_STRICT_FLAGS " -Wold-style-cast -Wnon-virtual-dtor -Werror")

# run_host(PROGRAM OUT): runs a built host, shows what it printed, and stops with its exit status
# and log when it fails; sets OUT to its standard output and OUT_log to its standard error.
function(run_host program out)
  execute_process(COMMAND ${program} RESULT_VARIABLE result OUTPUT_VARIABLE output
                  ERROR_VARIABLE log)
  message(STATUS "${out}:\n${output}")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${program} exited with ${result}:\n${log}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
  set(${out}_log "${log}" PARENT_SCOPE)
endfunction()
