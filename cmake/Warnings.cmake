# qvr_set_warnings(target): the project's warning set. -Werror only with QVR_WERROR (CI and
# scripts/build.sh turn it on), so that a plain build with another compiler version still succeeds.
function(qvr_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(QVR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
