# The Linux build lays out Kestrova.app as the Mac bundle is laid out.
set(KESTROVA_BUNDLE_DIR ${CMAKE_BINARY_DIR}/Kestrova.app CACHE INTERNAL "")
set(KESTROVA_BUNDLE_MACOS ${KESTROVA_BUNDLE_DIR}/Contents/MacOS CACHE INTERNAL "")
set(KESTROVA_BUNDLE_RESOURCES ${KESTROVA_BUNDLE_DIR}/Contents/Resources CACHE INTERNAL "")
# The stand-in engine and inkslab live together, as the engine runs inkslab beside itself.
set(KESTROVA_ENGINE_RUNTIME_DIR ${KESTROVA_BUNDLE_RESOURCES}/engine/runtime CACHE INTERNAL "")
# The stand-ins for macOS tools live outside the bundle's program folder but inside the bundle,
# so that a copied bundle carries them along.
set(KESTROVA_STANDINS_DIR ${KESTROVA_BUNDLE_RESOURCES}/standins CACHE INTERNAL "")

configure_file(${CMAKE_SOURCE_DIR}/cmake/Info.plist.in ${KESTROVA_BUNDLE_DIR}/Contents/Info.plist @ONLY)

# Places a built executable at a folder of the bundle.
function(kestrova_bundle_program target dir)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${dir})
endfunction()
