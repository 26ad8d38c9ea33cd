#pragma once
// Test media: real MP3, WMA, WAV, FLAC, Ogg Vorbis, Opus and M4A files encoded with FFmpeg from
// synthetic audio, so tests and
// benchmarks build every file they need and nothing is downloaded. The same recipe and
// seed give the same bytes.
//
// MP3 tags are composed here byte by byte (an ID3v2.3 head and an ID3v1.1 tail, each with its
// own fields), because tests need the two tags to disagree and need values no encoder would
// write. WMA attributes are written by FFmpeg's ASF muxer, all as texts; FLAC and Ogg comments
// and M4A items by FFmpeg's muxers from the same key names.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace testmedia {

// FFmpeg refused something; the message carries its reason.
class EMediaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A few tones with a little noise; the seed picks the tones and the noise. A pure tone is one
// sine of that frequency at 0.9 of full scale and nothing else; the silent tail is digital
// silence (samples of 0) at the end, included in Milliseconds.
struct TAudio {
  int Milliseconds = 2000;
  int SampleRate = 44100;
  int Channels = 2;
  std::uint32_t Seed = 1;
  double PureToneHz = 0;  // 0: the tones and noise
  int SilentTailMilliseconds = 0;
};

// How the texts of an ID3v2 tag are stored. ID3v2.2 and v2.3 know only the first two.
enum class TTextEncoding { Latin1, Utf16, Utf16BigEndian, Utf8 };

// A comment frame beside the main one, e.g. one with a description.
struct TId3v2Comment {
  std::string Description;
  std::string Text;
};

// ID3v2 text frames; an empty field writes no frame. Texts are UTF-8, stored in the encoding
// given (ISO-8859-1 turns characters beyond it into '?'). Version 3 writes the frames named
// here; version 4 the same with synchsafe frame sizes and TDRC for the year; version 2 the
// three-letter frames (TT2, TP1, TAL, TYE, TCO, TRK, COM, PIC).
struct TId3v2Fields {
  std::string Title;    // TIT2
  std::string Artist;   // TPE1
  std::string Album;    // TALB
  std::string Year;     // TYER
  std::string Genre;    // TCON, e.g. "(17)" or "Rock"
  std::string Track;    // TRCK, e.g. "3" or "3/12"
  std::string Comment;  // COMM, language "eng", empty description
  int Version = 3;
  TTextEncoding Encoding = TTextEncoding::Latin1;
  std::vector<TId3v2Comment> MoreComments;  // after the main comment
  std::size_t PictureBytes = 0;             // an APIC (PIC) frame of this many busy bytes
  std::vector<std::uint8_t> Picture;        // else an APIC (PIC) frame of these image bytes
  std::uint8_t PictureType = 3;             // 3: the front cover
};

// The 128-byte ID3v1.1 tail, slots filled as given (cut to their widths).
struct TId3v1Fields {
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string Year;
  std::string Comment;
  int Track = 0;
  int Genre = 255;
};

enum class TBitRateMode { Constant, Variable };

struct TMp3Recipe {
  TAudio Audio;
  TBitRateMode Mode = TBitRateMode::Constant;
  int BitrateKbps = 128;   // constant bit rate
  int VbrQuality = 4;      // variable bit rate: 0 best to 9 smallest
  bool XingFrame = false;  // a first frame with the Xing (VBR) or Info (CBR) frame count
  std::optional<TId3v2Fields> Id3v2;
  std::optional<TId3v1Fields> Id3v1;
};

struct TWmaRecipe {
  TAudio Audio;
  int BitrateKbps = 64;
  // (name, text): "Title", "Author", "Description" and "Copyright" go to the content
  // description, any other name ("WM/AlbumTitle", "WM/Genre", ...) is a text attribute.
  std::vector<std::pair<std::string, std::string>> Attributes;
};

struct TWavRecipe {
  TAudio Audio;
};

using TBytes = std::vector<std::uint8_t>;

// A cover picture: a seed-coloured field with a lighter disc and a dark band across, so a
// picture drawn in the wrong place, size or orientation shows; encoded by FFmpeg's MJPEG (4:2:0,
// full range) or PNG (8-bit RGB, RGBA with a transparent corner, or grey) encoder.
enum class TPictureFormat { Jpeg, Png, PngWithAlpha, PngGrey };
struct TPictureRecipe {
  TPictureFormat Format = TPictureFormat::Jpeg;
  int Width = 96;
  int Height = 96;
  std::uint32_t Seed = 1;
};
// The colour of the picture at (x, y), 0xRRGGBB, before encoding (before alpha or grey).
std::uint32_t PictureColor(const TPictureRecipe& recipe, int x, int y) noexcept;
TBytes EncodePicture(const TPictureRecipe& recipe);

// The MPEG audio stream alone, without tags.
TBytes EncodeMp3Stream(const TMp3Recipe& recipe);
TBytes ComposeId3v2(const TId3v2Fields& fields);
TBytes ComposeId3v1(const TId3v1Fields& fields);
// The whole file: ID3v2 head, stream, ID3v1 tail.
TBytes ComposeMp3(const TBytes& stream, const TMp3Recipe& recipe);

// The encoded WMA audio, to be muxed with different attributes without encoding again.
class TWmaAudio {
 public:
  explicit TWmaAudio(const TWmaRecipe& recipe);
  ~TWmaAudio();
  TWmaAudio(const TWmaAudio&) = delete;
  TWmaAudio& operator=(const TWmaAudio&) = delete;

  TBytes Mux(const std::vector<std::pair<std::string, std::string>>& attributes) const;

  struct TEncoded;

 private:
  std::unique_ptr<TEncoded> FEncoded;
};

// The formats of today's libraries, each from its FFmpeg encoder: FLAC (16 bits), Ogg Vorbis at
// a nominal bit rate, Opus in Ogg (always 48 kHz, whatever the audio asks for) and AAC in M4A.
enum class TModernFormat { Flac, OggVorbis, Opus, M4a };

// ".flac", ".ogg", ".opus" or ".m4a".
const char* ExtensionOf(TModernFormat format) noexcept;

// Tags as FFmpeg's muxers name them: "title", "artist", "album", "comment", "genre", "date" and
// "track" ("n" or "n/m"). FLAC and Ogg store them as comments (TITLE, ..., DATE, TRACKNUMBER, the
// comment as DESCRIPTION), M4A as items (©nam, ..., ©day, trkn).
using TMetadata = std::vector<std::pair<std::string, std::string>>;

struct TModernRecipe {
  TAudio Audio;
  TModernFormat Format = TModernFormat::Flac;
  int BitrateKbps = 128;  // the lossy formats
  TMetadata Tags;
};

// The encoded audio of one format, muxed with different tags without encoding again.
class TModernAudio {
 public:
  TModernAudio(TModernFormat format, const TAudio& audio, int bitrateKbps = 128);
  ~TModernAudio();
  TModernAudio(const TModernAudio&) = delete;
  TModernAudio& operator=(const TModernAudio&) = delete;

  TModernFormat Format() const noexcept { return FFormat; }
  TBytes Mux(const TMetadata& tags) const;

 private:
  TModernFormat FFormat;
  std::unique_ptr<TWmaAudio::TEncoded> FEncoded;
};

// Each raises EMediaError, or std::filesystem::filesystem_error when the file cannot be written.
void WriteModern(const std::filesystem::path& file, const TModernRecipe& recipe);
void WriteMp3(const std::filesystem::path& file, const TMp3Recipe& recipe);
void WriteWma(const std::filesystem::path& file, const TWmaRecipe& recipe);
void WriteWav(const std::filesystem::path& file, const TWavRecipe& recipe);
void WriteBytes(const std::filesystem::path& file, const TBytes& bytes);

// One file of a generated library and what the program should read from it: texts as the tag
// reader cleans them, "Unknown" where no tag says anything.
struct TLibraryFile {
  std::filesystem::path File;
  bool Tagged = false;
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string Comment;
  std::string Genre;
  int Year = 0;
  int Track = 0;
  int Seconds = 0;  // playing time, whole seconds
};

// A library of `count` files for tests and benchmarks, 100 to a folder, in eight kinds taken in
// turn: an untagged MP3; ID3v2.3 in ISO-8859-1 with "n/m" tracks and ID3v1.1; ID3v1 alone; VBR
// with a Xing frame and UTF-16 texts in Greek, Cyrillic, Turkish, CJK and Hangul; WMA with
// "WM/TrackNumber" only; ID3v2.4 in UTF-8 with a cover picture; ID3v2.2 in UTF-16; MPEG-2 at
// 22050 Hz. The audio of each kind is encoded once.
//
// With TLibraryMix::Today the library is that of today's collections instead: of every 20 files
// 6 are FLAC (Vorbis comments, half of them with "n/m" tracks), 2 M4A (AAC, "trkn" pairs), 1 Ogg
// Vorbis, 1 Opus, and the other 10 the eight kinds above in turn.
//
// Each file plays for `milliseconds`: shorter files make large libraries quick to write and small
// on disk. Playing times are kept in whole seconds, so a file shorter than a second would read as
// none at all; shorter lengths raise EMediaError.
enum class TLibraryMix { Classic, Today };
constexpr int MinLibraryMilliseconds = 1000;
std::vector<TLibraryFile> WriteLibrary(const std::filesystem::path& folder, int count, std::uint32_t seed,
                                       TLibraryMix mix = TLibraryMix::Classic, int milliseconds = 3000);

}  // namespace testmedia
