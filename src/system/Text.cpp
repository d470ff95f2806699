#include "system/Text.h"

#include <cstring>

bool IsCp932LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

std::size_t LastSeparator(const std::string& path, const char* separators) {
    std::size_t found = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(path[i]))) {
            ++i;  // a lead byte as the last byte stands alone
        } else if (path[i] != '\0' && std::strchr(separators, path[i])) {
            found = i;
        }
    }
    return found;
}

std::string FolderOf(const std::string& path) {
    const std::size_t at = LastSeparator(path, "\\/:");
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}
