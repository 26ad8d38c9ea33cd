#pragma once
// TIpcSource: a node that the host can switch to and away from ("Open"/"Close"), that follows
// the remote keys the host forwards, and that publishes its state as properties, each announced
// with "On" + its name carrying the same bytes.
//
// Payloads of the commands: key commands 12 bytes (Sender, Target, Extra); "DebugLowSpeed" 16
// (Sender, Target, Extra, Key); "PlayFile" at least 256; "Picture" and "Display" exactly 12,
// "Video" and "Audio" exactly 8, "Hide" at least 8; "Open" 12 (Parameters; anything else opens
// with -1, 0, 0) and "Close" at least 8 (-1, 0 otherwise). A payload of another size does
// nothing at all. Calls to "Open" and "Close" are answered with a 32-bit 1 (open / closed) or 0.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "OxaIPC/CustomNode.h"

// The records as they travel, little-endian 32-bit values.
struct TSourcePicture {
  std::int32_t Contrast;
  std::int32_t Brightness;
  std::int32_t Color;
};
static_assert(sizeof(TSourcePicture) == 12);

struct TSourceVideo {
  std::int32_t Video;
  std::int32_t Extra;  // carried along, meaning left to the host
};
static_assert(sizeof(TSourceVideo) == 8);

struct TSourceDisplay {
  std::int32_t Hidden;
  std::int32_t Window;
  std::int32_t Fullscreen;
};
static_assert(sizeof(TSourceDisplay) == 12);

struct TSourceAudio {
  std::int32_t Type1;
  std::int32_t Type2;
};
static_assert(sizeof(TSourceAudio) == 8);

struct TSourceStatus {
  std::int32_t Position;
  std::int32_t MediaPosition;
  std::int32_t Activity;
  std::int32_t Blanking;
  std::int32_t Tuning;
  std::int32_t RecordingSource;
  std::int32_t RecordingTarget;
  std::int32_t Random;
  // A length-prefixed text: the length byte, then at most 255 characters.
  std::uint8_t Formatted[256];

  // Cuts the text to 255 characters and clears the rest.
  void SetFormatted(const std::string& text);
  // The text as far as the length byte says.
  std::string FormattedText() const;
};
static_assert(sizeof(TSourceStatus) == 288);
static_assert(offsetof(TSourceStatus, Formatted) == 32);

// Open: the parameters the host gave; close: the first two of them.
struct TSourceOpenParameters {
  std::int32_t A = -1;
  std::int32_t B = 0;
  std::int32_t C = 0;
};
static_assert(sizeof(TSourceOpenParameters) == 12);
struct TSourceCloseParameters {
  std::int32_t A = -1;
  std::int32_t B = 0;
};
static_assert(sizeof(TSourceCloseParameters) == 8);

// The remote keys a source follows, in the order of their events.
enum class TSourceKey {
  StepUp,
  StepDown,
  Wind,
  Rewind,
  Go,
  Play,
  Pause,
  Stop,
  Digit,
  ControlYellow,
  ControlGreen,
  ControlBlue,
  ControlRed,
  Menu,
  Exit,
  Language,
  Random,
  Record
};
constexpr int SourceKeyCount = 18;
// The command name of a key.
const char* SourceKeyName(TSourceKey key) noexcept;

using TSourceDataEvent = TMethod<void(TObject*, const void*)>;
using TSourceHideEvent = TMethod<void(TObject*, const void*, std::int32_t&)>;
using TSourceKeyEvent = TMethod<void(TObject*, std::int32_t, std::int32_t)>;
// The payload as it came, at least 256 bytes.
using TSourcePlayFileEvent = TMethod<void(TObject*, const std::uint8_t*, std::uint32_t)>;

class TIpcSource : public TCustomNode {
 public:
  explicit TIpcSource(TComponent* owner);
  ~TIpcSource() override;

  bool GetOpened() const override { return FActiveState == 1; }
  // Activate and Deactivate.
  void DoOpen() override;
  void DoClose() override;
  void CommandOpen(TObject* sender, POxaIpcMessage message) override;
  void CommandClose(TObject* sender, POxaIpcMessage message) override;
  // Target 0 is the host's key receiver, "SourceControl".
  bool SendKeyDeadPress(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d,
                        std::int32_t e) override;
  bool SendKeyDown(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d,
                   std::int32_t e) override;
  bool SendKeyPress(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d,
                    std::int32_t e) override;
  bool SendKeyUp(std::uint32_t target, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d,
                 std::int32_t e) override;

  // Each logs, sets the property and announces it to every client.
  void UpdatePicture();
  void UpdateVideo();
  void UpdateDisplay();
  void UpdateAudio();
  void UpdateStatus();

  // 1 while open. OnOpen sets it to 1 to accept an open, OnClose to 0 to accept a close.
  std::int32_t ActiveState() const noexcept { return FActiveState; }
  void SetActiveState(std::int32_t state) noexcept { FActiveState = state; }
  const TSourceOpenParameters& OpenParameters() const noexcept { return FOpenParameters; }
  const TSourceCloseParameters& CloseParameters() const noexcept { return FCloseParameters; }

  TSourcePicture Picture{};
  TSourceVideo Video{};
  TSourceDisplay Display{};
  TSourceAudio Audio{};
  TSourceStatus Status{};

  TSourceDataEvent OnPicture;
  TSourceDataEvent OnDisplay;
  TSourceDataEvent OnVideo;
  TSourceDataEvent OnAudio;
  TSourceHideEvent OnHide;
  TSourcePlayFileEvent OnPlayFile;
  std::array<TSourceKeyEvent, SourceKeyCount> OnKey{};
  // When the key an OnKey event handles was sent, on the 32-bit tick clock (GetTickCount) of
  // the bus's messages; nothing outside an event that a bus message raised.
  std::optional<DWORD> KeyTime() const noexcept { return FKeyTime; }
  TSourceKeyEvent& OnStepUp = OnKey[static_cast<int>(TSourceKey::StepUp)];
  TSourceKeyEvent& OnStepDown = OnKey[static_cast<int>(TSourceKey::StepDown)];
  TSourceKeyEvent& OnWind = OnKey[static_cast<int>(TSourceKey::Wind)];
  TSourceKeyEvent& OnRewind = OnKey[static_cast<int>(TSourceKey::Rewind)];
  TSourceKeyEvent& OnGo = OnKey[static_cast<int>(TSourceKey::Go)];
  TSourceKeyEvent& OnPlay = OnKey[static_cast<int>(TSourceKey::Play)];
  TSourceKeyEvent& OnPause = OnKey[static_cast<int>(TSourceKey::Pause)];
  TSourceKeyEvent& OnStop = OnKey[static_cast<int>(TSourceKey::Stop)];
  TSourceKeyEvent& OnDigit = OnKey[static_cast<int>(TSourceKey::Digit)];
  TSourceKeyEvent& OnControlYellow = OnKey[static_cast<int>(TSourceKey::ControlYellow)];
  TSourceKeyEvent& OnControlGreen = OnKey[static_cast<int>(TSourceKey::ControlGreen)];
  TSourceKeyEvent& OnControlBlue = OnKey[static_cast<int>(TSourceKey::ControlBlue)];
  TSourceKeyEvent& OnControlRed = OnKey[static_cast<int>(TSourceKey::ControlRed)];
  TSourceKeyEvent& OnMenu = OnKey[static_cast<int>(TSourceKey::Menu)];
  TSourceKeyEvent& OnExit = OnKey[static_cast<int>(TSourceKey::Exit)];
  TSourceKeyEvent& OnLanguage = OnKey[static_cast<int>(TSourceKey::Language)];
  TSourceKeyEvent& OnRandom = OnKey[static_cast<int>(TSourceKey::Random)];
  TSourceKeyEvent& OnRecord = OnKey[static_cast<int>(TSourceKey::Record)];

 protected:
  // Adds "PcSource"-style type names in front of the inherited ones.
  void AddClientType(const std::string& type);

 private:
  template <class T>
  void Record(POxaIpcMessage message, const TSourceDataEvent& event, const T& current);
  void CommandPicture(TObject* sender, POxaIpcMessage message);
  void CommandDisplay(TObject* sender, POxaIpcMessage message);
  void CommandVideo(TObject* sender, POxaIpcMessage message);
  void CommandAudio(TObject* sender, POxaIpcMessage message);
  void CommandHide(TObject* sender, POxaIpcMessage message);
  void CommandKey(TObject* sender, POxaIpcMessage message);
  void CommandPlayFile(TObject* sender, POxaIpcMessage message);
  void CommandDebugLowSpeed(TObject* sender, POxaIpcMessage message);
  void PublishActive();
  void Publish(const char* name, std::uint32_t size, const void* data);
  std::uint32_t KeyTarget(std::uint32_t target);

  std::int32_t FActiveState = 0;
  TSourceOpenParameters FOpenParameters;
  TSourceCloseParameters FCloseParameters;
  std::optional<DWORD> FKeyTime;
};
