# kit_warnings(target): the project's warning set, errors when KIT_WERROR is on.
function(kit_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(KIT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
