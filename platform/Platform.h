// The one seam between the cleaner's logic and the operating system.
//
// Engine, memory and repair code (and the pure rules of the user interface)
// reach Windows only through Sys(). The cross-built program installs the
// thin Win32 implementation; the native tests install the simulated Windows.
// Method names avoid the A/W macros of <windows.h> on purpose.
#pragma once

#include <cstddef>
#include <cstdint>

// Values passed through the seam are Win32's own.
const uint32_t kDriveUnknown = 0;
const uint32_t kDriveNoRootDir = 1;
const uint32_t kDriveRemovable = 2;
const uint32_t kDriveFixed = 3;
const uint32_t kDriveRemote = 4;
const uint32_t kDriveCdRom = 5;
const uint32_t kDriveRamDisk = 6;

const uint32_t kAttrReadOnly = 0x01;
const uint32_t kAttrHidden = 0x02;
const uint32_t kAttrSystem = 0x04;
const uint32_t kAttrDirectory = 0x10;
const uint32_t kAttrArchive = 0x20;
const uint32_t kAttrNormal = 0x80;
const uint32_t kInvalidAttributes = 0xFFFFFFFFu;

const uint32_t kMoveReplaceExisting = 0x1;
const uint32_t kMoveDelayUntilReboot = 0x4;

// Descriptor open flags, as the C runtime of the target defines them.
const int kOpenReadOnly = 0x0000;
const int kOpenWriteOnly = 0x0001;
const int kOpenReadWrite = 0x0002;
const int kOpenAppend = 0x0008;
const int kOpenCreate = 0x0100;
const int kOpenTruncate = 0x0200;
const int kOpenExclusive = 0x0400;
const int kOpenBinary = 0x8000;
const int kPermRead = 0x0100;   // _S_IREAD
const int kPermWrite = 0x0080;  // _S_IWRITE

const int kSeekSet = 0;
const int kSeekCur = 1;
const int kSeekEnd = 2;

// Registry roots and access masks.
typedef uintptr_t RegKey;
const RegKey kHkeyClassesRoot = 0x80000000u;
const RegKey kHkeyCurrentUser = 0x80000001u;
const RegKey kHkeyLocalMachine = 0x80000002u;
const RegKey kHkeyUsers = 0x80000003u;
const RegKey kHkeyPerformanceData = 0x80000004u;
const uint32_t kKeyRead = 0x20019;
const uint32_t kKeyAllAccess = 0xF003F;
const uint32_t kRegSz = 1;
const uint32_t kRegExpandSz = 2;
const uint32_t kRegBinary = 3;
const uint32_t kRegDword = 4;
const uint32_t kRegMultiSz = 7;

// Win32 error codes the callers look at.
const int32_t kErrorSuccess = 0;
const int32_t kErrorFileNotFound = 2;
const int32_t kErrorPathNotFound = 3;
const int32_t kErrorAccessDenied = 5;
const int32_t kErrorInvalidHandle = 6;
const int32_t kErrorSharingViolation = 32;
const int32_t kErrorMoreData = 234;
const int32_t kErrorNoMoreItems = 259;
const int32_t kErrorNotAllAssigned = 1300;

// Window messages that cross the seam.
const uint32_t kWmDestroy = 0x0002;
const uint32_t kWmEnable = 0x000A;
const uint32_t kWmSetRedraw = 0x000B;
const uint32_t kWmQuit = 0x0012;
const uint32_t kWmKeyDown = 0x0100;
const uint32_t kWmCommand = 0x0111;
const uint32_t kVkEscape = 27;

// Prompt answers (the message-box codes).
const int kAnswerOk = 1;
const int kAnswerCancel = 2;
const int kAnswerYes = 6;
const int kAnswerNo = 7;

struct FindEntry {
    char name[260];
    uint32_t attributes;
    uint32_t sizeHigh;
    uint32_t sizeLow;
};

typedef intptr_t SearchHandle;
const SearchHandle kNoSearch = -1;

struct OsVersion {
    uint32_t platformId;  // 1 = 9x family, 2 = NT family
    uint32_t major;
    uint32_t minor;
    uint32_t build;
};

struct QueuedMessage {
    uintptr_t window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

typedef intptr_t TextFile;  // a buffered text stream, 0 when none
typedef uintptr_t TokenHandle;

class Platform {
public:
    virtual ~Platform() {}

    // Drives, folders and files.
    virtual uint32_t DriveType(const char* root) = 0;
    virtual SearchHandle FindFirst(const char* pattern, FindEntry* entry) = 0;
    virtual bool FindNext(SearchHandle search, FindEntry* entry) = 0;
    virtual void FindEnd(SearchHandle search) = 0;
    virtual uint32_t GetAttributes(const char* path) = 0;
    virtual bool SetAttributes(const char* path, uint32_t attributes) = 0;
    virtual bool DeletePath(const char* path) = 0;
    virtual bool MovePath(const char* from, const char* to) = 0;
    virtual bool MovePathEx(const char* from, const char* to, uint32_t flags) = 0;
    virtual bool CopyPath(const char* from, const char* to, bool failIfExists) = 0;
    // These follow their Win32 namesakes: the result is the length written,
    // or the size needed when the buffer is too small, 0 on failure.
    virtual uint32_t ShortPath(const char* longPath, char* buffer, uint32_t size) = 0;
    virtual uint32_t TempPath(char* buffer, uint32_t size) = 0;
    virtual uint32_t SystemDirectory(char* buffer, uint32_t size) = 0;
    virtual uint32_t WindowsDirectory(char* buffer, uint32_t size) = 0;
    virtual uint32_t ExpandEnvironment(const char* source, char* buffer, uint32_t size) = 0;

    // Descriptor-based file calls of the C runtime (_open, _filelength, ...).
    // Results as there: -1 on failure.
    virtual int FileOpen(const char* path, int flags, int permission) = 0;
    virtual int32_t FileLength(int fd) = 0;
    virtual int32_t FileSeek(int fd, int32_t offset, int origin) = 0;
    virtual int FileRead(int fd, void* buffer, uint32_t count) = 0;
    virtual int FileWrite(int fd, const void* buffer, uint32_t count) = 0;
    virtual int FileClose(int fd) = 0;
    virtual int FileAccess(const char* path, int mode) = 0;

    // Buffered text reading (fopen "r" and fgets): CR LF reads as LF.
    virtual TextFile TextOpenRead(const char* path) = 0;
    virtual bool TextReadLine(TextFile file, char* buffer, int size) = 0;
    virtual void TextClose(TextFile file) = 0;

    // Registry. Results are Win32 error codes (0 = success).
    virtual int32_t KeyOpen(RegKey root, const char* subKey, uint32_t access, RegKey* key) = 0;
    virtual int32_t KeyCreate(RegKey root, const char* subKey, RegKey* key) = 0;
    virtual int32_t KeyClose(RegKey key) = 0;
    virtual int32_t KeyValueCount(RegKey key, uint32_t* count) = 0;  // RegQueryInfoKeyA
    virtual int32_t KeyEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength) = 0;
    virtual int32_t KeyQueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                                  uint32_t* size) = 0;
    virtual int32_t KeySetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                                uint32_t size) = 0;
    virtual int32_t KeyDeleteValue(RegKey key, const char* name) = 0;
    virtual int32_t KeyDelete(RegKey root, const char* subKey) = 0;

    // Version, time, last error.
    virtual bool Version(OsVersion* version) = 0;
    virtual void SleepFor(uint32_t milliseconds) = 0;
    virtual uint32_t LastError() = 0;

    // The thread's message queue and the main window.
    virtual bool PeekOneMessage(QueuedMessage* message) = 0;  // PM_REMOVE, any window
    virtual void DispatchOne(const QueuedMessage& message) = 0;  // translate, then dispatch
    virtual intptr_t SendToWindow(uintptr_t window, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam) = 0;

    // The program's prompt dialog (a skinned message box); returns the button's code.
    virtual int Prompt(const char* text, const char* caption, int style) = 0;
    // The system's own message box.
    virtual int SystemMessageBox(uintptr_t owner, const char* text, const char* caption,
                                 uint32_t style) = 0;

    // Privileges and restart.
    virtual bool TokenOpenOwn(uint32_t access, TokenHandle* token) = 0;
    virtual bool PrivilegeLookup(const char* name, uint64_t* luid) = 0;
    // AdjustTokenPrivileges with one enabled privilege; the caller reads LastError().
    virtual bool PrivilegeEnable(TokenHandle token, uint64_t luid) = 0;
    virtual bool HandleClose(uintptr_t handle) = 0;
    virtual bool RequestRestart(uint32_t flags, uint32_t reason) = 0;  // ExitWindowsEx
};

// The implementation in use; never null once one has been installed.
Platform& Sys();
// Installs an implementation (the program at start, each test in its fixture).
void InstallPlatform(Platform* platform);
