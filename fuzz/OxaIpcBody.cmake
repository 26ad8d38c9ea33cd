oxa_add_fuzz(fuzz_oxa_ipc_body
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/OxaIpcBody.cpp
  DEPS oxa_oxaipc
  CORPUS tests/data/oxa-ipc-body)
