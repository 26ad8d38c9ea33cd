#pragma once
// Paths through the UTF-16 calls (the audio component's and the media runtime's Open). The
// program's paths are byte strings: UTF-8 where the host's names are UTF-8, the host's own bytes
// where they are not (a name written under another locale). The wide form must carry both, so a
// byte that is not part of well-formed UTF-8 travels as an unpaired low surrogate U+DC80..U+DCFF
// (a UTF-16 name may hold such units, and no well-formed text produces one) and comes back as
// the same byte. The stand-ins of names no Windows name can hold (NameStandIns.h) are well-formed
// UTF-8 and pass through as the characters they are.

#include <string>
#include <string_view>

// Well-formed UTF-8 becomes UTF-16; every other byte (0x80..0xFF) becomes U+DC00 + byte.
std::u16string WidePathOf(std::string_view path);
// The inverse: U+DC80..U+DCFF alone become their byte again, pairs and other units UTF-8; any
// other unpaired surrogate (never made by WidePathOf) becomes U+FFFD.
std::string PathOfWide(std::u16string_view path);
// The same for a zero-terminated name (nullptr: empty).
std::string PathOfWide(const char16_t* path);
