// What the plain gSOAP benchmark servers share: the demo's command line, a
// master context set up as wsgate sets up its own, and a stop on SIGINT or
// SIGTERM. Everything here runs on the main thread except the stop waiter.
#ifndef WSGATE_BENCH_SERVER_H
#define WSGATE_BENCH_SERVER_H

#include "demo_options.h"

#include <atomic>
#include <csignal>
#include <thread>

struct soap;

/// Parses the demo's flags into options; false (after printing why) when the
/// program should exit with the returned status.
bool ParseServerOptions(int argc, char **argv, const char *name, DemoOptions &options, int &status);

/// A master context bound to the options' address with wsgate's modes,
/// time-outs and keep-alive limit; null (after printing why) on failure.
/// Release it with ReleaseMaster.
struct soap *OpenMaster(const DemoOptions &options);

/// Closes the listening socket and releases the master.
void ReleaseMaster(struct soap *master);

/// Gives a context the calculator's namespace table, as the demo's entry
/// does on every request.
void UseCalculatorNamespaces(struct soap *ctx);

/// Blocks SIGINT and SIGTERM in the constructing thread (so every thread it
/// starts later inherits that) and waits for them on a thread of its own;
/// then shuts the master's listening socket down, which ends a blocked
/// soap_accept. Construct before any other thread starts; not copyable.
class StopOnSignal {
public:
    explicit StopOnSignal(struct soap *master);
    ~StopOnSignal();  // joins the waiter; the signal must have come
    StopOnSignal(const StopOnSignal &) = delete;
    StopOnSignal &operator=(const StopOnSignal &) = delete;

    /// True once a stop signal arrived: an accept failure then ends the loop.
    bool Stopping() const { return m_stopping; }

private:
    void Wait();

    struct soap *m_master;  // not owned
    sigset_t m_signals;
    std::atomic<bool> m_stopping;
    std::thread m_waiter;
};

#endif
