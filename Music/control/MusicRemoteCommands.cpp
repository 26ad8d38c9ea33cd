#include "Music/control/MusicRemoteCommands.h"

#include "library/DbId.h"

TRemoteAction RemoteAction(TSourceKey key) noexcept
{
  switch (key) {
    case TSourceKey::StepUp:
      return TRemoteAction::StepUp;
    case TSourceKey::StepDown:
      return TRemoteAction::StepDown;
    case TSourceKey::Wind:
      return TRemoteAction::Wind;
    case TSourceKey::Rewind:
      return TRemoteAction::Rewind;
    case TSourceKey::Go:
    case TSourceKey::Play:
      return TRemoteAction::Play;
    case TSourceKey::Stop:
      return TRemoteAction::Stop;
    case TSourceKey::Digit:
      return TRemoteAction::Digit;
    case TSourceKey::ControlYellow:
    case TSourceKey::ControlGreen:
    case TSourceKey::ControlBlue:
    case TSourceKey::ControlRed:
      return TRemoteAction::ShowInView;
    case TSourceKey::Menu:
      return TRemoteAction::Menu;
    case TSourceKey::Random:
      return TRemoteAction::Random;
    case TSourceKey::Pause:
    case TSourceKey::Exit:
    case TSourceKey::Language:
    case TSourceKey::Record:
      break;
  }
  return TRemoteAction::None;
}

std::int32_t ColourKeyView(TSourceKey key) noexcept
{
  switch (key) {
    case TSourceKey::ControlBlue:
      return ViewPlaylists;
    case TSourceKey::ControlGreen:
      return ViewArtists;
    case TSourceKey::ControlRed:
      return ViewGenre;
    case TSourceKey::ControlYellow:
      return ViewAlbums;
    default:
      return 0;
  }
}

std::optional<char> DigitCharacter(std::int32_t value) noexcept
{
  if (value < 0 || value > 9) {
    return std::nullopt;
  }
  return static_cast<char>('0' + value);
}

std::uint8_t MenuDisplayMode(std::uint8_t mode) noexcept
{
  return mode == 0 ? 1 : 0;
}

std::uint8_t ActivatedDisplayMode(std::uint8_t mode, std::int32_t activation) noexcept
{
  if (activation < 2) {
    return mode;
  }
  // Mode 1 is a shown browser too: it hides like 2 and 3 rather than staying up.
  return mode == 0 ? 2 : 0;
}

bool DroppedWhenStale(TRemoteAction action) noexcept
{
  switch (action) {
    case TRemoteAction::StepUp:
    case TRemoteAction::StepDown:
    case TRemoteAction::Wind:
    case TRemoteAction::Rewind:
    case TRemoteAction::Digit:
    case TRemoteAction::ShowInView:
    case TRemoteAction::Menu:
      return true;
    case TRemoteAction::None:
    case TRemoteAction::Play:
    case TRemoteAction::Stop:
    case TRemoteAction::Random:
      break;
  }
  return false;
}
