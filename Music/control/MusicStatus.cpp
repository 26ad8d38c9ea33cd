#include "Music/control/MusicStatus.h"

#include <algorithm>

namespace {

constexpr std::int32_t TenthsPerSecond = 10;

bool SameTrack(const TDbId& a, const TDbId& b) noexcept
{
  return a.SameGroup(b) && a.FileId == b.FileId;
}

}  // namespace

bool TMusicStatusFeed::Track(const TDbId& item, std::int32_t number, bool shuffle)
{
  const bool empty = item.Level() != TDbIdLevel::Item;
  const bool newTrack = empty ? FItem.Level() == TDbIdLevel::Item : !SameTrack(item, FItem);
  FItem = empty ? TDbId() : item;
  if (FNode == nullptr) {
    return newTrack;
  }
  TSourceStatus& status = FNode->Status;
  const std::int32_t position = empty ? 0 : std::max<std::int32_t>(number, 0);
  const std::string caption = empty ? std::string() : item.Caption;
  const std::int32_t mediaPosition = empty || newTrack ? 0 : status.MediaPosition;
  const std::int32_t random = shuffle ? 1 : 0;
  if (position == status.Position && mediaPosition == status.MediaPosition && random == status.Random &&
      caption == status.FormattedText()) {
    return newTrack;
  }
  status.Position = position;
  status.MediaPosition = mediaPosition;
  status.Random = random;
  status.SetFormatted(caption);
  Publish();
  return newTrack;
}

void TMusicStatusFeed::Position(std::int32_t tenths)
{
  if (FNode == nullptr) {
    return;
  }
  const std::int32_t seconds = std::max<std::int32_t>(tenths, 0) / TenthsPerSecond;
  if (seconds == FNode->Status.MediaPosition) {
    return;
  }
  FNode->Status.MediaPosition = seconds;
  Publish();
}

void TMusicStatusFeed::State(BYTE state, bool stopped)
{
  if (FNode == nullptr) {
    return;
  }
  TSourceStatus& status = FNode->Status;
  const std::int32_t mediaPosition = stopped ? 0 : status.MediaPosition;
  if (state == status.Activity && mediaPosition == status.MediaPosition) {
    return;
  }
  status.Activity = state;
  status.MediaPosition = mediaPosition;
  Publish();
}

void TMusicStatusFeed::Window(std::uint8_t displayMode, std::uint8_t scanPanel)
{
  if (FNode == nullptr) {
    return;
  }
  TSourceGui& gui = FNode->Gui;
  const std::int32_t flag = displayMode != 0 ? 1 : 0;
  if (flag == gui.Flag && scanPanel == gui.Mode && gui.Visible == (flag != 0 || scanPanel != 0 ? 1 : 0)) {
    return;
  }
  gui.Flag = flag;
  gui.Mode = scanPanel;
  FNode->PublishGui();
}

void TMusicStatusFeed::Publish()
{
  FNode->UpdateStatus();
}
