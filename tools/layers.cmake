# The runtime's layers point one way: a folder may include its own headers and those of the
# folders below it, never those above. Run as a test:
#   cmake -DRUNTIME_DIR=<source>/runtime -P tools/layers.cmake
#
#   kernel    host state, errors, dialogs, the platform seam, traps, delay and exit, the hook
#             table, the refresh hand-shake
#   strings   string descriptors, numbers, random numbers and the timer
#   sound     tones, music, sound files
#   screen    images and pages, text output, fonts, palettes, drawing
#   input     key buffer, keyboard translation, key reads, the line editor, input methods
#   host      start-up, main loop, display refresh, attaching the modules, program end
#   (top)     runtime.h and statement.h, the public surface
set(layers kernel strings sound screen input host)
list(LENGTH layers top)

file(GLOB_RECURSE sources RELATIVE ${RUNTIME_DIR} ${RUNTIME_DIR}/*.h ${RUNTIME_DIR}/*.cpp)
set(violations "")
foreach(source ${sources})
  string(REGEX MATCH "^[^/]+/" folder "${source}")
  if(folder)
    string(REPLACE "/" "" folder "${folder}")
    list(FIND layers ${folder} rank)
    if(rank EQUAL -1)
      string(APPEND violations "  ${source}: folder ${folder} has no layer\n")
      continue()
    endif()
  else()
    set(rank ${top})
  endif()
  file(STRINGS ${RUNTIME_DIR}/${source} includes REGEX "^#include \"runtime/")
  foreach(line ${includes})
    string(REGEX REPLACE "^#include \"runtime/([^\"]*)\".*" "\\1" target "${line}")
    if(target MATCHES "/")
      string(REGEX REPLACE "/.*" "" target_folder "${target}")
      list(FIND layers ${target_folder} target_rank)
    else()
      set(target_rank ${top})
    endif()
    if(target_rank EQUAL -1 OR target_rank GREATER rank)
      string(APPEND violations "  ${source} includes runtime/${target}\n")
    endif()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "A lower layer includes a higher one:\n${violations}")
endif()
message(STATUS "Layers: every include points down (${layers}, then the public headers)")
