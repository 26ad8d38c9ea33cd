oxa_add_fuzz(fuzz_registry_hive
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/RegistryHive.cpp
  DEPS oxa_platformwindows
  CORPUS tests/data/registry-hive)
