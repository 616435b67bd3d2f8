# SPDX-License-Identifier: GPL-3.0-or-later
# Lays out a ready program folder in DEST from the sources in SOURCE_DIR. A data file that is
# already there is kept as it is: a build or an install never touches a user's catalogue.
cmake_minimum_required(VERSION 3.25)

file(MAKE_DIRECTORY "${DEST}" "${DEST}/ZIP" "${DEST}/sound")

foreach(name Base.vlt index List.dnl AvtLst.lst)
  if(NOT EXISTS "${DEST}/${name}")
    # The ID list may also be spelled "Index"; one of the two is enough.
    if(name STREQUAL "index" AND EXISTS "${DEST}/Index")
      continue()
    endif()
    file(TOUCH "${DEST}/${name}")
  endif()
endforeach()

set(shipped About Help BackGround.jpg)
file(GLOB sounds RELATIVE "${SOURCE_DIR}/resources" "${SOURCE_DIR}/resources/sound/*.wav")
foreach(name IN LISTS shipped sounds)
  if(NOT EXISTS "${DEST}/${name}" AND EXISTS "${SOURCE_DIR}/resources/${name}")
    file(COPY_FILE "${SOURCE_DIR}/resources/${name}" "${DEST}/${name}")
  endif()
endforeach()
