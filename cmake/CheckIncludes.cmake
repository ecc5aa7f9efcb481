# The check step of a layer (cmake/Layers.cmake), run as
#   cmake -DLIST=<file of paths> -DSTAMP=<file> -P CheckIncludes.cmake
# An include names a path below the scopes ("platform/os/Files.h"); one that climbs
# out of its folder with ".." or names an absolute path reaches files the layer's
# scope does not hold, so the layer is refused before it compiles.

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
