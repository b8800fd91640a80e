// What a contract test needs from the system it runs on, besides the platform seam:
// a drive to work on and ways to set up files and state without going
// through the calls under test. Each test program's main supplies one.
#pragma once

#include <cstdint>
#include <string>

class ContractEnv {
public:
    virtual ~ContractEnv() {}
    // "D:" and the like: a fixed drive whose root the tests may fill.
    virtual std::string Drive() = 0;
    // True under Wine, where a few answers differ from Windows.
    virtual bool IsWine() = 0;
    // True when the system answers as the NT family does.
    virtual bool IsNtFamily() = 0;
    // A folder of entries the runner made on the host, which no Windows call
    // makes: files named "a?b.exe", "trail.exe.", "Long Name.exe" and
    // "plain.exe" (each holding its own name), a folder "sub" and a link
    // "sublink" to it. Empty when the drive has none.
    virtual std::string HostMadeFolder() = 0;

    virtual bool MakeFolder(const std::string& windowsPath) = 0;
    virtual bool WriteFile(const std::string& windowsPath, const std::string& bytes) = 0;
    // Empty when the file cannot be read.
    virtual std::string ReadFile(const std::string& windowsPath) = 0;
    virtual bool Exists(const std::string& windowsPath) = 0;
    // Keeps the file open the way a running program does (other readers
    // allowed, no writers, no deletion) until Release.
    virtual bool HoldOpen(const std::string& windowsPath) = 0;
    virtual void Release() = 0;
    virtual void SetVariable(const std::string& name, const std::string& value) = 0;
    // Posts a message to this thread's queue (no window), as another part of
    // the program would.
    virtual void PostToThread(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;

    // Puts a program that only sleeps at windowsPath and starts it; its
    // process id, 0 on failure. A guarded one lets others name its program
    // file but not terminate it (kNoTermination), or nothing (kNoAccess).
    enum class Guard { kNone, kNoTermination, kNoAccess };
    virtual uint32_t StartProgram(const std::string& windowsPath, Guard guard) = 0;
    // Registers and starts a service of that name whose program stops a few
    // seconds after it is asked to (or never accepts the stop control).
    virtual bool StartService(const std::string& name, bool refuseStop) = 0;
    // Release also ends the programs and removes the services started above.
};

// The environment the running test program installed.
ContractEnv& Env();
