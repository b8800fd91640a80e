// Platform calls the simulated Windows can make fail, one call at a time:
// the Nth call of a kind fails as the system would (an error result, nothing
// done), while every call of each kind is counted, so a test can find how
// many calls of a kind a run makes and then fail each of them in turn.
#pragma once

enum class FaultKind {
    Open,          // FileOpen
    Read,          // FileRead
    Write,         // FileWrite
    Seek,          // FileSeek, FileLength
    Close,         // FileClose (the descriptor is gone all the same)
    Delete,        // DeletePath
    Move,          // MovePath, MovePathEx
    Copy,          // CopyPath
    AttributeSet,  // SetAttributes
    RegistryOpen,  // KeyOpen, KeyCreate
    RegistrySet,   // KeySetValue
    RegistryDelete,  // KeyDeleteValue, KeyDelete
    ShortPath,     // ShortPath
    Version,       // Version
    Count
};

const char* FaultKindName(FaultKind kind);

struct SimFaults {
    int calls[static_cast<int>(FaultKind::Count)] = {};
    int failAt[static_cast<int>(FaultKind::Count)] = {};  // 0: none fails

    // Counts a call of this kind; true when it is the one to fail.
    bool Fails(FaultKind kind) {
        int at = static_cast<int>(kind);
        return ++calls[at] == failAt[at];
    }
};
