#include "views/list/MusicListViewItem.h"

#include <cstring>

#include <algorithm>

#include "platform/windows/Surface.h"
#include "rtl/Format.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListView.h"

// --- TMusicListViewItem ---

TMusicListViewItem::TMusicListViewItem(TOxaObjects* parentList, TMusicListView* list,
                                       TMusicListViewItemKinds kind)
    : TDisplayListViewItem(parentList, list), FKind(kind)
{
}

TMusicListView* TMusicListViewItem::MusicList() const noexcept
{
  // Music rows are made only with a music list.
  return static_cast<TMusicListView*>(List());
}

void TMusicListViewItem::SetNumber(int value)
{
  if (value == FNumber)
    return;
  FNumber = value;
  StateChanged();
}

void TMusicListViewItem::StateChanged()
{
  if (!InsertBefore() && !InsertAfter() && FGapStep != 0) {
    const int base = Height() - GapHeight();
    FGapStep = 0;
    SetBounds(Left(), Top(), Width(), base);
  }
  Compose();
  TDisplayListViewItem::StateChanged();
}

void TMusicListViewItem::Resized()
{
  TDisplayListViewItem::Resized();
  Compose();
}

int TMusicListViewItem::GapStepHeight(int step) noexcept
{
  if (step <= 0)
    return 0;
  return 2 + (kMusicIconSize - 2) * (std::min(step, 10) - 1) / 9;
}

int TMusicListViewItem::GapHeight() const noexcept
{
  return GapStepHeight(FGapStep);
}

void TMusicListViewItem::SetGapStep(int set, int step)
{
  step = std::clamp(step, 0, 10);
  if (!InsertBefore() && !InsertAfter())
    step = 0;                            // no gap is open
  set = set >= 0 && set < 4 ? set : -1;  // no such set: the gap draws no frame
  if (set == FGapSet && step == FGapStep)
    return;
  const int base = Height() - GapHeight();
  FGapSet = std::int8_t(set);
  FGapStep = std::uint8_t(step);
  const int height = base + GapHeight();
  if (height != Height())
    SetBounds(Left(), Top(), Width(), height);  // recomposes
  else
    Compose();
}

void TMusicListViewItem::ReleaseSurface()
{
  if (!FComposed)
    return;
  FComposed = false;
  ChangeImageSize(0, 0, 6);
}

void TMusicListViewItem::ComposeInto(TMusicListViewItem& leaving)
{
  if (&leaving != this && leaving.FComposed && !FComposed && leaving.Width() == Width() &&
      leaving.Height() == Height()) {
    SwapSurface(leaving);  // leaving now holds this row's empty surface, which it lets go below
  }
  leaving.ReleaseSurface();
  Compose();
}

void TMusicListViewItem::Compose()
{
  if (Width() <= 0 || Height() <= 0) {
    return;
  }
  if (List() != nullptr && (Parent() == nullptr || !List()->Showing())) {
    FComposePending = true;
    return;
  }
  ComposeSurface();
}

void TMusicListViewItem::DrawImageTo(TOxaBitmap& target, int x, int y, const RECT& clip)
{
  if (FComposePending)
    ComposeSurface();
  TDisplayListViewItem::DrawImageTo(target, x, y, clip);
}

TOxaColor TMusicListViewItem::GetPixel(int x, int y)
{
  if (FComposePending)
    ComposeSurface();
  return TDisplayListViewItem::GetPixel(x, y);
}

void TMusicListViewItem::ComposeSurface()
{
  FComposePending = false;
  if (Width() <= 0 || Height() <= 0) {
    return;
  }
  if (List() != nullptr && !MusicList()->RowInReach(this)) {
    ReleaseSurface();
    return;
  }
  FComposed = true;
  ChangeImageSize(Width(), Height(), 6);
  const int state = DrawState();
  const TMusicListViewEntry entry = MusicListViewEntry(IsTrack(), state);
  const TMusicListViewColors colors = MusicListViewColors(IsTrack(), state);
  const TOxaColor frame = MusicListViewCodeColor(entry[0]).value_or(0);
  const int gap = GapHeight();
  // The row's own part lies below a gap opened before it, above one opened after it.
  const int top = InsertBefore() ? gap : 0;
  const int height = Height() - gap;
  FillSurface(ClientRect(), 0x000000);
  FillSurface({0, top, Width(), top + height}, frame);
  const int band = std::min(height, kMusicIconSize);
  FillSurface({kMusicCaptionLeft, top, Width(), top + band}, colors.CaptionBack);
  // A row outliving its list draws its frame only.
  const TMusicListView* list = MusicList();
  if (list == nullptr) {
    return;
  }
  const auto put = [&](TOxaBitmap* image, int x, int y) {
    if (image != nullptr)
      image->Draw(*this, x, y, {0, 0, image->ImageWidth(), image->ImageHeight()});
  };
  if (gap > 0)
    put(list->DragInsert(FGapSet, FGapStep), kMusicRowMargin, InsertBefore() ? 0 : height);
  const bool group =
      FKind == TMusicListViewItemKinds::mlkAlbum || FKind == TMusicListViewItemKinds::mlkFolder;
  const TSurface* cover = group ? MusicList()->GroupCover(Payload()) : nullptr;
  if (cover != nullptr) {
    DrawCover(*cover, top, band);
  } else {
    put(list->Icon(FKind, state), kMusicRowMargin, top);
  }
  put(list->Flap(MusicListViewInnerFlapCode(entry)), kMusicRowMargin + kMusicIconSize, top);
  put(list->Flap(MusicListViewOuterFlapCode(entry)), Width() - kMusicFlapWidth, top);

  TOxaTextBlock block;
  const int textLeft = kMusicCaptionLeft + kMusicCaptionPadding;
  const int textWidth = Width() - kMusicFlapWidth - kMusicCaptionPadding - textLeft;
  if (!Caption().empty() && textWidth > 0) {
    const TOxaFont& font = list->TextFont(colors.CaptionText, colors.CaptionBack);
    font.Layout(Caption(), 0, block, band, textWidth, "...", kOxaWrapWord);
    font.Draw(*this, block, textLeft, top + std::max(0, (band - block.Height) / 2));
  }
  if (IsTrack()) {
    const TOxaFont& font = list->TextFont(colors.NumberText, colors.NumberBack);
    font.Layout(Format("%.3d", FNumber), 0, block, band, kMusicIconSize, {}, kOxaWrapNone);
    font.Draw(*this, block, kMusicRowMargin + std::max(0, (kMusicIconSize - block.Width) / 2),
              top + std::max(0, (band - block.Height) / 2));
  }
}

void TMusicListViewItem::DrawCover(const TSurface& cover, int top, int band)
{
  const int width = std::min<int>(cover.Width(), kMusicIconSize);
  const int height = std::min<int>(cover.Height(), band);
  const int left = kMusicRowMargin + (kMusicIconSize - width) / 2;
  const int coverTop = top + (band - height) / 2;
  FillSurface({kMusicRowMargin, top, kMusicRowMargin + kMusicIconSize, top + band}, 0x000000);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = ScanLine(coverTop + y);
    if (row != nullptr && cover.BitsPerPixel() == 24) {
      std::memcpy(row + static_cast<std::size_t>(left) * 3, cover.Row(y),
                  static_cast<std::size_t>(width) * 3);
    }
  }
}
