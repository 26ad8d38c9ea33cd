oxa_add_fuzz(fuzz_registered_messages
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/RegisteredMessages.cpp
  DEPS oxa_platformwindows
  CORPUS tests/data/registered-messages)
