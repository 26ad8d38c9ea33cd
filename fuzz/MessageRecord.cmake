oxa_add_fuzz(fuzz_message_record
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/MessageRecord.cpp
  DEPS oxa_platformwindows
  CORPUS tests/data/message-record)
