// Command line of wsgate-demo.
#ifndef WSGATE_DEMO_OPTIONS_H
#define WSGATE_DEMO_OPTIONS_H

#include <string>

struct DemoOptions {
    std::string ip = "127.0.0.1";
    int port = 8080;
    int threads = 10;        // connection workers
    int maxKeepAlive = 100;  // requests per connection; 0 is unlimited
};

enum class DemoCommand { Run, Help, Error };

/// Reads argv over the defaults in options; on Error, error says why.
DemoCommand ParseDemoOptions(int argc, char **argv, DemoOptions &options, std::string &error);

/// The --help text.
const char *DemoUsage();

#endif
