// A simulated Windows for the native tests.
//
// Drive letters map to real host folders (each test makes its own temporary
// folder); paths are resolved component by component without regard to
// letter case, as on Windows. The registry, the version answer, the message
// queue, the prompt answers, the main window's receivers, privileges and the
// clock are in memory and scripted by the test.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"

class SimPlatform : public Platform {
public:
    SimPlatform();
    ~SimPlatform() override;

    // --- set-up and inspection used by the tests ------------------------------
    // A fresh host folder under the system's temporary folder, removed with the sim.
    const std::string& HostRoot() const { return hostRoot_; }
    // Maps a drive letter to a host folder (created when missing).
    void MapDrive(char letter, const std::string& hostFolder, uint32_t type = kDriveFixed);
    // Maps a drive letter to a new folder HostRoot()/drive_<letter> and returns it.
    std::string AddDrive(char letter, uint32_t type = kDriveFixed);
    // Host path of a Windows path ("D:\a\b.exe"); empty when no drive maps it.
    // Components that exist are matched without regard to case.
    std::string HostPath(const std::string& windowsPath) const;
    // Convenience: writes a file (creating folders) at a Windows path.
    bool WriteFile(const std::string& windowsPath, const std::string& bytes);
    bool WriteFile(const std::string& windowsPath, const std::vector<uint8_t>& bytes);
    bool MakeFolder(const std::string& windowsPath);
    bool Exists(const std::string& windowsPath) const;
    std::string ReadFile(const std::string& windowsPath) const;

    // A file "in use": deleting, moving or opening it for writing fails with
    // the sharing violation while it is locked. Unlock lifts that.
    void LockFile(const std::string& windowsPath);
    void UnlockFile(const std::string& windowsPath);
    // A path whose attributes cannot be set (SetAttributes fails with access denied).
    void DenyAttributes(const std::string& windowsPath);
    // Folders that cannot be listed (FindFirst fails with access denied).
    void DenyListing(const std::string& windowsPath);
    // Called once between FindFirst/FindNext returning an entry and the caller
    // using it, so a test can make files vanish mid-walk.
    std::function<void(const char* pattern, const FindEntry& entry)> onFindEntry;

    void SetVersion(uint32_t platformId, uint32_t major, uint32_t minor, uint32_t build = 0);
    void FailVersion();  // GetVersionExA fails
    void SetWindowsDirectory(const std::string& path);
    void SetSystemDirectory(const std::string& path);
    void SetTempPath(const std::string& path);  // given with its trailing backslash
    void SetEnvironment(const std::string& name, const std::string& value);

    // Registry helpers (keys created on the way). SetRegistryText stores the
    // text with its terminating zero for string types (REG_SZ, REG_EXPAND_SZ;
    // two zeros for REG_MULTI_SZ) and exactly the text's bytes for any other type.
    void SetRegistryText(RegKey root, const std::string& keyPath, const std::string& name,
                         const std::string& text, uint32_t type = kRegSz);
    void SetRegistryBytes(RegKey root, const std::string& keyPath, const std::string& name,
                          const std::vector<uint8_t>& bytes, uint32_t type = kRegBinary);
    bool HasRegistryValue(RegKey root, const std::string& keyPath, const std::string& name) const;
    bool HasRegistryKey(RegKey root, const std::string& keyPath) const;
    std::vector<std::string> RegistryValueNames(RegKey root, const std::string& keyPath) const;
    // Performance data (HKEY_PERFORMANCE_DATA) answered as this raw block.
    void SetPerformanceData(const std::vector<uint8_t>& block);

    // Message queue: messages PeekOneMessage hands out, in order.
    void QueueMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0,
                      uintptr_t window = 0);
    void QueueEscape();  // WM_KEYDOWN with VK_ESCAPE
    // Runs the test's action when PeekOneMessage is called for the n-th time
    // (counting from 1), before it looks at the queue.
    void AtPeek(int n, std::function<void()> action);
    int PeekCount() const { return peekCount_; }
    std::vector<QueuedMessage> dispatched;
    std::function<void(const QueuedMessage&)> onDispatch;

    // The main window: lines and status texts the notifications delivered.
    uintptr_t mainWindow = 0x1234;
    std::vector<std::string> logLines;
    std::vector<std::string> statusTexts;
    std::vector<QueuedMessage> sentToOthers;  // sends to any other window
    // Called for each line as it arrives (after it was recorded).
    std::function<void(const std::string& line)> onLogLine;

    // Prompts: answers given in order; when none is left, defaultAnswer.
    struct PromptRecord {
        std::string text;
        std::string caption;
        int style;
    };
    void ScriptPrompt(int answer);
    int defaultAnswer = kAnswerNo;
    std::vector<PromptRecord> prompts;
    std::vector<PromptRecord> messageBoxes;
    // Runs for each prompt after it was recorded and before its answer is
    // taken, so it may script the answer with ScriptPrompt.
    std::function<void(const PromptRecord&)> onPrompt;

    // Clock: SleepFor advances it.
    uint64_t nowMs = 0;
    std::vector<uint32_t> sleeps;

    // Privileges and restart.
    bool tokenOpenFails = false;
    uint32_t privilegeError = 0;  // LastError after enabling a privilege
    std::vector<std::string> privilegesEnabled;
    std::vector<uint32_t> restartRequests;  // flags of each ExitWindowsEx
    bool restartResult = true;
    int openHandles = 0;  // tokens opened and not yet closed

    // Delayed deletions registered with MovePathEx(..., kMoveDelayUntilReboot).
    std::vector<std::string> pendingDeletes;
    // Delayed renames (MovePathEx with a new name and kMoveDelayUntilReboot): (from, to).
    std::vector<std::pair<std::string, std::string>> pendingRenames;
    bool refuseDelayedDelete = false;

    // Descriptors open right now (a test checks that none leaks).
    int OpenDescriptorCount() const;

    // --- Platform -----------------------------------------------------------
    uint32_t DriveType(const char* root) override;
    SearchHandle FindFirst(const char* pattern, FindEntry* entry) override;
    bool FindNext(SearchHandle search, FindEntry* entry) override;
    void FindEnd(SearchHandle search) override;
    uint32_t GetAttributes(const char* path) override;
    bool SetAttributes(const char* path, uint32_t attributes) override;
    bool DeletePath(const char* path) override;
    bool MovePath(const char* from, const char* to) override;
    bool MovePathEx(const char* from, const char* to, uint32_t flags) override;
    bool CopyPath(const char* from, const char* to, bool failIfExists) override;
    uint32_t ShortPath(const char* longPath, char* buffer, uint32_t size) override;
    uint32_t TempPath(char* buffer, uint32_t size) override;
    uint32_t SystemDirectory(char* buffer, uint32_t size) override;
    uint32_t WindowsDirectory(char* buffer, uint32_t size) override;
    uint32_t ExpandEnvironment(const char* source, char* buffer, uint32_t size) override;
    int FileOpen(const char* path, int flags, int permission) override;
    int32_t FileLength(int fd) override;
    int32_t FileSeek(int fd, int32_t offset, int origin) override;
    int FileRead(int fd, void* buffer, uint32_t count) override;
    int FileWrite(int fd, const void* buffer, uint32_t count) override;
    int FileClose(int fd) override;
    int FileAccess(const char* path, int mode) override;
    TextFile TextOpenRead(const char* path) override;
    bool TextReadLine(TextFile file, char* buffer, int size) override;
    void TextClose(TextFile file) override;
    int32_t KeyOpen(RegKey root, const char* subKey, uint32_t access, RegKey* key) override;
    int32_t KeyCreate(RegKey root, const char* subKey, RegKey* key) override;
    int32_t KeyClose(RegKey key) override;
    int32_t KeyValueCount(RegKey key, uint32_t* count) override;
    int32_t KeyEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength) override;
    int32_t KeyQueryValue(RegKey key, const char* name, uint32_t* type, uint8_t* data,
                          uint32_t* size) override;
    int32_t KeySetValue(RegKey key, const char* name, uint32_t type, const uint8_t* data,
                        uint32_t size) override;
    int32_t KeyDeleteValue(RegKey key, const char* name) override;
    int32_t KeyDelete(RegKey root, const char* subKey) override;
    bool Version(OsVersion* version) override;
    void SleepFor(uint32_t milliseconds) override;
    uint32_t LastError() override;
    bool PeekOneMessage(QueuedMessage* message) override;
    void DispatchOne(const QueuedMessage& message) override;
    intptr_t SendToWindow(uintptr_t window, uint32_t message, uintptr_t wParam,
                          intptr_t lParam) override;
    int Prompt(const char* text, const char* caption, int style) override;
    int SystemMessageBox(uintptr_t owner, const char* text, const char* caption,
                         uint32_t style) override;
    bool TokenOpenOwn(uint32_t access, TokenHandle* token) override;
    bool PrivilegeLookup(const char* name, uint64_t* luid) override;
    bool PrivilegeEnable(TokenHandle token, uint64_t luid) override;
    bool HandleClose(uintptr_t handle) override;
    bool RequestRestart(uint32_t flags, uint32_t reason) override;

private:
    // Implementation state is the sim's own business; see SimPlatform.cpp.
    struct State;
    State* state_;
    std::string hostRoot_;
    int peekCount_ = 0;
};
