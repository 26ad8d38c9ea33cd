#pragma once
// Reference counts held back during a merge. Adding a file counts up six group records; a scan
// adds thousands of files to a few hundred groups, so the ids found are remembered by key and
// the counts gathered per id, and each group record is written once per batch instead of once
// per file. Internal to library/.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class TPendingCounts {
 public:
  // The id remembered for key, with one more reference held back; nothing when key is not
  // remembered.
  std::optional<std::int32_t> AddRef(const std::string& key);
  // Remembers the id of key, with references references held back for it (0 for a record that
  // was written with its count).
  void Remember(std::string key, std::int32_t id, std::int32_t references);
  // The ids with references held back and how many, in id order; forgets every key and count.
  std::vector<std::pair<std::int32_t, std::int32_t>> Take();
  bool Empty() const noexcept { return FIds.empty() && FCounts.empty(); }

 private:
  std::unordered_map<std::string, std::int32_t> FIds;
  std::unordered_map<std::int32_t, std::int32_t> FCounts;
};

// The held-back counts of the six group tables.
struct THeldBackCounts {
  TPendingCounts Folders;
  TPendingCounts Genres;
  TPendingCounts Years;
  TPendingCounts Albums;
  TPendingCounts Artists;
  TPendingCounts Letters;
};
