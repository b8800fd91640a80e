#include "platform/host/WindowsNames.h"

#include <fnmatch.h>

#include <cctype>
#include <cstdio>
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

std::vector<std::string> SplitNames(const std::string& text, const char* separators) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(separators, start);
        if (end == std::string::npos) end = text.size();
        if (end > start) names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
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

void SplitFindPattern(const std::string& pattern, std::string* windowsFolder, std::string* namePattern) {
    size_t cut = pattern.find_last_of("\\/");
    *windowsFolder = cut == std::string::npos ? "" : pattern.substr(0, cut + 1);
    *namePattern = cut == std::string::npos ? "" : pattern.substr(cut + 1);
}

void FillFindEntry(const std::string& name, const char* shortName, uint32_t attributes, uint64_t size,
                   FindEntry* entry) {
    memset(entry, 0, sizeof *entry);
    snprintf(entry->name, sizeof entry->name, "%s", name.c_str());
    snprintf(entry->shortName, sizeof entry->shortName, "%s", shortName);
    entry->attributes = attributes;
    entry->sizeHigh = static_cast<uint32_t>(size >> 32);
    entry->sizeLow = static_cast<uint32_t>(size);
}

