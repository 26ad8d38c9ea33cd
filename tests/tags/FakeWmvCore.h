#pragma once
// A scripted stand-in for the media-format runtime, built as its own libwmvcore.so: tests put it
// where the tagger looks for the runtime, load it themselves to reach its state through the
// export FakeWmvCoreState, and so control exactly what the tagger is told and see what it writes.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/core/WMFormat.h"

struct TFakeAttribute {
  WMT_ATTR_DATATYPE Type = WMT_TYPE_STRING;
  std::vector<BYTE> Value;
};

struct TFakeWrite {
  std::u16string Name;
  WORD StreamNumber = 0;
  WMT_ATTR_DATATYPE Type = WMT_TYPE_STRING;
  std::vector<BYTE> Value;  // as many bytes as the length passed
};

struct TFakeWmvCoreState {
  // What GetAttributeByName answers for the open file.
  std::map<std::u16string, TFakeAttribute> Attributes;
  std::set<std::u16string> RefusedWrites;
  bool FailCreate = false;
  bool FailOpen = false;
  bool FailSecondRead = false;
  bool FailFlush = false;

  std::vector<TFakeWrite> Writes;
  std::vector<std::u16string> OpenedFiles;
  int Flushes = 0;
  int Closes = 0;
};

using TFakeWmvCoreStateFunction = TFakeWmvCoreState* (*)();
inline constexpr const char* FakeWmvCoreStateName = "FakeWmvCoreState";
