#include "platform/offline/WindowsNames.h"

#include <fnmatch.h>

#include <cstring>

#include "platform/FileSystem.h"

bool NameMatches(const std::string& pattern, const char* name) {
    if (fnmatch(pattern.c_str(), name, FNM_CASEFOLD) == 0) return true;
    size_t length = pattern.size();
    return length >= 2 && pattern.compare(length - 2, 2, ".*") == 0 && strchr(name, '.') == nullptr &&
           fnmatch(pattern.substr(0, length - 2).c_str(), name, FNM_CASEFOLD) == 0;
}

std::string WildcardPattern(const std::string& windowsPattern) {
    std::string escaped;
    for (char c : windowsPattern) {
        if (c == '[' || c == ']') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

bool EveryName(const std::string& namePattern) { return namePattern == "*" || namePattern == "*.*"; }

bool Addressable(const char* name) {
    return strchr(name, '\\') == nullptr && strlen(name) < sizeof(FindEntry::name);
}

uint32_t CopyOut(const std::string& text, char* buffer, uint32_t size) {
    if (buffer && size > text.size()) {
        memcpy(buffer, text.c_str(), text.size() + 1);
        return static_cast<uint32_t>(text.size());
    }
    return static_cast<uint32_t>(text.size() + 1);
}
