// A host as a Windows program written against no header of ours would be:
// it loads wsgate.dll with LoadLibrary, finds the seven functions by their
// export names with GetProcAddress and serves the calculator through them.
#include "Calculator_entry.h"

#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <string>

namespace {

struct StartParam {
    int backlog, send_timeout, recv_timeout, thread_num, max_keep_alive;
};

#ifdef _WIN64
#define WSGATE_NAME(plain, decorated) plain
#else
#define WSGATE_NAME(plain, decorated) decorated
#endif

// The signatures a host declares for itself, one-byte bool included.
using Init = bool(__stdcall *)();
using Fini = void(__stdcall *)();
using Create = void *(__stdcall *)(const char *, int);
using Start = bool(__stdcall *)(void *, StartParam *);
using Stop = void(__stdcall *)(void *);
using AddService = bool(__stdcall *)(void *, const char *, int(__stdcall *)(struct soap *), const char *,
                                     bool, int);
using DeleteService = void(__stdcall *)(void *, const char *);

class LoadedLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = LoadLibraryA("wsgate.dll");
        ASSERT_NE(nullptr, module) << "LoadLibrary: error " << GetLastError();
    }
    void TearDown() override
    {
        if (module)
            FreeLibrary(module);
    }

    template <typename Function>
    Function Find(const char *name)
    {
        return reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    }

    HMODULE module = nullptr;
};

// A port nobody listens on right now.
int FreePort()
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    int port = -1;
    if (bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    closesocket(s);
    return port;
}

// One HTTP exchange on a fresh connection, read until the server closes;
// receives time out after 10 s so that a wedged server fails the test.
std::string Exchange(int port, const std::string &request)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    DWORD timeout = 10000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeout), sizeof timeout);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    std::string reply;
    if (connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        send(s, request.data(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size())) {
        char buffer[4096];
        for (int n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;)
            reply.append(buffer, n);
    }
    closesocket(s);
    return reply;
}

std::string AddRequest()
{
    const std::string body =
        "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
        "<c:add xmlns:c=\"urn:wsgate-demo-calc\"><a>2</a><b>3</b></c:add></s:Body></s:Envelope>";
    return "POST /calc HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
           "Content-Type: text/xml; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST_F(LoadedLibrary, FindsEveryFunctionByItsExportName)
{
    for (const char *name :
         {WSGATE_NAME("gsoapws_init", "_gsoapws_init@0"), WSGATE_NAME("gsoapws_fini", "_gsoapws_fini@0"),
          WSGATE_NAME("gsoapws_create", "_gsoapws_create@8"), WSGATE_NAME("gsoapws_start", "_gsoapws_start@8"),
          WSGATE_NAME("gsoapws_stop", "_gsoapws_stop@4"),
          WSGATE_NAME("gsoapws_add_service", "_gsoapws_add_service@24"),
          WSGATE_NAME("gsoapws_delete_service", "_gsoapws_delete_service@8")})
        EXPECT_NE(nullptr, Find<void *>(name)) << name;
}

TEST_F(LoadedLibrary, FindsInitAtOrdinalEight)
{
    EXPECT_EQ(Find<void *>(WSGATE_NAME("gsoapws_init", "_gsoapws_init@0")),
              reinterpret_cast<void *>(GetProcAddress(module, MAKEINTRESOURCEA(8))));
}

TEST_F(LoadedLibrary, ServesThroughTheLoadedFunctionsUntilStoppedAndShutDown)
{
    auto init = Find<Init>(WSGATE_NAME("gsoapws_init", "_gsoapws_init@0"));
    auto fini = Find<Fini>(WSGATE_NAME("gsoapws_fini", "_gsoapws_fini@0"));
    auto create = Find<Create>(WSGATE_NAME("gsoapws_create", "_gsoapws_create@8"));
    auto start = Find<Start>(WSGATE_NAME("gsoapws_start", "_gsoapws_start@8"));
    auto stop = Find<Stop>(WSGATE_NAME("gsoapws_stop", "_gsoapws_stop@4"));
    auto add = Find<AddService>(WSGATE_NAME("gsoapws_add_service", "_gsoapws_add_service@24"));
    auto remove = Find<DeleteService>(WSGATE_NAME("gsoapws_delete_service", "_gsoapws_delete_service@8"));
    ASSERT_TRUE(init && fini && create && start && stop && add && remove);

    ASSERT_TRUE(init());
    const int port = FreePort();
    void *server = create("127.0.0.1", port);
    ASSERT_NE(nullptr, server);
    ASSERT_TRUE(add(server, "/calc", Calculator_entry, "Calculator.wsdl", true, 2));
    StartParam param = {16, 10, 10, 2, 100};
    ASSERT_TRUE(start(server, &param));

    EXPECT_NE(std::string::npos, Exchange(port, AddRequest()).find("<result>5</result>"));
    remove(server, "/calc");
    // No service for the path any more: closed unanswered.
    EXPECT_EQ("", Exchange(port, AddRequest()));

    stop(server);
    // The listening socket is closed: nobody answers on the port.
    EXPECT_EQ("", Exchange(port, AddRequest()));
    fini();
}

}  // namespace
