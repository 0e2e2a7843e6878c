// A registration with a pool of its own, racing the server's stop: however
// the two interleave, stop leaves no worker of that pool running.
#include "e2e.h"
#include "wsgate/wsgate.h"
#include "zep_fault.h"

#include <gtest/gtest.h>
#include <stdsoap2.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

int Entry(soap *) { return SOAP_OK; }

const int kRounds = 20, kRegistrationsPerRound = 200;  // enough to go on for the whole of a stop
const auto kRaceBound = std::chrono::seconds(10);

TEST(RegisterStopRace, StopLeavesNoDedicatedPoolRunningWhileARegistrationRaces)
{
    std::thread([] {}).join();  // TSan starts a thread of its own along with the first
    ASSERT_TRUE(gsoapws_init());
    void *server = gsoapws_create("127.0.0.1", e2e::FreePort());
    const long threadsWhileStopped = e2e::Held().second;
    const auto end = std::chrono::steady_clock::now() + kRaceBound;
    for (int round = 0; round < kRounds && std::chrono::steady_clock::now() < end; ++round) {
        ASSERT_TRUE(gsoapws_start(server, nullptr));
        std::atomic<bool> stopped{false};
        std::thread registrar([&] {
            zep_fault_slow_locks(true);  // widens the gap between reading the state and acting on it
            for (int i = 0; i < kRegistrationsPerRound && !stopped; ++i)
                gsoapws_add_service(server, "/race", Entry, "race.wsdl", true, 1);
        });
        e2e::Stop(server);
        stopped = true;
        registrar.join();
        ASSERT_TRUE(e2e::WaitFor([&] { return e2e::Held().second == threadsWhileStopped; }))
            << "round " << round << ": a pool started after the stop still runs";
    }
    e2e::Fini();
}

}  // namespace
