// Store images as nodes.
#include "views/OxaViewImages.h"

bool OxaShowImage(TOxaBitmap& node, TOxaBitmap* image)
{
  if (image == nullptr || image->ImageWidth() <= 0 || image->ImageHeight() <= 0) {
    node.ChangeImageSize(0, 0, opf24Bit);
    node.SetImageRect(0, 0, 0, 0);
    node.SetBounds(node.Left(), node.Top(), 0, 0);
    return false;
  }
  const int width = image->ImageWidth();
  const int height = image->ImageHeight();
  node.ChangeImageSize(width, height, opf24Bit);
  image->Draw(node, 0, 0, {0, 0, width, height});
  node.SetImageRect(0, 0, width, height);
  node.SetBounds(node.Left(), node.Top(), width, height);
  node.ContentChanged();
  return true;
}

bool OxaShowStoreImage(TOxaBitmap& node, std::string_view name)
{
  TOxaBitmaps* store = node.Bitmaps();
  return OxaShowImage(node, store != nullptr ? store->Find(name) : nullptr);
}
