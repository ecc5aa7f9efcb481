# The check step of a layer (cmake/Layers.cmake), run as
#   cmake -DLIST=<file of paths> -DSTAMP=<file> -P CheckIncludes.cmake
# An include names a path below the scopes ("platform/os/Files.h"). This step reads the
# include lines as written and catches two spellings only: a name that climbs with a
# plain ".." ("base/../net/NetState.h") and a name that is an absolute path; the layer
# is then refused before it compiles. Every other spelling (a macro, a comment, a
# continued line, a digraph, #include_next) is caught after the build by the layer test
# (tests/base/LayerCheckTest.cpp), which reads the headers the compiler resolved.

file(STRINGS ${LIST} files)
set(found "")
foreach(file IN LISTS files)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line IN LISTS lines)
    if(line MATCHES "include[ \t]*[\"<]([^\">]*)[\">]")
      set(path "${CMAKE_MATCH_1}")
      if(path MATCHES "(^|/)\\.\\.(/|$)" OR path MATCHES "^/")
        string(APPEND found "\n  ${file}: #include \"${path}\"")
      endif()
    endif()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "an include climbs out of its folder (name it from the scope, e.g. \"platform/os/Files.h\"):${found}")
endif()
file(TOUCH ${STAMP})
