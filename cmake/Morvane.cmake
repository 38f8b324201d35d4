# Helpers shared by the folders' CMakeLists.

# mv_sources_of(VAR dir...): every .cpp in the given folders (not below them).
function(mv_sources_of var)
  set(srcs)
  foreach(d IN LISTS ARGN)
    file(GLOB s CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp)
    list(APPEND srcs ${s})
  endforeach()
  set(${var} ${srcs} PARENT_SCOPE)
endfunction()

# mv_layer(NAME [SHARED|STATIC] DIRS dir... LIBS lib...)
# A layer library made of every .cpp in the given folders (not below them).
# A folder without sources yet still gives a target, so upper layers can link.
function(mv_layer name)
  cmake_parse_arguments(A "SHARED;STATIC" "" "DIRS;LIBS" ${ARGN})
  mv_sources_of(srcs ${A_DIRS})
  if(srcs)
    if(A_SHARED)
      add_library(${name} SHARED ${srcs})
    else()
      add_library(${name} STATIC ${srcs})
    endif()
    target_link_libraries(${name} PUBLIC ${A_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${A_LIBS})
  endif()
endfunction()

# mv_plugin(NAME DIRS dir... LIBS lib...)
# An in-process server: a shared library that exports only its entry points.
function(mv_plugin name)
  cmake_parse_arguments(A "" "" "DIRS;LIBS" ${ARGN})
  mv_sources_of(srcs ${A_DIRS})
  if(srcs)
    add_library(${name} SHARED ${srcs})
    set_target_properties(${name} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
                          VISIBILITY_INLINES_HIDDEN ON)
    target_link_libraries(${name} PRIVATE ${A_LIBS})
  endif()
endfunction()
