#include "e2e.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

namespace e2e {
namespace {

sockaddr_in Loopback(int port) { return {AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}}; }

std::string Envelope(const std::string &op, const std::string &fields)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
           "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" xmlns:ns=\"urn:wsgate-test\">"
           "<SOAP-ENV:Body><ns:" + op + ">" + fields + "</ns:" + op + "></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

}  // namespace

int FreePort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

std::pair<long, long> Held()
{
    using Dir = std::filesystem::directory_iterator;
    return {std::distance(Dir("/proc/self/fd"), Dir()), std::distance(Dir("/proc/self/task"), Dir())};
}

std::string AddBody(int a, int b)
{
    return Envelope("add", "<a>" + std::to_string(a) + "</a><b>" + std::to_string(b) + "</b>");
}

std::string ThreadIdBody() { return Envelope("threadId", ""); }
std::string BlockBody(int token) { return Envelope("block", "<token>" + std::to_string(token) + "</token>"); }
std::string BigBody(int size) { return Envelope("big", "<size>" + std::to_string(size) + "</size>"); }
std::string EchoBody(const std::string &xmlText) { return Envelope("echo", "<text>" + xmlText + "</text>"); }

Connection::Connection(int port, bool ipv6) : _fd(socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0)), _port(port)
{
    timeval timeout{10, 0};
    setsockopt(_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address = Loopback(port);
    sockaddr_in6 address6{AF_INET6, htons(port), 0, in6addr_loopback, 0};
    if (ipv6 ? connect(_fd, reinterpret_cast<sockaddr *>(&address6), sizeof address6) != 0
             : connect(_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        Close();
}

void Connection::Close()
{
    if (_fd >= 0)
        close(std::exchange(_fd, -1));
}

bool Connection::Send(const std::string &bytes)
{
    ssize_t n = 0;
    for (size_t sent = 0; sent < bytes.size(); sent += static_cast<size_t>(n))
        if ((n = send(_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL)) <= 0)
            return false;
    return true;
}

bool Connection::Post(const std::string &path, const std::string &body, const std::string &extraHeaders,
                      const std::string &version)
{
    return Send("POST " + path + " " + version + "\r\nHost: 127.0.0.1\r\n" +
                "Content-Type: text/xml; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\n" + extraHeaders + "\r\n" + body);
}

bool Connection::Get(const std::string &pathAndQuery)
{
    return Send("GET " + pathAndQuery + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(_port) + "\r\n\r\n");
}

std::string Connection::Sum(const std::string &path, int a, int b, const std::string &extraHeaders)
{
    return Post(path, AddBody(a, b), extraHeaders) ? Element(ReadResponse(), "sum") : "";
}

std::string Connection::ReadResponse()
{
    char buffer[65536];
    for (;;) {
        const size_t headEnd = _pending.find("\r\n\r\n");
        if (headEnd != std::string::npos) {
            const std::string length = Header(_pending.substr(0, headEnd + 4), "Content-Length");
            const size_t total = headEnd + 4 + (length.empty() ? 0 : std::stoul(length));
            if (_pending.size() >= total) {
                std::string response = _pending.substr(0, total);
                _pending.erase(0, total);
                return response;
            }
        }
        const ssize_t n = recv(_fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return "";
        _pending.append(buffer, static_cast<size_t>(n));
    }
}

std::string Connection::ReadUntilClosed()
{
    char buffer[65536];
    for (ssize_t n; (n = recv(_fd, buffer, sizeof buffer, 0)) > 0;)
        _pending.append(buffer, static_cast<size_t>(n));
    return std::exchange(_pending, std::string());
}

bool Connection::ClosedByPeer(std::chrono::milliseconds bound)
{
    pollfd entry{_fd, POLLIN, 0};
    char byte;
    return poll(&entry, 1, static_cast<int>(bound.count())) > 0 &&
           recv(_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}

std::string Header(const std::string &response, const std::string &name)
{
    const std::string key = "\r\n" + name + ": ";
    const size_t at = response.find(key);
    if (at == std::string::npos)
        return "";
    const size_t start = at + key.size();
    return response.substr(start, response.find("\r\n", start) - start);
}

std::string Body(const std::string &response)
{
    const size_t headEnd = response.find("\r\n\r\n");
    return headEnd == std::string::npos ? "" : response.substr(headEnd + 4);
}

std::string Element(const std::string &response, const std::string &tag)
{
    const size_t start = response.find("<" + tag + ">"), end = response.find("</" + tag + ">");
    if (start == std::string::npos || end == std::string::npos)
        return "";
    return response.substr(start + tag.size() + 2, end - start - tag.size() - 2);
}

}  // namespace e2e
