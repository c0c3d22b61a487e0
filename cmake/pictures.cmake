# The program's own pictures, drawn as SVG under resources/pictures and rendered at build time:
#   quillmark_pictures  static library embedding the built-in PNGs (src/themes/builtin_pictures.h)
#   quillmark_theme     gfx/handdrawn.zip, the default theme package, beside the executable
#   quillmark_app_icon  icons/hicolor/<N>x<N>/apps/quillmark.png for the desktop menu
# Everything is found relative to this file, so the module works from any including project.
# Each PNG is its own build rule: editing one drawing re-renders only that picture.

include_guard(GLOBAL)

get_filename_component(QM_PICTURES_PROJECT_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(QM_PICTURES_SOURCE_DIR "${QM_PICTURES_PROJECT_DIR}/resources/pictures")
set(QM_PICTURES_EMBED_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/embed_pictures.cmake")
set(QM_PICTURES_BUILD_DIR "${CMAKE_BINARY_DIR}/pictures")

find_program(QM_RSVG_CONVERT rsvg-convert)
if(NOT QM_RSVG_CONVERT)
  message(FATAL_ERROR
    "rsvg-convert not found. The program's icons are rendered from SVG at build time with it; "
    "install the Debian package librsvg2-bin (or set QM_RSVG_CONVERT to its path).")
endif()

# The menu and toolbar keys in the order the program lists them; builtinIconPictures() keeps it.
set(QM_ICON_KEYS
  New Add InFiles InFolder OutFolder OutFormat FavFolder ImportFiles ExportFiles Exit Copy Delete
  SelectAll Convert Error Preferences CustomConverter Help Email Web Updates About)
# Key and side of the large pictures (Convert button, Add Input chooser), in builtinLargePictures() order.
set(QM_LARGE_PICTURES Convert 64 InFiles 48 InFolder 48)
set(QM_THEME_ICON_SIZES 16 24 32 48 64)
set(QM_APP_ICON_SIZES 16 24 32 48 64 128 256)

function(_qm_require_source svg)
  if(NOT EXISTS "${svg}")
    message(FATAL_ERROR "Picture source missing: ${svg}")
  endif()
endfunction()

# Renders one SVG to a PNG of exactly width x height pixels. rsvg-convert writes RGBA, or RGB when
# the picture has no transparent pixel at all (the About banner).
function(_qm_render_svg svg png width height)
  _qm_require_source("${svg}")
  get_filename_component(dir "${png}" DIRECTORY)
  file(RELATIVE_PATH shown "${CMAKE_BINARY_DIR}" "${png}")
  add_custom_command(OUTPUT "${png}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${dir}"
    COMMAND "${QM_RSVG_CONVERT}" --width=${width} --height=${height} --output "${png}" "${svg}"
    DEPENDS "${svg}"
    COMMENT "Rendering ${shown}"
    VERBATIM)
endfunction()

# --- Built-in pictures, embedded in the program ---------------------------------------------------

set(_qm_builtin_src "${QM_PICTURES_SOURCE_DIR}/builtin")
set(_qm_builtin_out "${QM_PICTURES_BUILD_DIR}/builtin")
set(_qm_builtin_pngs "")
# One line per picture: group|key|width|height|png. The embed script reads it; group selects the table.
set(_qm_manifest "")

macro(_qm_add_builtin group key stem width height)
  _qm_render_svg("${_qm_builtin_src}/${stem}.svg" "${_qm_builtin_out}/${stem}.png" ${width} ${height})
  list(APPEND _qm_builtin_pngs "${_qm_builtin_out}/${stem}.png")
  string(APPEND _qm_manifest "${group}|${key}|${width}|${height}|${_qm_builtin_out}/${stem}.png\n")
endmacro()

set(_qm_large ${QM_LARGE_PICTURES})
while(_qm_large)
  list(POP_FRONT _qm_large _qm_key _qm_side)
  string(TOLOWER "${_qm_key}" _qm_stem)
  _qm_add_builtin(large ${_qm_key} "${_qm_stem}_${_qm_side}" ${_qm_side} ${_qm_side})
endwhile()
foreach(_qm_key IN LISTS QM_ICON_KEYS)
  string(TOLOWER "${_qm_key}" _qm_stem)
  _qm_add_builtin(icon ${_qm_key} "${_qm_stem}" 16 16)
endforeach()
_qm_add_builtin(banner About about_banner 360 40)

# file(CONFIGURE) leaves the file untouched when its content is unchanged, so a re-run of CMake
# does not force the embedded source to be regenerated.
set(_qm_manifest_file "${QM_PICTURES_BUILD_DIR}/builtin_pictures.manifest")
file(CONFIGURE OUTPUT "${_qm_manifest_file}" CONTENT "${_qm_manifest}" @ONLY)

set(QM_BUILTIN_PICTURES_CPP "${CMAKE_BINARY_DIR}/generated/builtin_pictures.cpp")
add_custom_command(OUTPUT "${QM_BUILTIN_PICTURES_CPP}"
  COMMAND "${CMAKE_COMMAND}" -DMANIFEST=${_qm_manifest_file} -DOUTPUT=${QM_BUILTIN_PICTURES_CPP}
          -P "${QM_PICTURES_EMBED_SCRIPT}"
  DEPENDS ${_qm_builtin_pngs} "${_qm_manifest_file}" "${QM_PICTURES_EMBED_SCRIPT}"
  COMMENT "Embedding the built-in pictures"
  VERBATIM)

add_library(quillmark_pictures STATIC "${QM_BUILTIN_PICTURES_CPP}")
target_compile_features(quillmark_pictures PUBLIC cxx_std_20)
if(COMMAND qm_target_defaults)
  qm_target_defaults(quillmark_pictures)
endif()

# --- The "handdrawn" theme package -----------------------------------------------------------------

set(_qm_theme_src "${QM_PICTURES_SOURCE_DIR}/handdrawn")
set(_qm_theme_stage "${QM_PICTURES_BUILD_DIR}/handdrawn")
set(QM_THEME_ZIP "${CMAKE_BINARY_DIR}/gfx/handdrawn.zip")
set(_qm_theme_entries "")
set(_qm_theme_pngs "")

set(_qm_large ${QM_LARGE_PICTURES})
while(_qm_large)
  list(POP_FRONT _qm_large _qm_key _qm_side)
  string(TOLOWER "${_qm_key}" _qm_stem)
  _qm_render_svg("${_qm_theme_src}/${_qm_stem}_${_qm_side}.svg"
    "${_qm_theme_stage}/buttons/${_qm_stem}.png" ${_qm_side} ${_qm_side})
  list(APPEND _qm_theme_entries "buttons/${_qm_stem}.png")
endwhile()
foreach(_qm_key IN LISTS QM_ICON_KEYS)
  string(TOLOWER "${_qm_key}" _qm_stem)
  foreach(_qm_size IN LISTS QM_THEME_ICON_SIZES)
    _qm_render_svg("${_qm_theme_src}/${_qm_stem}.svg"
      "${_qm_theme_stage}/icons/${_qm_stem}_${_qm_size}.png" ${_qm_size} ${_qm_size})
    list(APPEND _qm_theme_entries "icons/${_qm_stem}_${_qm_size}.png")
  endforeach()
endforeach()
foreach(_qm_entry IN LISTS _qm_theme_entries)
  list(APPEND _qm_theme_pngs "${_qm_theme_stage}/${_qm_entry}")
endforeach()

# The package format wants CR LF line ends whatever the checkout did to the source file.
configure_file("${_qm_theme_src}/theme.cfg" "${_qm_theme_stage}/theme.cfg" @ONLY NEWLINE_STYLE CRLF)

# A fixed time stamp and time zone and an explicit entry order make the zip byte-for-byte reproducible.
add_custom_command(OUTPUT "${QM_THEME_ZIP}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/gfx"
  COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC
          "${CMAKE_COMMAND}" -E tar cf "${QM_THEME_ZIP}" --format=zip "--mtime=2020-01-01 00:00:00 UTC"
          -- theme.cfg ${_qm_theme_entries}
  WORKING_DIRECTORY "${_qm_theme_stage}"
  DEPENDS "${_qm_theme_stage}/theme.cfg" ${_qm_theme_pngs}
  COMMENT "Packing gfx/handdrawn.zip"
  VERBATIM)
add_custom_target(quillmark_theme ALL DEPENDS "${QM_THEME_ZIP}")

# --- Application icon for the desktop menu ---------------------------------------------------------

set(_qm_app_icons "")
foreach(_qm_size IN LISTS QM_APP_ICON_SIZES)
  set(_qm_png "${CMAKE_BINARY_DIR}/icons/hicolor/${_qm_size}x${_qm_size}/apps/quillmark.png")
  _qm_render_svg("${_qm_builtin_src}/quillmark.svg" "${_qm_png}" ${_qm_size} ${_qm_size})
  list(APPEND _qm_app_icons "${_qm_png}")
endforeach()
add_custom_target(quillmark_app_icon ALL DEPENDS ${_qm_app_icons})
