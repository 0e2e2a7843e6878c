// WSDL request paths and address rewriting over arbitrary bytes: the input up to its first NUL is a
// request path, and the whole input is the WSDL file.
#include "wsdl_document.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int file = memfd_create("wsdl", 0);
    const std::string bytes(reinterpret_cast<const char *>(data), size), path = bytes.substr(0, bytes.find('\0'));
    std::string uri, document;
    if ((split_wsdl_request(path.c_str(), uri) && path != uri + "?wsdl") || ftruncate(file, 0) != 0 ||
        pwrite(file, data, size, 0) != static_cast<ssize_t>(size))
        __builtin_trap();
    render_wsdl("/proc/self/fd/" + std::to_string(file), "http://127.0.0.1:8080/test", document);
    return 0;
}
