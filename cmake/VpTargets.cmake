# Helpers shared by the subsystem folders of the Windows tree.

# vp_subsystem_library(<target> [LIBS ...]): a static library of every .cpp in
# the calling folder. Sources are globbed so that adding a class pair needs no
# edit here; CONFIGURE_DEPENDS re-globs on every build.
function(vp_subsystem_library target)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_LIBS})
endfunction()

# The system libraries the toolbar code calls into.
set(VP_WIN32_LIBS ole32 oleaut32 uuid advapi32 user32 gdi32 shell32 shlwapi
    comctl32 comdlg32 wininet version gdiplus)
