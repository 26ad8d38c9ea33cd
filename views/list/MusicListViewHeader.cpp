#include "views/list/MusicListViewHeader.h"

#include "views/list/DisplayListView.h"

void TMusicListViewHeader::Compose()
{
  if (Width() <= 0 || Height() <= 0) {
    ChangeImageSize(0, 0, 6);
    return;
  }
  ChangeImageSize(Width(), Height(), 6);
  FillSurface(ClientRect(), Color());
  ContentChanged();
}

// A drag over a strip is a drag over the list beside its view (the gap, the auto-scroll band).
void TMusicListViewHeader::DragOver(TOxaBitmap* source, int x, int y)
{
  TOxaBitmap::DragOver(source, x, y);
  if (auto* list = dynamic_cast<TDisplayListView*>(Parent()))
    list->DragOver(source, x + Left(), y + Top());
}

void TMusicListViewHeader::DragMove(TOxaBitmap* source, int x, int y)
{
  TOxaBitmap::DragMove(source, x, y);
  if (auto* list = dynamic_cast<TDisplayListView*>(Parent()))
    list->DragMove(source, x + Left(), y + Top());
}

void TMusicListViewHeader::DragDrop(TOxaBitmap* source, int x, int y)
{
  TOxaBitmap::DragDrop(source, x, y);
  if (auto* list = dynamic_cast<TDisplayListView*>(Parent()))
    list->DragDrop(source, x + Left(), y + Top());
}

void TMusicListViewHeader::Resized()
{
  TOxaBitmap::Resized();
  Compose();
}
