#pragma once
// Minimal JSON output for --json: objects and arrays written as they are built.
//
//   TJsonWriter json(out);
//   json.BeginObject();
//   json.Key("title").String(title);
//   json.Key("track").Number(7);
//   json.EndObject();

#include <cstdint>
#include <iosfwd>
#include <string_view>
#include <vector>

class TJsonWriter {
 public:
  explicit TJsonWriter(std::ostream& out) : FOut(out) {}
  // Ends the output with a line break once the outermost value is closed.
  ~TJsonWriter();
  TJsonWriter(const TJsonWriter&) = delete;
  TJsonWriter& operator=(const TJsonWriter&) = delete;

  TJsonWriter& BeginObject();
  TJsonWriter& EndObject();
  TJsonWriter& BeginArray();
  TJsonWriter& EndArray();
  TJsonWriter& Key(std::string_view key);
  // Text is taken as UTF-8; invalid bytes are written as U+FFFD.
  TJsonWriter& String(std::string_view value);
  TJsonWriter& Number(std::int64_t value);
  TJsonWriter& Bool(bool value);
  TJsonWriter& Null();

 private:
  void BeforeValue();
  void WriteQuoted(std::string_view text);

  std::ostream& FOut;
  std::vector<bool> FHasMembers;  // one entry per open object or array
  bool FAfterKey = false;
  bool FWroteSomething = false;
};
