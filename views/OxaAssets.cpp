// The asset containers' common part.
#include "views/OxaAssets.h"

#include "rtl/Object.h"

const std::vector<std::string> kOxaGlyphKerning = {"ua.*=-1", "ur.*=-1",  "uc.*=-1",
                                                   "ut.*=-1", "ua.uy=-2", "uy.ua=-2"};

HINSTANCE OxaProgramInstance() noexcept
{
  // Any non-null instance names the program's own resources on this platform.
  static char marker;
  return reinterpret_cast<HINSTANCE>(&marker);
}

TOxaAssetsForm::TOxaAssetsForm(TComponent* owner, TOxaStoreSource source)
    : TComponent(owner), FSource(std::move(source))
{
}

TComponent* TOxaAssetsForm::Find(std::string_view name) const noexcept
{
  for (int i = 0; i < ComponentCount(); ++i) {
    if (Components(i)->Name() == name) {
      return Components(i);
    }
  }
  return nullptr;
}

TOxaBitmaps* TOxaAssetsForm::Store(std::string_view name) const noexcept
{
  return dynamic_cast<TOxaBitmaps*>(Find(name));
}

TOxaFont* TOxaAssetsForm::Font(std::string_view name) const noexcept
{
  return dynamic_cast<TOxaFont*>(Find(name));
}

TOxaFonts* TOxaAssetsForm::FontSet(std::string_view name) const noexcept
{
  return dynamic_cast<TOxaFonts*>(Find(name));
}

TOxaColors* TOxaAssetsForm::ColorSet(std::string_view name) const noexcept
{
  return dynamic_cast<TOxaColors*>(Find(name));
}

TOxaBitmaps* TOxaAssetsForm::NewStore(const char* name)
{
  auto* store = TComponent::Create<TOxaBitmaps>(*this);
  store->SetName(name);
  if (FSource) {
    TOxaStoreBlob blob = FSource(name);
    if (blob.Static) {
      store->ReadStaticData(*blob.Static);
    } else if (blob.Copy) {
      store->ReadData(std::move(*blob.Copy));
    }
  }
  return store;
}

TOxaFont* TOxaAssetsForm::NewGlyphFont(const TOxaGlyphFontSpec& spec, const std::vector<std::string>& kerning)
{
  auto* font = TComponent::Create<TOxaFont>(*this);
  font->SetName(spec.Name);
  font->SetAutoFontHeight(false);
  font->SetFontHeight(12);
  font->SetFontTop(spec.FontTop);
  font->SetCharacterSpacing(spec.CharacterSpacing);
  font->SetKerning(kerning);
  font->SetBitmaps(Store(spec.Store));
  return font;
}

TOxaFont* TOxaAssetsForm::NewPlatformFont(const TOxaPlatformFontSpec& spec)
{
  auto* font = TComponent::Create<TOxaFont>(*this);
  font->SetName(spec.Name);
  TOxaGdiFont gdi;
  gdi.Name = spec.Face;
  gdi.Height = spec.Height;
  gdi.Color = spec.Color;
  font->SetGdiFont(gdi);
  font->SetGdiColor(spec.Background);
  return font;
}

TOxaFonts* TOxaAssetsForm::NewFonts(const char* name, const std::vector<const char*>& states)
{
  auto* set = TComponent::Create<TOxaFonts>(*this);
  set->SetName(name);
  for (std::size_t state = 0; state < states.size(); ++state) {
    set->SetItems(int(state), Font(states[state]));
  }
  return set;
}

TOxaColors* TOxaAssetsForm::NewColors(const char* name, const std::vector<TOxaColor>& states)
{
  auto* set = TComponent::Create<TOxaColors>(*this);
  set->SetName(name);
  for (std::size_t state = 0; state < states.size(); ++state) {
    set->SetItems(int(state), states[state]);
  }
  return set;
}
