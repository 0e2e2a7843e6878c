#include "bench_server.h"

#include "CalculatorH.h"

#include <cstdio>
#include <string>
#include <sys/socket.h>

extern struct Namespace Calculator_namespaces[];

bool ParseServerOptions(int argc, char **argv, const char *name, DemoOptions &options, int &status)
{
    std::string error;
    switch (ParseDemoOptions(argc, argv, options, error)) {
    case DemoCommand::Run:
        return true;
    case DemoCommand::Help:
        std::printf("usage: %s [--ip ADDRESS] [--port N] [--threads N] [--max-keep-alive N]\n", name);
        status = 0;
        return false;
    case DemoCommand::Error:
        break;
    }
    std::fprintf(stderr, "%s: %s\n", name, error.c_str());
    status = 2;
    return false;
}

struct soap *OpenMaster(const DemoOptions &options)
{
    // The modes, time-outs and limits of wsgate's master context, so the
    // servers differ only in how they hand connections to threads.
    struct soap *master = soap_new2(SOAP_IO_KEEPALIVE | SOAP_C_UTFSTRING,
                                    SOAP_IO_KEEPALIVE | SOAP_C_UTFSTRING);
    if (!master) {
        std::fputs("soap_new2 failed\n", stderr);
        return nullptr;
    }
    master->recv_timeout = 60;
    master->send_timeout = 60;
    master->max_keep_alive = options.maxKeepAlive;
    master->bind_flags |= SO_REUSEADDR;
    master->socket_flags = MSG_NOSIGNAL;
    UseCalculatorNamespaces(master);
    if (!soap_valid_socket(soap_bind(master, options.ip.c_str(), options.port, 100))) {
        soap_print_fault(master, stderr);
        soap_free(master);
        return nullptr;
    }
    return master;
}

void ReleaseMaster(struct soap *master)
{
    soap_destroy(master);
    soap_end(master);
    soap_free(master);  // closes the listening socket
}

void UseCalculatorNamespaces(struct soap *ctx)
{
    soap_set_namespaces(ctx, Calculator_namespaces);
}

StopOnSignal::StopOnSignal(struct soap *master) : m_master(master), m_stopping(false)
{
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGINT);
    sigaddset(&m_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
    m_waiter = std::thread(&StopOnSignal::Wait, this);
}

StopOnSignal::~StopOnSignal()
{
    m_waiter.join();
}

void StopOnSignal::Wait()
{
    int signal = 0;
    sigwait(&m_signals, &signal);
    m_stopping = true;
    // shutdown, unlike close, wakes a thread blocked in accept on Linux.
    shutdown(m_master->master, SHUT_RDWR);
}
