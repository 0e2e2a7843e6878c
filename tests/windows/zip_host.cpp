// A host built from wsgate-windows.zip alone (wsgate.h and an import
// library): it publishes one service, fetches its WSDL from itself over
// Winsock, and shuts down. Exit status 0 when the WSDL came back rewritten.
#include <wsgate/wsgate.h>

#include <winsock2.h>

#include <cstdio>
#include <string>

static int GSOAPWS_CALL Unused(struct soap *)
{
    return 0;
}

int main()
{
    const int port = 18080 + static_cast<int>(GetCurrentProcessId() % 1000);
    if (!gsoapws_init())
        return 1;
    void *server = gsoapws_create("127.0.0.1", port);
    if (!server || !gsoapws_add_service(server, "/calc", Unused, "Calculator.wsdl", false, 0) ||
        !gsoapws_start(server, nullptr)) {
        gsoapws_fini();
        return 1;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    DWORD timeout = 10000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeout), sizeof timeout);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    const std::string request = "GET /calc?wsdl HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    std::string reply;
    if (connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        send(s, request.data(), static_cast<int>(request.size()), 0) > 0) {
        char buffer[4096];
        for (int n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;)
            reply.append(buffer, n);
    }
    closesocket(s);
    gsoapws_stop(server);
    gsoapws_fini();
    const std::string location = "location=\"http://127.0.0.1:" + std::to_string(port) + "/calc\"";
    const bool served = reply.find(location) != std::string::npos;
    std::printf("zip host: %s\n", served ? "served the WSDL" : "no WSDL");
    return served ? 0 : 1;
}
