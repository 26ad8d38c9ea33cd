oxa_add_fuzz(fuzz_wave_header
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/WaveHeader.cpp
  DEPS oxa_tags
  CORPUS tests/data/wave-header)
