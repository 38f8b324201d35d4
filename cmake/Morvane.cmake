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

# mv_check_layer_links(lib...): the layer libraries bottom up. Each may link
# only libraries listed before it (or outside the list); a link to one listed
# after it, which would let two layers reach each other, stops the configure.
function(mv_check_layer_links)
  set(below)
  foreach(lib IN LISTS ARGN)
    if(NOT TARGET ${lib})
      continue()
    endif()
    get_target_property(type ${lib} TYPE)
    set(links)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(l ${lib} LINK_LIBRARIES)
      if(l)
        list(APPEND links ${l})
      endif()
    endif()
    get_target_property(il ${lib} INTERFACE_LINK_LIBRARIES)
    if(il)
      list(APPEND links ${il})
    endif()
    foreach(dep IN LISTS links)
      list(FIND ARGN ${dep} at)
      if(at GREATER -1 AND NOT dep IN_LIST below)
        message(FATAL_ERROR "Layer library ${lib} links ${dep}, which is not below it")
      endif()
    endforeach()
    list(APPEND below ${lib})
  endforeach()
endfunction()

# mv_synth_plugin(NAME DIRS dir... [CATEGORY text] LIBS lib...)
# An in-process server built on the soft-synth framework: the plug-in's
# own sources and its own build of the framework's, in one shared library
# that exports only its entry points. CATEGORY is the registry category its
# filter classes register under (MfxSoftSynths unless given). Nothing is
# built while the plug-in's folders hold no sources.
function(mv_synth_plugin name)
  cmake_parse_arguments(A "" "CATEGORY" "DIRS;LIBS" ${ARGN})
  mv_sources_of(srcs ${A_DIRS})
  if(NOT srcs)
    return()
  endif()
  file(GLOB framework CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/plugins/synthframework/*.cpp)
  add_library(${name} SHARED ${srcs} ${framework})
  set_target_properties(${name} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
                        VISIBILITY_INLINES_HIDDEN ON)
  if(A_CATEGORY)
    target_compile_definitions(${name} PRIVATE "MV_SYNTH_CATEGORY=\"${A_CATEGORY}\"")
  endif()
  target_link_libraries(${name} PRIVATE ${A_LIBS})
endfunction()
