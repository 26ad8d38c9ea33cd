oxa_add_fuzz(fuzz_lirc_line
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/LircLine.cpp
  DEPS oxa_musiccontrol
  CORPUS tests/data/lirc-line)
