#include "platform/host/Win32Answers.h"

#include <cstring>

#include "platform/FileSystem.h"
#include "platform/host/WindowsNames.h"

uint32_t CopyOut(const std::string& text, char* buffer, uint32_t size) {
    if (buffer && size > text.size()) {
        memcpy(buffer, text.c_str(), text.size() + 1);
        return static_cast<uint32_t>(text.size());
    }
    return static_cast<uint32_t>(text.size() + 1);
}

uint32_t ExpandEnvironmentAnswer(const char* source, const VariableLookup& lookup, char* buffer, uint32_t size) {
    std::string result;
    for (const char* at = source; *at;) {
        const char* open = strchr(at, '%');
        const char* close = open ? strchr(open + 1, '%') : nullptr;
        if (close == nullptr) {
            result += at;
            break;
        }
        result.append(at, open);
        std::string value;
        if (close > open + 1 && lookup(UpperCase(std::string(open + 1, close)), &value)) result += value;
        else result.append(open, close + 1);
        at = close + 1;
    }
    uint32_t needed = static_cast<uint32_t>(result.size() + 1);
    if (buffer && size >= needed) memcpy(buffer, result.c_str(), needed);
    return needed;
}

int32_t AnswerValueName(const std::string& valueName, char* name, uint32_t* nameLength) {
    if (valueName.size() >= *nameLength) return kErrorMoreData;
    memcpy(name, valueName.c_str(), valueName.size() + 1);
    *nameLength = static_cast<uint32_t>(valueName.size());
    return kErrorSuccess;
}

int32_t AnswerValueData(const uint8_t* bytes, uint32_t length, uint32_t valueType, uint32_t* type, uint8_t* data,
                        uint32_t* size) {
    if (data && *size < length) {
        *size = length;
        return kErrorMoreData;
    }
    if (data && length) memcpy(data, bytes, length);
    if (size) *size = length;
    if (type) *type = valueType;
    return kErrorSuccess;
}

int64_t SeekTarget(int origin, int64_t base, int32_t offset) {
    if (origin != kSeekSet && origin != kSeekCur && origin != kSeekEnd) return -1;
    int64_t target = base + offset;
    return target < 0 || target > 0x7FFFFFFF ? -1 : target;
}
