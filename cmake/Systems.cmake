# Sources that differ between Linux and macOS sit side by side as name_linux.cpp and name_mac.cpp;
# each build takes the ones for the system it targets and leaves the others out.
if(APPLE)
  set(KESTROVA_SYSTEM mac)
  set(KESTROVA_OTHER_SYSTEM linux)
else()
  set(KESTROVA_SYSTEM linux)
  set(KESTROVA_OTHER_SYSTEM mac)
endif()

# Removes the other system's sources from the list named `var`.
function(kestrova_keep_this_system var)
  list(FILTER ${var} EXCLUDE REGEX "_${KESTROVA_OTHER_SYSTEM}\\.(cpp|mm)$")
  set(${var} ${${var}} PARENT_SCOPE)
endfunction()
