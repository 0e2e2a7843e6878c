// What the demo host needs from the system, in demo_platform_<system>.cpp.
#ifndef WSGATE_DEMO_PLATFORM_H
#define WSGATE_DEMO_PLATFORM_H

#include <string>

/// The library reads log4cxx.properties from the working directory, and the
/// build puts it beside the executable together with the WSDL files.
bool EnterExecutableDirectory();

/// Called before the library starts any thread, so that only WaitForStop
/// sees a stop request (Ctrl+C, or a termination signal where they exist).
void PrepareForStop();

/// Blocks until a stop is requested; returns what requested it.
std::string WaitForStop();

#endif
