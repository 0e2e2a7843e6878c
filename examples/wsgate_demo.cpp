// wsgate-demo: a host that publishes two gSOAP services through the seven
// functions of wsgate.h and nothing else.
#include "Calculator_entry.h"
#include "Echo_entry.h"
#include "demo_options.h"
#include "demo_platform.h"
#include "wsgate/wsgate.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool AddServices(void *server)
{
    return gsoapws_add_service(server, "/calc", Calculator_entry, "Calculator.wsdl", false, 0) &&
           gsoapws_add_service(server, "/echo", Echo_entry, "Echo.wsdl", true, 4);
}

}  // namespace

int main(int argc, char **argv)
{
    DemoOptions options;
    std::string error;
    switch (ParseDemoOptions(argc, argv, options, error)) {
    case DemoCommand::Help:
        std::fputs(DemoUsage(), stdout);
        return 0;
    case DemoCommand::Error:
        std::fprintf(stderr, "wsgate-demo: %s (see --help)\n", error.c_str());
        return 2;
    case DemoCommand::Run:
        break;
    }
    if (!EnterExecutableDirectory()) {
        std::fprintf(stderr, "wsgate-demo: cannot enter the executable's directory: %s\n",
                     std::strerror(errno));
        return 1;
    }

    PrepareForStop();

    if (!gsoapws_init()) {
        std::fputs("wsgate-demo: the library failed to start\n", stderr);
        return 1;
    }
    const char *ip = options.ip.c_str();
    void *server = gsoapws_create(ip, options.port);
    if (!server || !AddServices(server)) {
        std::fputs("wsgate-demo: cannot register the services\n", stderr);
        gsoapws_fini();
        return 1;
    }
    gsoap_start_server_param param = {100, 60, 60, options.threads, options.maxKeepAlive};
    if (!gsoapws_start(server, &param)) {
        std::fprintf(stderr,
                     "wsgate-demo: cannot listen on %s:%d - is the port in use, or the address "
                     "not one of this machine's? Try --port.\n",
                     ip, options.port);
        gsoapws_fini();
        return 1;
    }
    std::printf("wsgate-demo listening on %s:%d (Ctrl+C stops)\n"
                "  calculator  http://%s:%d/calc   WSDL: http://%s:%d/calc?wsdl\n"
                "  echo        http://%s:%d/echo   WSDL: http://%s:%d/echo?wsdl\n",
                ip, options.port, ip, options.port, ip, options.port, ip, options.port, ip,
                options.port);
    std::fflush(stdout);

    std::string stopRequest = WaitForStop();
    std::printf("wsgate-demo: %s, stopping\n", stopRequest.c_str());
    std::fflush(stdout);
    gsoapws_stop(server);
    gsoapws_fini();
    return 0;
}
