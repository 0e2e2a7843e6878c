#include "demo_options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseInt(const std::string &text, long low, long high, int &value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

const char *DemoUsage()
{
    return "usage: wsgate-demo [--ip ADDRESS] [--port N] [--threads N] [--max-keep-alive N]\n"
           "\n"
           "Publishes a calculator at /calc and an echo service at /echo.\n"
           "\n"
           "  --ip ADDRESS          address to listen on (default 127.0.0.1)\n"
           "  --port N              TCP port, 1-65535 (default 8080)\n"
           "  --threads N           connection workers (default 10)\n"
           "  --max-keep-alive N    requests per kept-alive connection, 0 = unlimited (default 100)\n"
           "  --help                this text\n"
           "\n"
           "Runs in the directory that holds the executable: it reads log4cxx.properties\n"
           "and the WSDL files there. SIGINT (Ctrl+C) or SIGTERM stops it.\n";
}

DemoCommand ParseDemoOptions(int argc, char **argv, DemoOptions &options, std::string &error)
{
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h")
            return DemoCommand::Help;
        // Both "--port 8080" and "--port=8080".
        std::string value;
        std::string::size_type equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = name + " needs a value";
            return DemoCommand::Error;
        }
        bool ok = true;
        if (name == "--ip") {
            ok = !value.empty();
            options.ip = value;
        } else if (name == "--port") {
            ok = ParseInt(value, 1, 65535, options.port);
        } else if (name == "--threads") {
            ok = ParseInt(value, 1, 10000, options.threads);
        } else if (name == "--max-keep-alive") {
            ok = ParseInt(value, 0, INT_MAX, options.maxKeepAlive);
        } else {
            error = "unknown option " + name;
            return DemoCommand::Error;
        }
        if (!ok) {
            error = "bad value '" + value + "' for " + name;
            return DemoCommand::Error;
        }
    }
    return DemoCommand::Run;
}
