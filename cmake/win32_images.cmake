# Builds the desktop program's icons, cursor and toolbar bitmap from the XPM sources in
# app/win32/images with ImageMagick, and copies the help pages next to the programs.
#   FOLVEX_WIN32_GENERATED_DIR  folder of the generated files that app/win32/resources/images.rc
#                               names by file name (put it on the resource compiler's include path)
#   folvex_desktop_files        target that makes all of them

include_guard(GLOBAL)

find_program(IMAGEMAGICK_CONVERT convert REQUIRED)

set(FOLVEX_WIN32_GENERATED_DIR ${CMAKE_BINARY_DIR}/win32_generated)
set(images ${PROJECT_SOURCE_DIR}/app/win32/images)
set(generated ${FOLVEX_WIN32_GENERATED_DIR})
file(MAKE_DIRECTORY ${generated})

set(toolbar_images undo redo extract merge_all merge_selected set_security remove_security split_all
    split_page_input)
set(toolbar_sources)
foreach(name ${toolbar_images})
  list(APPEND toolbar_sources ${images}/tb_${name}.xpm)
endforeach()

# Nine 16x15 images side by side in a palette bitmap, so that the toolbar can map its pure green
# to the button face (CreateMappedBitmap works on the colour table).
add_custom_command(OUTPUT ${generated}/toolbar.bmp
  COMMAND ${IMAGEMAGICK_CONVERT} ${toolbar_sources} +append -type Palette BMP3:${generated}/toolbar.bmp
  DEPENDS ${toolbar_sources} VERBATIM)

add_custom_command(OUTPUT ${generated}/folvex.ico
  COMMAND ${IMAGEMAGICK_CONVERT} ${images}/folvex_icon.xpm -define icon:auto-resize=48,32,16
          ${generated}/folvex.ico
  DEPENDS ${images}/folvex_icon.xpm VERBATIM)
add_custom_command(OUTPUT ${generated}/folvex_large.ico
  COMMAND ${IMAGEMAGICK_CONVERT} ${images}/folvex_icon.xpm -define icon:auto-resize=48
          ${generated}/folvex_large.ico
  DEPENDS ${images}/folvex_icon.xpm VERBATIM)

set(generated_files ${generated}/toolbar.bmp ${generated}/folvex.ico ${generated}/folvex_large.ico)
foreach(name ipdf inon ibad ienc)
  add_custom_command(OUTPUT ${generated}/${name}.ico
    COMMAND ${IMAGEMAGICK_CONVERT} ${images}/${name}.xpm ${generated}/${name}.ico
    DEPENDS ${images}/${name}.xpm VERBATIM)
  list(APPEND generated_files ${generated}/${name}.ico)
endforeach()

# ImageMagick writes a cursor without a hotspot; the arrow's tip is the image's top left pixel.
add_custom_command(OUTPUT ${generated}/drag.cur
  COMMAND ${IMAGEMAGICK_CONVERT} ${images}/drag_cursor.xpm ${generated}/drag_cursor.ico
  COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/icon_to_cursor.sh ${generated}/drag_cursor.ico ${generated}/drag.cur 0 0
  DEPENDS ${images}/drag_cursor.xpm ${PROJECT_SOURCE_DIR}/cmake/icon_to_cursor.sh VERBATIM)
list(APPEND generated_files ${generated}/drag.cur)

foreach(page Help.htm HelpE.htm)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${page}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/app/win32/help/${page} ${CMAKE_BINARY_DIR}/${page}
    DEPENDS ${PROJECT_SOURCE_DIR}/app/win32/help/${page} VERBATIM)
  list(APPEND generated_files ${CMAKE_BINARY_DIR}/${page})
endforeach()

add_custom_target(folvex_desktop_files ALL DEPENDS ${generated_files})
