# cmake -DART_DIR=<skin_art> -DFILES=<1x names> -P check_images.cmake
# Fails with every problem listed: a missing image, one that is not a whole PNG, a wrong size, a
# 2x image that is not twice its 1x one, or a name in FILES that the table does not expect.

# Name and 1x size. Sizes follow the controls: pills as high as their buttons, check boxes 16 x 16,
# the language combo at its full 320 x 32, the status icons at the message box's 56 x 56.
set(expected
    "banner 600 338" "bk 64 64" "background 640 400"
    "box_checked 16 16" "box_disabled 16 16" "box_hot 16 16" "box_normal 16 16"
    "cbx_checked 16 16" "cbx_checked_hot 16 16" "cbx_disabled 16 16" "cbx_hot 16 16"
    "cbx_normal 16 16" "checkboxoff-hover 16 16" "checkboxoff-normal 16 16"
    "checkboxon-hover 16 16" "checkboxon-normal 16 16"
    "btn_normal 192 40" "btn_hot 192 40" "btn_pushed 192 40" "btn_disabled 192 40"
    "btn_hot_1 192 40" "btn_interval 1 20"
    "btn1_normal 200 32" "btn1_hot 200 32" "btn1_pushed 200 32" "btn1_disabled 200 32"
    "btn2_normal 200 32" "btn2_hot 200 32" "btn2_pushed 200 32" "btn2_disabled 200 32"
    "close_normal 24 24" "close_hot 24 24" "close_pushed 24 24" "close_disabled 24 24"
    "minimal_normal 24 24" "minimal_hot 24 24" "minimal_pushed 24 24" "minimal_disabled 24 24"
    "hide_btn_normal 24 24" "hide_btn_hover 24 24" "hide_btn_pressed 24 24"
    "hide_btn_disabled 24 24"
    "dn_cb_normal 320 32" "dn_cb_hover 320 32" "dn_cb_pressed 320 32" "dn_cb_disabled 320 32"
    "select_normal 24 24" "select_hot 24 24" "select_pushed 24 24" "select_disabled 24 24"
    "selector_normal 24 32" "selector_hover 24 32" "selector_pressed 24 32"
    "selector_disabled 24 32"
    "folder_bk 32 32" "folder_normal 24 24" "folder_hot 24 24" "folder_pushed 24 24"
    "folder_disabled 24 24"
    "progress_background 12 6" "progress_fore 12 6"
    "divide_horizontal 100 1" "down 8 8" "up 8 8" "ie_default 56 56" "info_bg_warning 64 60"
    "success 56 56" "warn 56 56" "tips_close_normal 14 14" "tips_close_pressed 14 14")
set(icon_sizes 16 24 32 48 64 128 256)

set(problems "")

# Reads the PNG signature, the IHDR size and the closing IEND chunk.
function(png_size path out_w out_h)
  set(${out_w} -1 PARENT_SCOPE)
  if(NOT EXISTS ${path})
    set(problems "${problems}\n  missing: ${path}" PARENT_SCOPE)
    return()
  endif()
  file(SIZE ${path} size)
  if(size LESS 57)
    set(problems "${problems}\n  too short for a PNG: ${path}" PARENT_SCOPE)
    return()
  endif()
  file(READ ${path} head LIMIT 24 HEX)
  math(EXPR tail_at "${size} - 12")
  file(READ ${path} tail OFFSET ${tail_at} HEX)
  if(NOT head MATCHES "^89504e470d0a1a0a0000000d49484452" OR NOT tail STREQUAL
                                                             "0000000049454e44ae426082")
    set(problems "${problems}\n  not a whole PNG: ${path}" PARENT_SCOPE)
    return()
  endif()
  string(SUBSTRING ${head} 32 8 w)
  string(SUBSTRING ${head} 40 8 h)
  math(EXPR w "0x${w}")
  math(EXPR h "0x${h}")
  set(${out_w} ${w} PARENT_SCOPE)
  set(${out_h} ${h} PARENT_SCOPE)
endfunction()

function(expect_size path w h)
  png_size(${path} got_w got_h)
  if(got_w EQUAL -1)
    set(problems "${problems}" PARENT_SCOPE)
  elseif(NOT got_w EQUAL w OR NOT got_h EQUAL h)
    set(problems "${problems}\n  ${path}: ${got_w} x ${got_h}, expected ${w} x ${h}" PARENT_SCOPE)
  endif()
endfunction()

set(expected_files "")
foreach(entry IN LISTS expected)
  separate_arguments(fields UNIX_COMMAND "${entry}")
  list(GET fields 0 name)
  list(GET fields 1 w)
  list(GET fields 2 h)
  math(EXPR w2 "${w} * 2")
  math(EXPR h2 "${h} * 2")
  expect_size(${ART_DIR}/1x/${name}.png ${w} ${h})
  expect_size(${ART_DIR}/2x/${name}.png ${w2} ${h2})
  list(APPEND expected_files ${name}.png)
endforeach()
foreach(size IN LISTS icon_sizes)
  expect_size(${ART_DIR}/1x/icon_${size}.png ${size} ${size})
  list(APPEND expected_files icon_${size}.png)
endforeach()

# The list handed to the skin archive must be exactly these files.
list(SORT expected_files)
set(listed ${FILES})
list(SORT listed)
if(NOT listed STREQUAL expected_files)
  set(extra ${listed})
  list(REMOVE_ITEM extra ${expected_files})
  set(absent ${expected_files})
  list(REMOVE_ITEM absent ${listed})
  set(problems
      "${problems}\n  NUV_SKIN_ART_FILES differs: unexpected [${extra}], absent [${absent}]")
endif()

if(problems)
  message(FATAL_ERROR "skin artwork:${problems}")
endif()
list(LENGTH expected_files count)
message(STATUS "skin artwork: ${count} images checked at 1x and 2x")
