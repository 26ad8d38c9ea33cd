#include <gtest/gtest.h>

#include "platform/core/LastError.h"
#include "rtl/OSError.h"

namespace {

TEST(OSError, CarriesTheCodeAndTheSystemsText)
{
  struct {
    DWORD Code;
    const char* Message;
  } const cases[] = {
      {ERROR_ACCESS_DENIED, "System Error.  Code: 5.\nAccess is denied"},
      {ERROR_NOT_ENOUGH_MEMORY,
       "System Error.  Code: 8.\nNot enough storage is available to process this command"},
      {ERROR_INVALID_PARAMETER, "System Error.  Code: 87.\nThe parameter is incorrect"},
      {1234, "System Error.  Code: 1234.\nSystem Error.  Code: 1234"},
      {ERROR_SUCCESS, "A call to an OS function failed"},
  };
  for (const auto& c : cases) {
    SetLastError(c.Code);
    try {
      RaiseLastOSError();
      ADD_FAILURE() << "no exception for " << c.Code;
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode(), c.Code);
      EXPECT_EQ(e.Message(), c.Message);
    }
  }
}

}  // namespace
