# Sources named *_sse2.cpp / *_avx2.cpp get their instruction set on that file only,
# so no wide instruction runs before the CPU check.
function(wdi_simd_sources target)
  get_target_property(srcs ${target} SOURCES)
  foreach(src IN LISTS srcs)
    set(flags "")
    if(src MATCHES "_sse2\\.cpp$")
      set(flags "-msse2")
    elseif(src MATCHES "_avx2\\.cpp$")
      set(flags "-mavx2")
    endif()
    if(flags)
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        # 32-bit Windows only guarantees 4-byte stack alignment.
        set(flags "${flags} -mstackrealign")
      endif()
      set_source_files_properties(${src} PROPERTIES COMPILE_FLAGS "${flags}")
    endif()
  endforeach()
endfunction()

# One static library per subsystem directory: every .cpp in it, except files
# that belong to one platform only (*_win32.cpp, *_native.cpp).
function(wdi_subsystem_library name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(WIN32)
    list(FILTER srcs EXCLUDE REGEX "_native\\.cpp$")
  else()
    list(FILTER srcs EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  if(NOT srcs)
    # A subsystem that has no code yet still links.
    set(empty ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${empty} "")
    set(srcs ${empty})
  endif()
  add_library(${name} STATIC ${srcs})
  wdi_simd_sources(${name})
endfunction()
