// Stopping a service by name: the polling, its bound, and the failures.
#include <vector>

#include "memory/ServiceStop.h"
#include "unit/MemoryTestSupport.h"

namespace {

const uint32_t P = kServiceStopPending;
const uint32_t S = kServiceStopped;
const uint32_t R = kServiceRunning;

class ServiceStopTest : public MemoryTest {};

TEST_F(ServiceStopTest, StoppedAtOnceOrAfterThreePolls) {
    sim.AddService("quick", {P, S});
    sim.AddService("slow", {P, P, P, P, S});
    EXPECT_EQ(1, StopNamedService("quick"));
    EXPECT_EQ(0u, sim.nowMs);
    EXPECT_EQ(1, StopNamedService("SLOW"));
    EXPECT_EQ(3000u, sim.nowMs);
    ExpectHandlesClosed();
}

TEST_F(ServiceStopTest, NoServiceAStoppedOneOrARefusalGiveZeroWithoutWaiting) {
    sim.AddService("stopped", {P, S});
    sim.SetServiceState("stopped", S);
    sim.AddService("stubborn", {P, S});
    sim.RefuseStop("stubborn");
    EXPECT_EQ(0, StopNamedService("nosuch"));
    EXPECT_EQ(0, StopNamedService("stopped"));
    EXPECT_EQ(0, StopNamedService("stubborn"));
    EXPECT_EQ(0, StopNamedService(""));
    EXPECT_EQ(0u, sim.nowMs);
    sim.refuseServiceManager = true;
    sim.AddService("fine", {S});
    EXPECT_EQ(0, StopNamedService("fine"));
    EXPECT_EQ(0, sim.StopRequests("fine"));
    ExpectHandlesClosed();
}

TEST_F(ServiceStopTest, AServiceThatGoesBackToRunningIsNotStopped) {
    sim.AddService("restarts", {P, P, R});
    EXPECT_EQ(0, StopNamedService("restarts"));
    EXPECT_EQ(1000u, sim.nowMs);
}

TEST_F(ServiceStopTest, AServiceForeverStoppingIsWaitedForAtMostItsBound) {
    sim.AddService("hung", {P});
    EXPECT_EQ(0, StopNamedService("hung"));
    EXPECT_EQ(30000u, sim.nowMs);
    sim.nowMs = 0;
    sim.AddService("patient", {P}, 45000);  // its own wait hint is longer
    EXPECT_EQ(0, StopNamedService("patient"));
    EXPECT_EQ(45000u, sim.nowMs);
    EXPECT_EQ(120000u, StopWaitLimitMs(0xFFFFFFFFu));
    ExpectHandlesClosed();
}

}  // namespace
