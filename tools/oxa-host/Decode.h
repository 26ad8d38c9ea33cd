#pragma once
// The source protocol's payloads as text, for status and watch.

#include <cstdint>
#include <string>
#include <vector>

// "Name: fields" when the protocol defines the payload of name at that size, else a hexadecimal
// dump (cut after 64 bytes).
std::string DecodePayload(const std::string& name, const std::vector<std::uint8_t>& payload);
std::string HexDump(const std::vector<std::uint8_t>& payload, std::size_t limit = 64);
// The eighteen key commands a source follows.
bool IsSourceKey(const std::string& name);
std::string JsonText(const std::string& text);
