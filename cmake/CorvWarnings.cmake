# corv_warnings(target): the project's warning set.
function(corv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-unused-parameter)
  if(CORV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
