# Our own targets build warning-free at -Wall -Wextra in every preset.
function(stagewell_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
