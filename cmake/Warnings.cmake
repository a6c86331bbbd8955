# Our own targets build with every useful warning. Warnings fail the build where we choose the
# compiler (the dev and sanitizer presets, hence CI); a packager's or a release build does not
# depend on one compiler's warning set, whose false alarms change from version to version.
option(KESTROVA_WERROR "Treat compiler warnings as errors" OFF)

function(kestrova_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
  if(KESTROVA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
