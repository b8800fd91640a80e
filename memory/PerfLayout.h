// The blocks of the performance data as the system publishes them, the same
// in 32-bit and 64-bit programs (the name pointers are 32-bit fields in
// both): sizes and field offsets. The memory pass reads by them; the
// simulated Windows of the tests writes its blocks by the same names, which
// live in a namespace of their own as they are plain words (kObjectSize).
#pragma once

#include <cstdint>

namespace perf {

// PERF_DATA_BLOCK, which begins with "PERF" in four wide characters.
const uint32_t kBlockLittleEndianAt = 8;
const uint32_t kBlockVersionAt = 12;
const uint32_t kBlockRevisionAt = 16;
const uint32_t kBlockTotalLengthAt = 20;
const uint32_t kBlockHeaderLengthAt = 24;
const uint32_t kBlockObjectCountAt = 28;
const uint32_t kBlockDefaultObjectAt = 32;
const uint32_t kBlockSystemNameLengthAt = 80;
const uint32_t kBlockSystemNameOffsetAt = 84;
const uint32_t kDataBlockSize = 88;

// PERF_OBJECT_TYPE, followed by its counter definitions and instances.
const uint32_t kObjectSize = 64;
const uint32_t kObjectTotalLengthAt = 0;
const uint32_t kObjectDefinitionLengthAt = 4;
const uint32_t kObjectHeaderLengthAt = 8;
const uint32_t kObjectNameIndexAt = 12;
const uint32_t kObjectHelpIndexAt = 20;
const uint32_t kObjectDetailLevelAt = 28;
const uint32_t kObjectNumCountersAt = 32;
const uint32_t kObjectNumInstancesAt = 40;

// PERF_COUNTER_DEFINITION; the reader takes its size as fixed and does not
// consult its ByteLength.
const uint32_t kCounterDefinitionSize = 40;
const uint32_t kCounterByteLengthAt = 0;
const uint32_t kCounterNameIndexAt = 4;
const uint32_t kCounterHelpIndexAt = 12;
const uint32_t kCounterSizeAt = 32;
const uint32_t kCounterOffsetAt = 36;

// PERF_INSTANCE_DEFINITION, followed by its name and its counter block.
const uint32_t kInstanceSize = 24;
const uint32_t kInstanceByteLengthAt = 0;
const uint32_t kInstanceUniqueIdAt = 12;
const uint32_t kInstanceNameOffsetAt = 16;
const uint32_t kInstanceNameLengthAt = 20;

// PERF_COUNTER_BLOCK: its length, then the counters at their offsets.
const uint32_t kCounterBlockLengthAt = 0;
const uint32_t kCounterBlockSize = 4;

}  // namespace perf
