# The shared libraries the program opens on first use instead of linking them
# (platform/*/*Library.cpp): FFmpeg, ALSA, FluidSynth, libX11, libcurl, FreeType and fontconfig. Their development
# headers give the types; their sonames, read from each library's ELF header here
# at configure time, go into the generated platform/os/Sonames.h for dlopen.
find_package(PkgConfig REQUIRED)
include(CMakeFindBinUtils)

set(PELNORIX_LOADED_INCLUDE_DIRS "")
set(PELNORIX_LOADED_CFLAGS "")
set(PELNORIX_SONAME_LINES "")

# pelnorix_loaded_soname(CONSTANT MODULE): finds the pkg-config MODULE and defines
# the C++ constant CONSTANT as its library's soname (the headers come in elsewhere).
macro(pelnorix_loaded_soname constant module)
  pkg_check_modules(PELNORIX_LIB_${constant} REQUIRED ${module})
  list(GET PELNORIX_LIB_${constant}_LINK_LIBRARIES 0 _pelnorix_file)
  execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${_pelnorix_file} OUTPUT_VARIABLE _pelnorix_dump
                  RESULT_VARIABLE _pelnorix_rc ERROR_QUIET)
  if(NOT _pelnorix_rc EQUAL 0 OR NOT _pelnorix_dump MATCHES "SONAME +([^ \r\n]+)")
    message(FATAL_ERROR "No soname found in ${_pelnorix_file} (${module})")
  endif()
  set(_pelnorix_soname ${CMAKE_MATCH_1})
  message(STATUS "Opened on first use: ${_pelnorix_soname} (${module})")
  string(APPEND PELNORIX_SONAME_LINES "inline constexpr char ${constant}[] = \"${_pelnorix_soname}\";\n")
endmacro()

# pelnorix_loaded_library(CONSTANT MODULE): the soname as above, and the module's
# headers for every source.
macro(pelnorix_loaded_library constant module)
  pelnorix_loaded_soname(${constant} ${module})
  list(APPEND PELNORIX_LOADED_INCLUDE_DIRS ${PELNORIX_LIB_${constant}_INCLUDE_DIRS})
  list(APPEND PELNORIX_LOADED_CFLAGS ${PELNORIX_LIB_${constant}_CFLAGS_OTHER})
endmacro()

pelnorix_loaded_library(kAvFormatSoname libavformat)
pelnorix_loaded_library(kAvCodecSoname libavcodec)
pelnorix_loaded_library(kAvUtilSoname libavutil)
pelnorix_loaded_library(kSwResampleSoname libswresample)
pelnorix_loaded_library(kSwScaleSoname libswscale)
pelnorix_loaded_library(kAlsaSoname alsa)
# FluidSynth's header needs none of the folders and flags its pkg-config file lists.
pelnorix_loaded_soname(kFluidSynthSoname fluidsynth)
pelnorix_loaded_library(kX11Soname x11)
pelnorix_loaded_library(kCurlSoname libcurl)
# Text drawn into pictures: src/CMakeLists.txt adds their headers as system headers.
pelnorix_loaded_soname(kFreeTypeSoname freetype2)
pelnorix_loaded_soname(kFontconfigSoname fontconfig)
list(REMOVE_DUPLICATES PELNORIX_LOADED_INCLUDE_DIRS)
list(REMOVE_DUPLICATES PELNORIX_LOADED_CFLAGS)

set(PELNORIX_SONAMES_HEADER ${CMAKE_CURRENT_BINARY_DIR}/generated/platform/os/Sonames.h)
file(CONFIGURE OUTPUT ${PELNORIX_SONAMES_HEADER} CONTENT
"// Made by cmake/LoadedLibraries.cmake: the sonames of the libraries opened on first use.
#pragma once

namespace plat {

@PELNORIX_SONAME_LINES@
}  // namespace plat
" @ONLY)
