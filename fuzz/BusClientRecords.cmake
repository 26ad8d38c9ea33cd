oxa_add_fuzz(fuzz_bus_client_records
  SOURCE ${CMAKE_CURRENT_LIST_DIR}/BusClientRecords.cpp
  DEPS oxa_oxaipc
  CORPUS tests/data/bus-client-records)
