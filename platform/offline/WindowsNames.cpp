#include "platform/offline/WindowsNames.h"

#include <fnmatch.h>

#include <cctype>
#include <cstring>

#include "platform/FileSystem.h"

int DriveIndexOf(const std::string& windowsPath) {
    if (windowsPath.size() < 2 || windowsPath[1] != ':' || !isalpha(static_cast<unsigned char>(windowsPath[0])))
        return -1;
    return toupper(static_cast<unsigned char>(windowsPath[0])) - 'A';
}

std::vector<std::string> PathParts(const std::string& windowsPath) {
    std::vector<std::string> parts;
    std::string current;
    for (size_t i = 2; i <= windowsPath.size(); ++i) {
        if (i < windowsPath.size() && windowsPath[i] != '\\' && windowsPath[i] != '/') {
            current += windowsPath[i];
            continue;
        }
        if (current == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!current.empty() && current != ".") {
            parts.push_back(current);
        }
        current.clear();
    }
    return parts;
}

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
