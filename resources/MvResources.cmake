# Resource modules: a module's string table and version block, kept as
# readable text and compiled into the module.
#
#   mv_resource_module(<target> NAME <Module> STRINGS <file.str> [VERSION <file.ver>])
#
# generates, at configure time,
#   <build>/generated/resources/<Module>Strings.h     one `constexpr UINT IDS_... = n;`
#                                                     per string, and the table's name
#   <build>/generated/resources/<Module>Resources.cpp the table `g_<Module>Resources`
# and a static library <target> holding the table. The program's module is
# linked into the platform library. A plug-in links its own and registers it
# while it is loaded (platform/res/Resources.h):
#   mv_resource_module(SorvicResources NAME Sorvic STRINGS .../sorvic.str VERSION .../sorvic.ver)
#   mv_plugin(Sorvic DIRS ... LIBS SorvicResources mvplatform ...)
#   static mvres::CModuleResources g_resources(g_SorvicResources);  // in the plug-in
# Editing an input re-runs the generation on the next build; outputs are
# rewritten only when their text changes.
#
# String table, one entry a line:     IDS_AUDIO_INIT = 16738 "Unable to Initialize Audio."
# Version block, one value a line:    ProductVersion = "1.0"
# Texts take the escapes \n \t \\ \" and nothing else; '#' starts a comment
# line. Ids are 1..65535, unique within the module, as are the names.

# Placeholders for the characters that CMake lists treat specially, so every
# line of a file survives as one list element. Set in each function, since
# plug-in folders call these from directories that do not see this one.
macro(_mv_res_placeholders)
  string(ASCII 1 _MV_RES_SEMI)
  string(ASCII 2 _MV_RES_OPEN)
  string(ASCII 3 _MV_RES_CLOSE)
endmacro()

function(_mv_res_read_lines file out)
  _mv_res_placeholders()
  file(READ "${file}" text)
  string(REPLACE ";" "${_MV_RES_SEMI}" text "${text}")
  string(REPLACE "[" "${_MV_RES_OPEN}" text "${text}")
  string(REPLACE "]" "${_MV_RES_CLOSE}" text "${text}")
  string(REPLACE "\r" "" text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The entries of a file: every line that is neither blank nor a comment must
# match `regex`, whose group `text_group` is a quoted text. Each entry comes
# out as "line|group 1|group 2|..." with the unit separator in place of '|';
# _mv_res_fields takes it apart.
function(_mv_res_entries file regex form text_group out)
  _mv_res_read_lines("${file}" lines)
  string(ASCII 31 sep)
  set(entries)
  set(n 0)
  foreach(line IN LISTS lines)
    math(EXPR n "${n} + 1")
    if(line MATCHES "^[ \t]*(#.*)?$")
      continue()
    endif()
    if(NOT line MATCHES "${regex}")
      message(FATAL_ERROR "${file}:${n}: expected ${form}")
    endif()
    _mv_res_check_text("${file}:${n}" "${CMAKE_MATCH_${text_group}}")
    list(APPEND entries "${n}${sep}${CMAKE_MATCH_1}${sep}${CMAKE_MATCH_2}${sep}${CMAKE_MATCH_3}")
  endforeach()
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()

function(_mv_res_fields entry)
  string(ASCII 31 sep)
  string(REPLACE "${sep}" ";" fields "${entry}")
  foreach(var IN LISTS ARGN)
    list(POP_FRONT fields value)
    set(${var} "${value}" PARENT_SCOPE)
  endforeach()
endfunction()

function(_mv_res_restore text out)
  _mv_res_placeholders()
  string(REPLACE "${_MV_RES_SEMI}" ";" text "${text}")
  string(REPLACE "${_MV_RES_OPEN}" "[" text "${text}")
  string(REPLACE "${_MV_RES_CLOSE}" "]" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The text between the quotes becomes a C++ literal as it stands, so only the
# escapes that mean the same in both are let through.
function(_mv_res_check_text where text)
  string(REPLACE "\\\\" "" rest "${text}")
  string(REPLACE "\\n" "" rest "${rest}")
  string(REPLACE "\\t" "" rest "${rest}")
  string(REPLACE "\\\"" "" rest "${rest}")
  if(rest MATCHES "[\\\\\"]")
    message(FATAL_ERROR "${where}: a text may hold only the escapes \\n \\t \\\\ \\\"")
  endif()
endfunction()

function(_mv_res_write_if_changed path content)
  file(WRITE "${path}.tmp" "${content}")
  file(COPY_FILE "${path}.tmp" "${path}" ONLY_IF_DIFFERENT)
  file(REMOVE "${path}.tmp")
endfunction()

function(mv_resource_module target)
  cmake_parse_arguments(A "" "NAME;STRINGS;VERSION" "" ${ARGN})
  if(NOT A_NAME MATCHES "^[A-Za-z][A-Za-z0-9]*$" OR NOT A_STRINGS)
    message(FATAL_ERROR "mv_resource_module(${target}): NAME <identifier> and STRINGS <file> are required")
  endif()
  get_filename_component(strings "${A_STRINGS}" ABSOLUTE)
  set(inputs "${strings}")
  if(A_VERSION)
    get_filename_component(version "${A_VERSION}" ABSOLUTE)
    list(APPEND inputs "${version}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${inputs})

  # String table: remember each entry under its id, then emit in id order so
  # the loader can search it by halves.
  _mv_res_entries("${strings}" "^[ \t]*([A-Za-z_][A-Za-z0-9_]*)[ \t]*=[ \t]*([0-9]+)[ \t]+\"(.*)\"[ \t]*$"
                  "NAME = id \"text\"" 3 entries)
  set(ids)
  set(names)
  foreach(entry IN LISTS entries)
    _mv_res_fields("${entry}" n name id text)
    set(where "${strings}:${n}")
    math(EXPR id "${id}")
    if(id LESS 1 OR id GREATER 65535)
      message(FATAL_ERROR "${where}: id ${id} is outside 1..65535")
    endif()
    if(DEFINED _name_${id})
      message(FATAL_ERROR "${where}: id ${id} is already ${_name_${id}}")
    endif()
    if(name IN_LIST names)
      message(FATAL_ERROR "${where}: ${name} is defined twice")
    endif()
    list(APPEND names "${name}")
    string(LENGTH "${id}" digits)
    math(EXPR pad "5 - ${digits}")
    string(REPEAT "0" ${pad} zeros)
    list(APPEND ids "${zeros}${id}")
    set(_name_${id} "${name}")
    set(_text_${id} "${text}")
  endforeach()
  list(SORT ids)

  # Version block, in the file's order.
  set(ventries "")
  if(A_VERSION)
    _mv_res_entries("${version}" "^[ \t]*([A-Za-z][A-Za-z0-9]*)[ \t]*=[ \t]*\"(.*)\"[ \t]*$"
                    "Key = \"text\"" 2 entries)
    set(keys)
    foreach(entry IN LISTS entries)
      _mv_res_fields("${entry}" n key text)
      if(key IN_LIST keys)
        message(FATAL_ERROR "${version}:${n}: ${key} is given twice")
      endif()
      list(APPEND keys "${key}")
      string(APPEND ventries "    {\"${key}\", \"${text}\"},\n")
    endforeach()
  endif()

  set(sources)
  foreach(f IN LISTS inputs)
    file(RELATIVE_PATH rel "${CMAKE_SOURCE_DIR}" "${f}")
    list(APPEND sources "${rel}")
  endforeach()
  list(JOIN sources " and " sources)
  set(banner "// Generated by the build from ${sources}; edit there, not here.\n")

  set(header "${banner}#pragma once\n\n#include \"platform/win/WinTypes.h\"\n\n")
  string(APPEND header "namespace mvres {\nstruct ResourceTable;\n}\n")
  string(APPEND header "// The module's table; a plug-in registers it to get its module handle.\n")
  string(APPEND header "extern const mvres::ResourceTable g_${A_NAME}Resources;\n\n")
  set(sentries "")
  foreach(key IN LISTS ids)
    math(EXPR id "${key}")
    string(APPEND header "inline constexpr UINT ${_name_${id}} = ${id};\n")
    string(APPEND sentries "    {${id}, \"${_text_${id}}\"},\n")
  endforeach()

  set(source "${banner}#include \"resources/${A_NAME}Strings.h\"\n\n")
  string(APPEND source "#include <iterator>\n\n#include \"platform/res/ResourceTable.h\"\n\n")
  string(APPEND source "namespace {\n\n")
  set(slist "nullptr, 0")
  if(sentries)
    string(APPEND source "const mvres::StringEntry kStrings[] = {\n${sentries}};\n\n")
    set(slist "kStrings, static_cast<UINT>(std::size(kStrings))")
  endif()
  set(vlist "nullptr, 0")
  if(ventries)
    string(APPEND source "const mvres::VersionEntry kVersion[] = {\n${ventries}};\n\n")
    set(vlist "kVersion, static_cast<UINT>(std::size(kVersion))")
  endif()
  string(APPEND source "}  // namespace\n\n")
  string(APPEND source "extern const mvres::ResourceTable g_${A_NAME}Resources = {${slist}, ${vlist}};\n")

  _mv_res_restore("${header}" header)
  _mv_res_restore("${source}" source)
  set(outdir "${CMAKE_BINARY_DIR}/generated/resources")
  file(MAKE_DIRECTORY "${outdir}")
  _mv_res_write_if_changed("${outdir}/${A_NAME}Strings.h" "${header}")
  _mv_res_write_if_changed("${outdir}/${A_NAME}Resources.cpp" "${source}")

  add_library(${target} STATIC "${outdir}/${A_NAME}Resources.cpp")
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()
