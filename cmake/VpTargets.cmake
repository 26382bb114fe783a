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

# vp_widl(<idl> <output folder> <base name>): compiles an IDL file with widl
# into <base>_h.h (interfaces), <base>_i.c (identifiers) and <base>.tlb (type
# library) in the output folder. importlib("stdole2.tlb") resolves through
# Wine's own copy.
function(vp_widl idl out base)
  file(MAKE_DIRECTORY ${out})
  add_custom_command(
    OUTPUT ${out}/${base}_h.h ${out}/${base}_i.c ${out}/${base}.tlb
    COMMAND ${VP_WIDL} ${VP_WIDL_ARCH}
            -I/usr/include/wine/wine/windows
            -L/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
            -h -H ${out}/${base}_h.h
            -u -U ${out}/${base}_i.c
            -t -T ${out}/${base}.tlb
            ${idl}
    DEPENDS ${idl}
    COMMENT "widl ${base}.idl"
    VERBATIM)
endfunction()
