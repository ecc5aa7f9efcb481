# The layers of the program, each a static library whose public include scope holds
# only its own folders. A scope is a folder of links in the build tree: scopes/<layer>/
# links each of the layer's folders under its source path (scopes/core/frame ->
# src/frame), so "frame/MainFrame.h" is found only by a target that links the layer
# that holds it. An include that points up the layers therefore does not compile.
# Before a layer compiles, a check step (CheckIncludes.cmake) refuses the plain
# spellings that reach past the scopes: an include that climbs with ".." or names an
# absolute path. Any other spelling is caught after the build: the link graph is
# written to layers.txt in the build tree, the table tests/base/LayerCheckTest holds
# every object's resolved headers against.

set(PELNORIX_SCOPES ${CMAKE_BINARY_DIR}/scopes)
set(PELNORIX_LAYER_GRAPH ${CMAKE_BINARY_DIR}/layers.txt)

# pelnorix_write_if_changed(FILE TEXT): writes FILE only when its text changes, so
# that what depends on it is not redone by every configure.
function(pelnorix_write_if_changed file text)
  if(EXISTS ${file})
    file(READ ${file} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${file} "${text}")
endfunction()

# pelnorix_scope_link(SCOPE RELATIVE): links src/RELATIVE (a folder or a file) into SCOPE.
function(pelnorix_scope_link scope relative)
  set(link ${PELNORIX_SCOPES}/${scope}/${relative})
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT IS_SYMLINK ${link})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${relative} ${link} SYMBOLIC)
  endif()
  set_property(GLOBAL APPEND PROPERTY PELNORIX_SCOPE_${scope} ${relative})
endfunction()

# pelnorix_include_check(NAME FOLDER...): the check step of layer NAME over every
# source and header of its folders; the layer's objects wait for it.
function(pelnorix_include_check name)
  set(files "")
  foreach(folder IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp
         ${PROJECT_SOURCE_DIR}/src/${folder}/*.h ${PROJECT_SOURCE_DIR}/src/${folder}/*.inc)
    list(APPEND files ${found})
  endforeach()
  list(JOIN files "\n" lines)
  pelnorix_write_if_changed(${PELNORIX_SCOPES}/${name}.files "${lines}\n")
  set(stamp ${PELNORIX_SCOPES}/${name}.checked)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DLIST=${PELNORIX_SCOPES}/${name}.files -DSTAMP=${stamp}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
    DEPENDS ${files} ${PELNORIX_SCOPES}/${name}.files ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
    COMMENT "Checking the includes of layer ${name}")
  add_custom_target(${name}_includes DEPENDS ${stamp})
  add_dependencies(${name} ${name}_includes)
endfunction()

# pelnorix_layer(NAME FOLDERS folder... [LINKS target...] [PRIVATE_LINKS target...]
# [EXCLUDE regex]): the static library NAME of every .cpp below the folders, with their
# scope as its public include folder, the lower layers its headers use as public links
# and those only its sources use as private ones.
function(pelnorix_layer name)
  cmake_parse_arguments(ARG "" "EXCLUDE" "FOLDERS;LINKS;PRIVATE_LINKS" ${ARGN})
  set(sources "")
  foreach(folder IN LISTS ARG_FOLDERS)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
    list(APPEND sources ${found})
    pelnorix_scope_link(${name} ${folder})
  endforeach()
  if(ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PELNORIX_SCOPES}/${name})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
  pelnorix_include_check(${name} ${ARG_FOLDERS})
  set_property(GLOBAL APPEND PROPERTY PELNORIX_LAYERS ${name})
  set_property(GLOBAL PROPERTY PELNORIX_KIND_${name} library)
endfunction()

# pelnorix_state_scope(NAME FOLDERS folder... MATCH pattern... [EXCLUDE regex]
# [FILES file...]): the interface target NAME whose scope holds, of each subsystem
# folder, only the files whose names match the patterns (the state structs, *State.h,
# or the operation fragments, *Ops.inc) and not the regex, and the further FILES named.
function(pelnorix_state_scope name)
  cmake_parse_arguments(ARG "" "EXCLUDE" "FOLDERS;MATCH;FILES" ${ARGN})
  set(files ${ARG_FILES})
  foreach(folder IN LISTS ARG_FOLDERS)
    set(globs "")
    foreach(pattern IN LISTS ARG_MATCH)
      list(APPEND globs ${PROJECT_SOURCE_DIR}/src/${folder}/${pattern})
    endforeach()
    file(GLOB_RECURSE found CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/src ${globs})
    if(ARG_EXCLUDE)
      list(FILTER found EXCLUDE REGEX "${ARG_EXCLUDE}")
    endif()
    list(APPEND files ${found})
  endforeach()
  foreach(file IN LISTS files)
    pelnorix_scope_link(${name} ${file})
  endforeach()
  add_library(${name} INTERFACE)
  target_include_directories(${name} INTERFACE ${PELNORIX_SCOPES}/${name})
  set_property(GLOBAL APPEND PROPERTY PELNORIX_LAYERS ${name})
  set_property(GLOBAL PROPERTY PELNORIX_KIND_${name} state)
endfunction()

# pelnorix_state_grant(NAME LAYER layer SOURCES entry...): the state scope NAME is
# seen by those sources of LAYER that the entries (files or folders below src/) cover,
# and by no other file of the layer: a per-source include folder, so that one file of
# a library may compose what its siblings may not touch.
function(pelnorix_state_grant name)
  cmake_parse_arguments(ARG "" "LAYER" "SOURCES" ${ARGN})
  get_target_property(sources ${ARG_LAYER} SOURCES)
  foreach(entry IN LISTS ARG_SOURCES)
    set(path ${PROJECT_SOURCE_DIR}/src/${entry})
    set(granted ${sources})
    list(FILTER granted INCLUDE REGEX "^${path}(/|$)")
    if(NOT granted)
      message(FATAL_ERROR "${name} is granted to ${entry}, which ${ARG_LAYER} does not compile")
    endif()
    set_property(SOURCE ${granted} APPEND PROPERTY INCLUDE_DIRECTORIES ${PELNORIX_SCOPES}/${name})
    set_property(GLOBAL APPEND PROPERTY PELNORIX_GRANT_${name} ${entry})
  endforeach()
endfunction()

# pelnorix_layers_below(OUT NAME): every layer NAME reaches through its links, read
# from the targets (link-only edges, which give no include, left out).
function(pelnorix_layers_below out name)
  get_property(layers GLOBAL PROPERTY PELNORIX_LAYERS)
  set(below "")
  set(pending ${name})
  while(pending)
    list(POP_FRONT pending current)
    get_target_property(kind ${current} TYPE)
    set(links "")
    if(NOT kind STREQUAL "INTERFACE_LIBRARY")
      get_target_property(links ${current} LINK_LIBRARIES)
    endif()
    get_target_property(exported ${current} INTERFACE_LINK_LIBRARIES)
    foreach(link IN LISTS links exported)
      if(link IN_LIST layers AND NOT link IN_LIST below)
        list(APPEND below ${link})
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
  set(${out} ${below} PARENT_SCOPE)
endfunction()

# pelnorix_write_layer_graph(): layers.txt, one line per layer:
#   name|kind|scope|public links|private links|granted to
# kind "library" or "state"; scope the folders and files below src/ that its include
# folder holds; the links as the targets hold them; for a state scope, the sources it is
# granted to (pelnorix_state_grant); each list space-separated.
function(pelnorix_write_layer_graph)
  get_property(layers GLOBAL PROPERTY PELNORIX_LAYERS)
  set(text "# The layers as the build links them (cmake/Layers.cmake): name|kind|scope|public links|private links|granted to\n")
  foreach(name IN LISTS layers)
    get_property(kind GLOBAL PROPERTY PELNORIX_KIND_${name})
    get_property(scope GLOBAL PROPERTY PELNORIX_SCOPE_${name})
    set(links "")
    if(kind STREQUAL "library")
      get_target_property(links ${name} LINK_LIBRARIES)
    endif()
    get_target_property(exported ${name} INTERFACE_LINK_LIBRARIES)
    set(public "")
    set(private "")
    foreach(link IN LISTS exported)
      if(link IN_LIST layers)
        list(APPEND public ${link})
      endif()
    endforeach()
    foreach(link IN LISTS links)
      if(link IN_LIST layers AND NOT link IN_LIST public)
        list(APPEND private ${link})
      endif()
    endforeach()
    list(JOIN scope " " scope)
    list(JOIN public " " public)
    list(JOIN private " " private)
    get_property(granted GLOBAL PROPERTY PELNORIX_GRANT_${name})
    list(JOIN granted " " granted)
    string(APPEND text "${name}|${kind}|${scope}|${public}|${private}|${granted}\n")
  endforeach()
  pelnorix_write_if_changed(${PELNORIX_LAYER_GRAPH} "${text}")
endfunction()
