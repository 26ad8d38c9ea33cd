oxa_add_fuzz(fuzz_outside_keys
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/OutsideKeys.cpp
  DEPS oxa_musiccontrol
  CORPUS tests/data/outside-keys)
