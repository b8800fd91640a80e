#include "platform/host/WindowsNames.h"

#include <fnmatch.h>

#include <cctype>
#include <cstring>

#include "platform/FileSystem.h"

std::string UpperCase(const std::string& text) {
    std::string result = text;
    for (char& c : result) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return result;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (toupper(static_cast<unsigned char>(a[i])) != toupper(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

std::string ParentOfHostPath(const std::string& hostPath) {
    size_t slash = hostPath.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return hostPath.substr(0, slash);
}

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

