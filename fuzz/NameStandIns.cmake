oxa_add_fuzz(fuzz_name_stand_ins
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/NameStandIns.cpp
  DEPS oxa_platformwindows
  CORPUS tests/data/name-stand-ins)
