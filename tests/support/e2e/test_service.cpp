// The test service's operations and the controls tests hold them with.
#include "Test_entry.h"
#include "TestH.h"
#include "e2e.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <string>

namespace {

std::mutex gateMutex;
std::condition_variable gateChanged;
bool gateHeld = false;  // guarded by gateMutex
int waiting = 0;        // guarded by gateMutex

void SetGate(bool held)
{
    {
        std::lock_guard<std::mutex> lock(gateMutex);
        gateHeld = held;
    }
    gateChanged.notify_all();
}

}  // namespace

int Test::ns__add(struct soap *, int a, int b, int &sum) { sum = a + b; return SOAP_OK; }

int Test::ns__threadId(struct soap *, ULONG64 &id)
{
    id = static_cast<ULONG64>(syscall(SYS_gettid));
    return SOAP_OK;
}

int Test::ns__block(struct soap *, int token, int &result)
{
    std::unique_lock<std::mutex> lock(gateMutex);
    ++waiting;
    gateChanged.wait(lock, [] { return !gateHeld; });
    --waiting;
    result = token;
    return SOAP_OK;
}

int Test::ns__big(struct soap *, int size, std::string &data)
{
    data.assign(static_cast<size_t>(size > 0 ? size : 0), 'x');
    return SOAP_OK;
}

int Test::ns__echo(struct soap *, char *text, char *&reply)
{
    reply = text;
    return SOAP_OK;
}

namespace e2e {

int TestEntry(struct soap *ctx) { return Test_entry(ctx); }
const char *TestWsdlPath() { return WSGATE_TEST_WSDL; }
void HoldBlockCalls() { SetGate(true); }
void ReleaseBlockCalls() { SetGate(false); }

int BlockedCalls()
{
    std::lock_guard<std::mutex> lock(gateMutex);
    return waiting;
}

}  // namespace e2e
