oxa_add_fuzz(fuzz_music_checksum
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/MusicCheckSum.cpp
  DEPS oxa_tags
  CORPUS tests/data/music-checksum)
