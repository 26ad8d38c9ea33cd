oxa_add_fuzz(fuzz_music_string_list
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/MusicStringList.cpp
  DEPS oxa_settings
  CORPUS tests/data/music-string-list)
