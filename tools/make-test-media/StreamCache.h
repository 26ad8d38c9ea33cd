#pragma once
// Encoded streams kept between processes. Encoding is most of what a test that writes music
// spends, and the tests of one build ask for the same few recipes over and over; with
// OXA_TEST_MEDIA_CACHE naming a folder, a stream once encoded is stored there under its key and
// read back the next time. Without it nothing is kept.
//
// The cache only ever saves time: a stream that cannot be read or stored is encoded again, and
// a stored one appears whole or not at all (written aside, then renamed).

#include <optional>
#include <string>

#include "tools/make-test-media/TestMedia.h"

namespace testmedia {

// The stored stream of this key, if there is one.
std::optional<TBytes> CachedStream(const std::string& key);
// Stores the stream under its key; a failure is ignored.
void CacheStream(const std::string& key, const TBytes& stream);

}  // namespace testmedia
