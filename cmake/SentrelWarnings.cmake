# sentrel_target(<target>): the project's compile settings for one of our own targets.
function(sentrel_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(SENTREL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
