# Release copies of the three deliverables and the product's setup program.
# The build's own binaries keep their debug information for the tests; the
# copies in <tree>/release/ are stripped, with the debug information beside
# them (<name>.debug, found by debuggers through the copy's debug link).
# The setup (installer/VellumpostToolbar.nsi) is made from those copies:
#   x86_64 tree: <tree>/installer/VellumpostToolbarSetup-<version>-x64.exe, all three x86_64;
#   i686 tree:   ...-x86.exe, the i686 library and proxy server with the x86_64
#                extension named by VP_EXTENSION64 (the x86_64 tree's release copy).
option(VP_PACKAGE "Make the stripped release copies and the setup program" ON)
set(VP_EXTENSION64 "" CACHE FILEPATH "The x86_64 extension's release copy, for the i686 tree's setup")

set(VP_RELEASE_DIR ${CMAKE_BINARY_DIR}/release)
set(VP_SETUP_DIR ${CMAKE_BINARY_DIR}/installer)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(VP_SETUP_ARCH x64)
else()
  set(VP_SETUP_ARCH x86)
endif()
set(VP_SETUP_FILE ${VP_SETUP_DIR}/VellumpostToolbarSetup-${PROJECT_VERSION}-${VP_SETUP_ARCH}.exe)

# Runs once the whole tree is configured, so that the deliverables' targets
# exist wherever their folders are added.
function(vp_package_targets)
  set(VP_OBJCOPY ${VP_MINGW_TRIPLE}-objcopy)
  # The extension is built for x86_64 only; the i686 tree's setup takes it
  # from VP_EXTENSION64.
  set(VP_DELIVERABLES VellumpostToolbar VellumpostContextMenuProxyX64)
  if(VP_SETUP_ARCH STREQUAL "x64")
    list(APPEND VP_DELIVERABLES VellumpostContextMenuExtensionX64)
  endif()
  set(release_files)
  set(missing)
  foreach(target ${VP_DELIVERABLES})
    if(NOT TARGET ${target})
      list(APPEND missing ${target})
      continue()
    endif()
    if(target STREQUAL "VellumpostContextMenuProxyX64")
      set(name ${target}.exe)
    else()
      set(name ${target}.dll)
    endif()
    add_custom_command(
      OUTPUT ${VP_RELEASE_DIR}/${name} ${VP_RELEASE_DIR}/${name}.debug
      COMMAND ${CMAKE_COMMAND} -E make_directory ${VP_RELEASE_DIR}
      COMMAND ${VP_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${VP_RELEASE_DIR}/${name}.debug
      # The link is added from inside the release folder: it records the
      # debug file's name, which debuggers look for beside the copy.
      COMMAND ${VP_OBJCOPY} --strip-all $<TARGET_FILE:${target}> ${VP_RELEASE_DIR}/${name}
      COMMAND ${CMAKE_COMMAND} -E chdir ${VP_RELEASE_DIR} ${VP_OBJCOPY} --add-gnu-debuglink=${name}.debug ${name}
      DEPENDS ${target}
      COMMENT "Release copy of ${name}"
      VERBATIM)
    list(APPEND release_files ${VP_RELEASE_DIR}/${name})
    set(VP_RELEASE_${target} ${VP_RELEASE_DIR}/${name})
  endforeach()
  add_custom_target(vp_release ALL DEPENDS ${release_files})

  # The setup needs all three deliverables; without one it is not made, and the
  # setup test and scripts/package say which is missing.
  if(missing)
    message(WARNING "Deliverables missing from this tree (${missing}): the setup program is not built")
    return()
  endif()
  if(VP_SETUP_ARCH STREQUAL "x64")
    set(extension ${VP_RELEASE_VellumpostContextMenuExtensionX64})
  elseif(VP_EXTENSION64)
    set(extension ${VP_EXTENSION64})
  else()
    message(STATUS "VP_EXTENSION64 is not set: the x86 setup program is not built")
    return()
  endif()
  find_program(VP_MAKENSIS makensis)
  if(NOT VP_MAKENSIS)
    message(WARNING "makensis not found (scripts/deps installs it): the setup program is not built")
    return()
  endif()
  set(VP_NSIS_SCRIPT ${PROJECT_SOURCE_DIR}/installer/VellumpostToolbar.nsi)
  add_custom_command(
    OUTPUT ${VP_SETUP_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VP_SETUP_DIR}
    COMMAND ${VP_MAKENSIS} -V2 -DARCH=${VP_SETUP_ARCH} -DVERSION=${PROJECT_VERSION}
            -DTOOLBAR=${VP_RELEASE_VellumpostToolbar}
            -DPROXY=${VP_RELEASE_VellumpostContextMenuProxyX64}
            -DEXTENSION=${extension}
            -DOUTFILE=${VP_SETUP_FILE}
            ${VP_NSIS_SCRIPT}
    DEPENDS ${VP_NSIS_SCRIPT} ${release_files} ${extension}
    COMMENT "Setup program ${VP_SETUP_FILE}"
    VERBATIM)
  add_custom_target(vp_setup ALL DEPENDS ${VP_SETUP_FILE})
endfunction()

if(VP_PACKAGE)
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL vp_package_targets)
endif()
