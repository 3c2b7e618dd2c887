# Puts the built macro library into the program directory of the build without losing edits:
# the file there is replaced only when it is missing or when the starter library itself has
# changed since it was last put there (a rebuilt tool writing the same library changes nothing).
#   cmake -DGENERATED=starter/Dx.dxm -DDEST=bin/Dx.dxm -P install_library.cmake
cmake_minimum_required(VERSION 3.25)
set(last "${GENERATED}.installed")
set(same FALSE)
if(EXISTS "${DEST}" AND EXISTS "${last}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${GENERATED}" "${last}" RESULT_VARIABLE differ)
  if(differ EQUAL 0)
    set(same TRUE)
  endif()
endif()
if(same)
  file(TOUCH_NOCREATE "${DEST}")
else()
  file(COPY_FILE "${GENERATED}" "${DEST}")
  file(COPY_FILE "${GENERATED}" "${last}")
endif()
