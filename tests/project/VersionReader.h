#pragma once
// The tests' own reader of a .res file holding one version resource, written
// from the general block rules (length, value length, type, key, 4-byte
// alignment) rather than from the writer's fixed offsets.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ReadVersion {
    std::uint32_t fileVersionHigh = 0, fileVersionLow = 0;
    std::uint32_t productVersionHigh = 0, productVersionLow = 0;
    std::uint32_t flagsMask = 0, flags = 0, fileOs = 0, fileType = 0;
    std::string tableKey;
    std::vector<std::pair<std::string, std::u16string>> strings;
    std::uint16_t language = 0xFFFF, codePage = 0xFFFF;
};

// Throws std::runtime_error on anything malformed.
ReadVersion ReadResFile(const std::vector<std::uint8_t>& file);
