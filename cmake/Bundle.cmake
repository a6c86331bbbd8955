# The Linux build lays out Kestrova.app as the Mac bundle is laid out.
set(KESTROVA_BUNDLE_DIR ${CMAKE_BINARY_DIR}/Kestrova.app CACHE INTERNAL "")
set(KESTROVA_BUNDLE_MACOS ${KESTROVA_BUNDLE_DIR}/Contents/MacOS CACHE INTERNAL "")
set(KESTROVA_BUNDLE_RESOURCES ${KESTROVA_BUNDLE_DIR}/Contents/Resources CACHE INTERNAL "")
# The stand-in engine and inkslab live together, as the engine runs inkslab beside itself.
set(KESTROVA_ENGINE_RUNTIME_DIR ${KESTROVA_BUNDLE_RESOURCES}/engine/runtime CACHE INTERNAL "")
# The stand-ins for macOS tools: on Linux inside the bundle, so that a copied bundle carries them
# along. The Mac program runs the system's own tools, so there they stay beside the bundle, for
# the tests alone, which find them here.
if(APPLE)
  set(KESTROVA_STANDINS_DIR ${CMAKE_BINARY_DIR}/standins CACHE INTERNAL "")
else()
  set(KESTROVA_STANDINS_DIR ${KESTROVA_BUNDLE_RESOURCES}/standins CACHE INTERNAL "")
endif()

# The oldest macOS the program runs on is written once, as the mac preset's deployment target;
# every build reads it there for Info.plist (the Linux build lays out the same bundle).
file(READ ${CMAKE_SOURCE_DIR}/CMakePresets.json presets)
string(JSON preset_count LENGTH "${presets}" configurePresets)
math(EXPR last_preset "${preset_count} - 1")
foreach(i RANGE ${last_preset})
  string(JSON preset_name GET "${presets}" configurePresets ${i} name)
  if(preset_name STREQUAL "mac")
    string(JSON KESTROVA_MINIMUM_MACOS GET "${presets}" configurePresets ${i} cacheVariables
      CMAKE_OSX_DEPLOYMENT_TARGET)
  endif()
endforeach()
if(NOT KESTROVA_MINIMUM_MACOS)
  message(FATAL_ERROR "The mac preset in CMakePresets.json sets no CMAKE_OSX_DEPLOYMENT_TARGET")
endif()
if(APPLE AND NOT CMAKE_OSX_DEPLOYMENT_TARGET STREQUAL KESTROVA_MINIMUM_MACOS)
  message(FATAL_ERROR "This build's deployment target (${CMAKE_OSX_DEPLOYMENT_TARGET}) is not "
    "the mac preset's (${KESTROVA_MINIMUM_MACOS}): configure with `cmake --preset mac`")
endif()

configure_file(${CMAKE_SOURCE_DIR}/cmake/Info.plist.in ${KESTROVA_BUNDLE_DIR}/Contents/Info.plist @ONLY)

# The Dock's icon, packed from the checked-in images.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
file(GLOB icon_images ${CMAKE_SOURCE_DIR}/cmake/icon/*.png)
add_custom_command(OUTPUT ${KESTROVA_BUNDLE_RESOURCES}/Kestrova.icns
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTROVA_BUNDLE_RESOURCES}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/cmake/make_icns.py
    ${KESTROVA_BUNDLE_RESOURCES}/Kestrova.icns ${icon_images}
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/make_icns.py ${icon_images}
  COMMENT "Packing Kestrova.icns" VERBATIM)
add_custom_target(kestrova_icon ALL DEPENDS ${KESTROVA_BUNDLE_RESOURCES}/Kestrova.icns)

# Places a built executable at a folder of the bundle.
function(kestrova_bundle_program target dir)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${dir})
endfunction()

# Makes targets universal on the Mac: what ships, and the static libraries it links.
function(kestrova_universal)
  if(APPLE)
    set_target_properties(${ARGN} PROPERTIES OSX_ARCHITECTURES "${KESTROVA_MAC_ARCHITECTURES}")
  endif()
endfunction()

# A program that ships inside the Mac bundle: universal, at the deployment target, and keeping
# no load command for a library it does not use. The bundle is signed once all are built.
set_property(GLOBAL PROPERTY KESTROVA_SHIPPED_PROGRAMS "")
function(kestrova_shipped_program target)
  kestrova_universal(${target})
  if(APPLE)
    target_link_options(${target} PRIVATE -Wl,-dead_strip_dylibs)
  endif()
  set_property(GLOBAL APPEND PROPERTY KESTROVA_SHIPPED_PROGRAMS ${target})
endfunction()
