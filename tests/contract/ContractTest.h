// Fixture of the contract tests: every case gets a fresh folder on the test
// drive and a fresh registry key under HKEY_CURRENT_USER.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contract/ContractEnv.h"
#include "platform/Platform.h"

class ContractTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A path inside this case's folder ("D:\CT0007\name").
    std::string At(const std::string& name) const { return folder + "\\" + name; }
    // Names FindFirst/FindNext give for a pattern, in their order.
    std::vector<std::string> List(const std::string& pattern);

    ContractEnv& env = Env();
    std::string folder;       // "D:\CT0007"
    std::string registryKey;  // "Software\CordafixContract\CT0007"
};
