#include "platform/Metrics.h"

namespace {

constexpr int HeadlessScreenWidth = 800;
constexpr int HeadlessScreenHeight = 600;

}  // namespace

int GetSystemMetrics(int nIndex) noexcept
{
  switch (nIndex) {
    case SM_CXSCREEN:
      return HeadlessScreenWidth;
    case SM_CYSCREEN:
      return HeadlessScreenHeight;
    default:
      return 0;
  }
}
