# The layers of the program, each a static library whose public include scope holds
# only its own folders. A scope is a folder of links in the build tree: scopes/<layer>/
# links each of the layer's folders under its source path (scopes/core/app ->
# src/app), so "app/QelDoc.h" is found only by a target that links the layer that
# holds it. An include that points up the layers therefore does not compile.

set(PELNORIX_SCOPES ${CMAKE_BINARY_DIR}/scopes)

# pelnorix_scope_link(SCOPE RELATIVE): links src/RELATIVE (a folder or a file) into SCOPE.
function(pelnorix_scope_link scope relative)
  set(link ${PELNORIX_SCOPES}/${scope}/${relative})
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT IS_SYMLINK ${link})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${relative} ${link} SYMBOLIC)
  endif()
endfunction()

# pelnorix_layer(NAME FOLDERS folder... [LINKS target...] [EXCLUDE regex]): the static
# library NAME of every .cpp below the folders, with their scope as its public
# include folder and the lower layers it uses as public links.
function(pelnorix_layer name)
  cmake_parse_arguments(ARG "" "EXCLUDE" "FOLDERS;LINKS" ${ARGN})
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
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
endfunction()

# pelnorix_state_scope(NAME FOLDERS folder... [FILES file...]): the interface target
# NAME whose scope holds, of each subsystem folder, only what the document and the
# view declare of it: the state structs (*State.h) and the operation fragments
# (*Ops.inc), and the further FILES named.
function(pelnorix_state_scope name)
  cmake_parse_arguments(ARG "" "" "FOLDERS;FILES" ${ARGN})
  set(files ${ARG_FILES})
  foreach(folder IN LISTS ARG_FOLDERS)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/src
         ${PROJECT_SOURCE_DIR}/src/${folder}/*State.h ${PROJECT_SOURCE_DIR}/src/${folder}/*Ops.inc)
    list(APPEND files ${found})
  endforeach()
  foreach(file IN LISTS files)
    pelnorix_scope_link(${name} ${file})
  endforeach()
  add_library(${name} INTERFACE)
  target_include_directories(${name} INTERFACE ${PELNORIX_SCOPES}/${name})
endfunction()
