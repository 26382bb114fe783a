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

# --- precompiled headers -----------------------------------------------------
# Most sources spend more time in the system headers (windows.h, the browser's
# HTML interfaces, the test framework) than in their own code. Each tree
# compiles those headers twice: once for the product (common/PrecompiledHeaders.h,
# owned by vp_common) and once for the test side (tests/support/..., owned by
# vp_testsupport, with line-number debug information only, which is all a test
# program's backtrace needs). Every other target reuses one of the two.
option(VP_PRECOMPILED_HEADERS "Compile the common system headers once per tree" ON)

function(vp_collect_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    vp_collect_targets(${sub} sub_targets)
    list(APPEND targets ${sub_targets})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# True when the target has at least one C++ source of its own.
function(vp_has_cxx_sources target out)
  get_target_property(sources ${target} SOURCES)
  set(found FALSE)
  foreach(source ${sources})
    if(source MATCHES "\\.(cpp|cc|cxx)$")
      set(found TRUE)
      break()
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# A library that only compiles one precompiled header, for the targets that reuse
# it. It has no definitions of its own: GCC refuses a precompiled header made
# with a macro that the compilation using it lacks.
function(vp_pch_owner name header)
  set(source ${CMAKE_BINARY_DIR}/pch/${name}.cpp)
  file(WRITE ${source} "// Compiles ${header} only.\n")
  add_library(${name} OBJECT ${source})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_precompile_headers(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${header}>)
endfunction()

# Called once the whole tree is configured. Test-side targets are those built
# from tests/ and those that link the test support library.
function(vp_precompile_tree)
  vp_collect_targets(${PROJECT_SOURCE_DIR} targets)
  if(VP_PRECOMPILED_HEADERS)
    vp_pch_owner(vp_pch ${PROJECT_SOURCE_DIR}/common/PrecompiledHeaders.h)
    if(TARGET vp_testsupport)
      vp_pch_owner(vp_test_pch ${PROJECT_SOURCE_DIR}/tests/support/PrecompiledTestHeaders.h gtest gmock)
      target_compile_options(vp_test_pch PRIVATE -g1)
    endif()
  endif()
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    get_target_property(source_dir ${target} SOURCE_DIR)
    if(NOT source_dir MATCHES "^${PROJECT_SOURCE_DIR}")
      continue()  # the test framework's own targets
    endif()
    get_target_property(libs ${target} LINK_LIBRARIES)
    set(owner vp_pch)
    if(source_dir MATCHES "^${PROJECT_SOURCE_DIR}/tests" OR "vp_testsupport" IN_LIST libs)
      target_compile_options(${target} PRIVATE -g1)
      # GCC 12 takes libstdc++'s inlined string copies for out-of-bounds
      # accesses once the system headers come from a precompiled header (their
      # warnings are no longer suppressed there); the product code keeps them.
      target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overread -Wno-stringop-overflow)
      set(owner vp_test_pch)
      if(NOT "vp_testsupport" IN_LIST libs AND NOT "gtest" IN_LIST libs AND NOT target STREQUAL "vp_testsupport")
        set(owner "")  # a stand-alone test library without the framework
      endif()
    endif()
    vp_has_cxx_sources(${target} has_cxx)
    if(NOT VP_PRECOMPILED_HEADERS OR NOT has_cxx OR NOT owner)
      continue()
    endif()
    # C sources (interface identifiers made by widl) have no C++ header to reuse.
    get_target_property(sources ${target} SOURCES)
    foreach(source ${sources})
      if(source MATCHES "\\.c$")
        set_source_files_properties(${source} TARGET_DIRECTORY ${target} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
      endif()
    endforeach()
    target_precompile_headers(${target} REUSE_FROM ${owner})
  endforeach()
endfunction()
