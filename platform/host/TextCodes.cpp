#include "platform/host/TextCodes.h"

namespace {

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit < 0xDC00; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit < 0xE000; }

}  // namespace

size_t Utf8SequenceLength(const std::string& text, size_t at) {
    uint8_t lead = static_cast<uint8_t>(text[at]);
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k)
        if ((static_cast<uint8_t>(text[at + k]) & 0xC0) != 0x80) return 0;
    return length;
}

void AppendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | (code >> 6));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out += static_cast<char>(0xE0 | (code >> 12));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (code >> 18));
        *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

template <typename Unit>
std::string Utf16Text(const Unit* units, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        uint32_t code = units[i];
        if (IsHighSurrogate(code) && i + 1 < count && IsLowSurrogate(units[i + 1])) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (IsHighSurrogate(code) || IsLowSurrogate(code)) {
            code = '?';
        }
        AppendUtf8(code, &text);
    }
    return text;
}

std::string Utf16ToUtf8(const uint16_t* units, size_t count) { return Utf16Text(units, count); }
std::string Utf16ToUtf8(const char16_t* units, size_t count) { return Utf16Text(units, count); }
