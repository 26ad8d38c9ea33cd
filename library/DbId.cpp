#include "library/DbId.h"

#include "rtl/Exception.h"

TDbIdLevel TDbId::Level() const noexcept
{
  if (ViewId == -1) {
    return TDbIdLevel::Root;
  }
  if (GroupId == -1) {
    return TDbIdLevel::View;
  }
  if (FileId == -1) {
    return TDbIdLevel::Group;
  }
  return TDbIdLevel::Item;
}

bool TDbId::Valid() const noexcept
{
  return Level() == TDbIdLevel::Item || (FileId == -1 && ViewId != -1);
}

TDbId BeforeFirst(const TDbId& id)
{
  TDbId result = id;
  result.Order = 0;
  switch (id.Level()) {
    case TDbIdLevel::Root:
      throw Exception("BeforeFirst: Root not allowed");
    case TDbIdLevel::View:
      result.GroupId = 0;
      break;
    case TDbIdLevel::Group:
      result.FileId = 0;
      break;
    case TDbIdLevel::Item:
      throw Exception("BeforeFirst: File not allowed");
  }
  return result;
}

bool IsBeforeFirst(const TDbId& id)
{
  switch (id.Level()) {
    case TDbIdLevel::Root:
      break;
    case TDbIdLevel::View:
      if (id.ViewId == 0) {
        throw Exception("IsBeforeFirst: ViewId = 0");
      }
      return true;
    case TDbIdLevel::Group:
      return id.GroupId == 0;
    case TDbIdLevel::Item:
      return id.FileId == 0;
  }
  throw Exception("IsBeforeFirst: Illegal DbId");
}
