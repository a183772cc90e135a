# kit_warnings(target): the project's warning set, errors when KIT_WERROR is on.
function(kit_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(KIT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# kit_window_free(target...): a target of the window-free core; Qt's code
# generators have nothing to do there.
function(kit_window_free)
  set_target_properties(${ARGN} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
endfunction()
