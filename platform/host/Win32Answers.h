// How the Win32 calls the seam names hand their answers over: the buffer
// rules of the system's folders, environment expansion and the registry's
// values, and the C runtime's seek. One copy for every implementation that
// emulates Windows over this system.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The buffer rule of GetTempPathA and its kin: the length without the zero
// when it fits, else the size needed including the zero.
uint32_t CopyOut(const std::string& text, char* buffer, uint32_t size);

// ExpandEnvironmentStringsA: each %NAME% whose value lookup gives (given
// the name in upper case) is replaced by it; an unknown name, "%%" and a
// lone "%" stay as written. The answer is the size needed, the zero
// included; the text is copied only when buffer holds that much.
typedef std::function<bool(const std::string& upperName, std::string* value)> VariableLookup;
uint32_t ExpandEnvironmentAnswer(const char* source, const VariableLookup& lookup, char* buffer, uint32_t size);

// RegEnumValueA's answer with a value's name: ERROR_MORE_DATA unless the
// name fits with its zero; then copied, *nameLength its length without it.
int32_t AnswerValueName(const std::string& valueName, char* name, uint32_t* nameLength);
// RegQueryValueExA's answer with a value's data: without data only the size;
// ERROR_MORE_DATA with the size needed when data is too small; else copied.
// *type is set when the answer succeeds.
int32_t AnswerValueData(const uint8_t* bytes, uint32_t length, uint32_t valueType, uint32_t* type, uint8_t* data,
                        uint32_t* size);

// The C runtime's _lseek rule: base (where origin counts from) plus offset,
// or -1 when origin is none of kSeekSet, kSeekCur and kSeekEnd or the
// position falls outside 0 to 2^31 - 1.
int64_t SeekTarget(int origin, int64_t base, int32_t offset);
