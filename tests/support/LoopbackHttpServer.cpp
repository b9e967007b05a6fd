#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace
{
int openLoopbackListener (int& portOut)
{
    const auto fd = ::socket (AF_INET, SOCK_STREAM, 0);

    if (fd < 0)
        throw std::runtime_error ("socket() failed");

    const int reuse = 1;
    ::setsockopt (fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof (reuse));

    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
    address.sin_port = 0;

    if (::bind (fd, reinterpret_cast<sockaddr*> (&address), sizeof (address)) != 0 || ::listen (fd, 64) != 0)
    {
        ::close (fd);
        throw std::runtime_error ("cannot listen on 127.0.0.1");
    }

    socklen_t length = sizeof (address);
    ::getsockname (fd, reinterpret_cast<sockaddr*> (&address), &length);
    portOut = ntohs (address.sin_port);
    return fd;
}

bool waitReadable (int fd, int timeoutMs)
{
    pollfd entry { fd, POLLIN, 0 };
    return ::poll (&entry, 1, timeoutMs) > 0;
}
} // namespace

LoopbackHttpServer::LoopbackHttpServer (Handler handlerToUse)
    : handler (std::move (handlerToUse)),
      listener (openLoopbackListener (port))
{
    acceptThread = std::thread ([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    {
        const std::lock_guard<std::mutex> guard (lock);
        stopping = true;
    }

    changed.notify_all();
    acceptThread.join();

    for (auto& thread : connectionThreads)
        thread.join();

    ::close (listener);
}

std::string LoopbackHttpServer::urlFor (const std::string& pathAndQuery) const
{
    return "http://127.0.0.1:" + std::to_string (port) + pathAndQuery;
}

std::vector<std::string> LoopbackHttpServer::getRequests() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return requests;
}

size_t LoopbackHttpServer::getNumRequests() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return requests.size();
}

bool LoopbackHttpServer::waitForRequests (size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> guard (lock);
    return changed.wait_for (guard, std::chrono::milliseconds (timeoutMs), [&] { return requests.size() >= count; });
}

void LoopbackHttpServer::release (bool answer)
{
    {
        const std::lock_guard<std::mutex> guard (lock);
        released = true;
        answerWhenReleased = answer;
    }

    changed.notify_all();
}

bool LoopbackHttpServer::waitUntilClientsClosed (int timeoutMs) const
{
    std::unique_lock<std::mutex> guard (lock);
    return changed.wait_for (guard, std::chrono::milliseconds (timeoutMs), [&] { return openConnections == 0; });
}

std::string LoopbackHttpServer::reasonPhrase (int status)
{
    switch (status)
    {
        case 200: return "OK";
        case 202: return "Accepted";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 404: return "Not Found";
        case 500: return "Internal Server Error";
        default:  return "Status";
    }
}

void LoopbackHttpServer::acceptLoop()
{
    for (;;)
    {
        {
            const std::lock_guard<std::mutex> guard (lock);

            if (stopping)
                return;
        }

        if (! waitReadable (listener, 20))
            continue;

        const auto connection = ::accept (listener, nullptr, nullptr);

        if (connection < 0)
            continue;

        const std::lock_guard<std::mutex> guard (lock);
        ++openConnections;
        connectionThreads.emplace_back ([this, connection] { serve (connection); });
    }
}

void LoopbackHttpServer::serve (int connection)
{
    std::string received;
    char chunk[4096];

    // The head of the request, then whatever else the client sends soon after it (a body).
    while (received.find ("\r\n\r\n") == std::string::npos && waitReadable (connection, 5000))
    {
        const auto n = ::recv (connection, chunk, sizeof (chunk), 0);

        if (n <= 0)
            break;

        received.append (chunk, (size_t) n);
    }

    while (waitReadable (connection, 100))
    {
        const auto n = ::recv (connection, chunk, sizeof (chunk), 0);

        if (n <= 0)
            break;

        received.append (chunk, (size_t) n);
    }

    const auto requestLine = received.substr (0, received.find ("\r\n"));
    const auto response = handler (requestLine);

    bool answer = true;
    {
        std::unique_lock<std::mutex> guard (lock);
        requests.push_back (received);
        changed.notify_all();

        if (response.holdUntilReleased)
        {
            changed.wait (guard, [&] { return released || stopping; });
            answer = released && answerWhenReleased;
        }
    }

    if (answer)
    {
        const auto text = "HTTP/1.1 " + std::to_string (response.status) + " " + reasonPhrase (response.status) + "\r\n"
                        + response.extraHeaders
                        + "Content-Length: " + std::to_string (response.body.size()) + "\r\n"
                        + "Connection: close\r\n\r\n"
                        + response.body;
        ::send (connection, text.data(), text.size(), MSG_NOSIGNAL);
    }

    // Wait for the client to hang up, so tests can tell when it has let go.
    ::shutdown (connection, SHUT_WR);

    while (waitReadable (connection, 10000))
        if (::recv (connection, chunk, sizeof (chunk), 0) <= 0)
            break;

    ::close (connection);

    const std::lock_guard<std::mutex> guard (lock);
    --openConnections;
    changed.notify_all();
}

int findClosedLoopbackPort()
{
    int port = 0;
    ::close (openLoopbackListener (port));
    return port;
}
