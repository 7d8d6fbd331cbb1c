function(qvr_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wpedantic)
endfunction()
