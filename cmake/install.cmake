# Installing Quillmark like a desktop program, and its Debian package (cpack -G DEB):
#   <prefix>/lib/quillmark/          the program, its core and window modules in modules/ and its gfx/
#                                    themes (it looks for them beside itself)
#   <prefix>/bin/quillmark           a relative link to the program
#   <prefix>/share/applications/     the desktop entry: window mode, "Open with" for PSD documents
#   <prefix>/share/metainfo/         AppStream metainfo for software centres
#   <prefix>/share/icons/hicolor/    the application icon at 16 to 256 px and as SVG
#   <prefix>/share/man/man1/         the manual page, written at build time by quillmark_manual
#                                    from the command line's own tables
#   <prefix>/share/doc/quillmark/    copyright and changelog; html/ the user manual Help opens

include_guard(GLOBAL)
include(GNUInstallDirs)

set(QM_INSTALL_PROGRAM_DIR "lib/quillmark" CACHE STRING
  "Folder below the prefix for the program and its gfx/ themes")
set(QM_DESKTOP_ID "example.ferroval.quillmark")
# The day the version in project() was released: the metainfo and the changelog carry it.
set(QM_RELEASE_DATE "2026-12-09")
set(QM_RELEASE_DATE_RFC2822 "Wed, 09 Dec 2026 12:00:00 +0000")
set(QM_PACKAGE_PREFIX "/usr")

set(_qm_install_src "${CMAKE_SOURCE_DIR}/resources/install")
set(_qm_install_out "${CMAKE_BINARY_DIR}/install")
find_program(QM_GZIP gzip REQUIRED)

# --- The manual page ---------------------------------------------------------------------------------

set(QM_MANUAL_PAGE "${CMAKE_BINARY_DIR}/man/quillmark.1")
# The HTML user manual Help opens; in the build folder it lies beside the program.
set(QM_HTML_MANUAL "${CMAKE_BINARY_DIR}/html/index.html")
set(QM_WINDOW_GUIDE "${CMAKE_SOURCE_DIR}/resources/manual/window-guide.html")
set(QM_MANUAL_TEMPLATE "${CMAKE_SOURCE_DIR}/resources/manual/quillmark.1.in")
# Debian wants manual pages compressed, and without a time stamp (-n) so the package is reproducible.
add_custom_command(OUTPUT "${QM_MANUAL_PAGE}" "${QM_MANUAL_PAGE}.gz" "${QM_HTML_MANUAL}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/man" "${CMAKE_BINARY_DIR}/html"
  COMMAND quillmark_manual "${QM_MANUAL_TEMPLATE}" "${QM_MANUAL_PAGE}" "${QM_PACKAGE_PREFIX}/${QM_INSTALL_PROGRAM_DIR}"
          "${QM_HTML_MANUAL}" "${QM_WINDOW_GUIDE}"
  COMMAND "${QM_GZIP}" -9 -n -f -k "${QM_MANUAL_PAGE}"
  DEPENDS quillmark_manual "${QM_MANUAL_TEMPLATE}" "${QM_WINDOW_GUIDE}"
  COMMENT "Writing the manual page man/quillmark.1 and the user manual html/index.html"
  VERBATIM)
add_custom_target(quillmark_manual_page ALL DEPENDS "${QM_MANUAL_PAGE}" "${QM_MANUAL_PAGE}.gz" "${QM_HTML_MANUAL}")

# --- Desktop entry, metainfo, documents --------------------------------------------------------------

configure_file("${_qm_install_src}/${QM_DESKTOP_ID}.metainfo.xml.in"
  "${_qm_install_out}/${QM_DESKTOP_ID}.metainfo.xml" @ONLY)
configure_file("${_qm_install_src}/changelog.in" "${_qm_install_out}/changelog" @ONLY)
add_custom_command(OUTPUT "${_qm_install_out}/changelog.gz"
  COMMAND "${QM_GZIP}" -9 -n -f -k "${_qm_install_out}/changelog"
  DEPENDS "${_qm_install_out}/changelog"
  VERBATIM)
add_custom_target(quillmark_changelog ALL DEPENDS "${_qm_install_out}/changelog.gz")

# The link in bin/ is relative, so the tree works wherever it is unpacked.
file(RELATIVE_PATH _qm_link_target "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}"
  "${CMAKE_INSTALL_PREFIX}/${QM_INSTALL_PROGRAM_DIR}/quillmark")
file(MAKE_DIRECTORY "${_qm_install_out}/bin")
file(CREATE_LINK "${_qm_link_target}" "${_qm_install_out}/bin/quillmark" SYMBOLIC)

# --- Install rules -----------------------------------------------------------------------------------

install(TARGETS quillmark RUNTIME DESTINATION "${QM_INSTALL_PROGRAM_DIR}")
# Modules, not executables: no execute bit. In a folder of their own, since cpack adds ldconfig
# calls to the package scripts for a shared object directly below a lib/ folder, and a private
# module has no business in the linker cache. The window module finds the core beside it.
install(TARGETS quillmark_core quillmark_window LIBRARY DESTINATION "${QM_INSTALL_PROGRAM_DIR}/modules"
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES "${QM_THEME_ZIP}" DESTINATION "${QM_INSTALL_PROGRAM_DIR}/gfx")
install(FILES "${_qm_install_out}/bin/quillmark" DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${_qm_install_src}/${QM_DESKTOP_ID}.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${_qm_install_out}/${QM_DESKTOP_ID}.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
foreach(_qm_size IN LISTS QM_APP_ICON_SIZES)
  install(FILES "${CMAKE_BINARY_DIR}/icons/hicolor/${_qm_size}x${_qm_size}/apps/quillmark.png"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_qm_size}x${_qm_size}/apps")
endforeach()
install(FILES "${QM_PICTURES_SOURCE_DIR}/builtin/quillmark.svg"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
install(FILES "${QM_MANUAL_PAGE}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${QM_HTML_MANUAL}" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/quillmark/html")
install(FILES "${_qm_install_src}/copyright" "${_qm_install_out}/changelog.gz"
  DESTINATION "${CMAKE_INSTALL_DOCDIR}")

# --- The Debian package ------------------------------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR Ferroval)
set(CPACK_PACKAGE_CONTACT "Ferroval <support@ferroval.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch converter of Photoshop documents into 23 image formats")
# One paragraph, cut at 75 columns for 80-column terminals.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Quillmark reads layered Photoshop documents (PSD), takes their composite"
  "image and writes it as BMP, DDS, EXR, GIF, HDR, ICO, JPEG 2000, JNG, JPEG,"
  "JPEG XR, PBM, PCX, PFM, PGM, PNG, PPM, PSD, TGA, TIFF, WBMP, WebP or XPM."
  "On the way every image can be rotated, resized, flipped, colour-corrected,"
  "turned to greyscale or a threshold image, framed, and watermarked with"
  "text or a picture. It converts from a desktop window or from the command"
  "line: single documents, whole folders or list files.")
set(CPACK_PACKAGING_INSTALL_PREFIX "${QM_PACKAGE_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.ferroval.example/")
# The libraries come from dpkg-shlibdeps, which reads the modules too, so the package still brings
# the image libraries and the window's toolkit although the program itself links neither; the fonts that stand in for the watermark's default faces
# are no library, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
