oxa_add_fuzz(fuzz_mpeg_header
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/MpegHeader.cpp
  DEPS oxa_tags
  CORPUS tests/data/mpeg-header)
