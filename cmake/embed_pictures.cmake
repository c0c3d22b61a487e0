# Writes the C++ source that embeds the built-in PNG pictures (cmake -P, called by pictures.cmake).
#   -DMANIFEST=<file>  one line per picture: group|key|width|height|png, group being large, icon or banner
#   -DOUTPUT=<file>    the source to write
# Each PNG's header is checked against the size the program expects, so a drawing with a wrong
# canvas fails the build instead of showing up stretched or cut in a menu.

cmake_minimum_required(VERSION 3.25)

if(NOT MANIFEST OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DMANIFEST=<file> -DOUTPUT=<file> -P embed_pictures.cmake")
endif()

# Big-endian 32-bit number from 8 hex digits.
function(_hex_to_int hex out)
  math(EXPR value "0x${hex}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# CMake's regular expressions have no {n}, so the pattern for one 16-byte row is spelt out.
string(REPEAT "0x..," 16 sixteen_bytes)

file(STRINGS "${MANIFEST}" lines)
set(arrays "")
set(large "")
set(icons "")
set(banner "")
set(icon_count 0)
set(large_count 0)
set(banner_count 0)

foreach(line IN LISTS lines)
  string(REPLACE "|" ";" fields "${line}")
  list(LENGTH fields field_count)
  if(NOT field_count EQUAL 5)
    message(FATAL_ERROR "${MANIFEST}: bad line '${line}'")
  endif()
  list(GET fields 0 group)
  list(GET fields 1 key)
  list(GET fields 2 width)
  list(GET fields 3 height)
  list(GET fields 4 png)

  file(READ "${png}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  # Signature (8 bytes), IHDR length and type (8), width (4), height (4), bit depth (1), colour type (1).
  if(hex_length LESS 52)
    message(FATAL_ERROR "${png}: too short to be a PNG")
  endif()
  string(SUBSTRING "${hex}" 0 32 signature)
  if(NOT signature STREQUAL "89504e470d0a1a0a0000000d49484452")
    message(FATAL_ERROR "${png}: not a PNG")
  endif()
  string(SUBSTRING "${hex}" 32 8 hex_width)
  string(SUBSTRING "${hex}" 40 8 hex_height)
  string(SUBSTRING "${hex}" 48 2 hex_depth)
  string(SUBSTRING "${hex}" 50 2 hex_colour)
  _hex_to_int(${hex_width} png_width)
  _hex_to_int(${hex_height} png_height)
  if(NOT png_width EQUAL width OR NOT png_height EQUAL height)
    message(FATAL_ERROR "${png}: ${png_width} x ${png_height}, expected ${width} x ${height}")
  endif()
  # Icons and buttons need their transparency (colour type 6, RGBA); the banner is opaque and comes out
  # as RGB (type 2), which the program reads the same way.
  if(NOT hex_depth STREQUAL "08" OR NOT (hex_colour STREQUAL "06" OR
                                          (group STREQUAL "banner" AND hex_colour STREQUAL "02")))
    message(FATAL_ERROR "${png}: unexpected bit depth ${hex_depth} / colour type ${hex_colour}")
  endif()

  string(SUBSTRING "${group}" 0 1 initial)
  string(TOUPPER "${initial}" initial)
  string(SUBSTRING "${group}" 1 -1 rest)
  set(name "k${initial}${rest}${key}")
  math(EXPR byte_count "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(${sixteen_bytes})" "\\1\n    " bytes "${bytes}")
  string(APPEND arrays "// ${key}, ${width} x ${height}, ${byte_count} bytes\n"
                       "constexpr std::uint8_t ${name}[] = {\n    ${bytes}};\n\n")
  set(entry "    {\"${key}\", ${width}, ${height}, ${name}},\n")
  if(group STREQUAL "large")
    string(APPEND large "${entry}")
    math(EXPR large_count "${large_count} + 1")
  elseif(group STREQUAL "icon")
    string(APPEND icons "${entry}")
    math(EXPR icon_count "${icon_count} + 1")
  elseif(group STREQUAL "banner")
    set(banner "{\"${key}\", ${width}, ${height}, ${name}}")
    math(EXPR banner_count "${banner_count} + 1")
  else()
    message(FATAL_ERROR "${MANIFEST}: unknown group '${group}'")
  endif()
endforeach()

if(NOT banner_count EQUAL 1 OR large_count EQUAL 0 OR icon_count EQUAL 0)
  message(FATAL_ERROR "${MANIFEST}: needs one banner and at least one large picture and one icon")
endif()

set(source "// Generated at build time by cmake/embed_pictures.cmake from resources/pictures/builtin.
// Do not edit: change the SVG drawings instead.
#include \"themes/builtin_pictures.h\"

#include <array>

namespace qm {
namespace {

${arrays}constexpr std::array<BuiltinPicture, ${large_count}> kLargePictures{{
${large}}};

constexpr std::array<BuiltinPicture, ${icon_count}> kIconPictures{{
${icons}}};

constexpr BuiltinPicture kAboutBanner${banner};

}  // namespace

std::span<const BuiltinPicture> builtinLargePictures() { return kLargePictures; }

std::span<const BuiltinPicture> builtinIconPictures() { return kIconPictures; }

const BuiltinPicture& builtinAboutBanner() { return kAboutBanner; }

}  // namespace qm
")

file(WRITE "${OUTPUT}" "${source}")
