#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small HTTP/1.1 server on 127.0.0.1 for tests: it records every request it
// receives and answers each one as the test's handler says.
class LoopbackHttpServer
{
public:
    struct Response
    {
        int status = 200;
        std::string extraHeaders; // each line ending in "\r\n"
        std::string body;
        bool holdUntilReleased = false; // keep the connection silent until release()
    };

    using Handler = std::function<Response (const std::string& requestLine)>;

    explicit LoopbackHttpServer (Handler handler);
    ~LoopbackHttpServer();

    int getPort() const noexcept { return port; }
    std::string urlFor (const std::string& pathAndQuery) const;

    std::vector<std::string> getRequests() const;
    size_t getNumRequests() const;

    // Blocks until at least `count` requests have arrived or `timeoutMs` passed.
    bool waitForRequests (size_t count, int timeoutMs) const;

    // Lets held connections answer (or, with answer false, drop them unanswered).
    void release (bool answer = true);

    // Whether every connection accepted so far has been closed by its client.
    bool waitUntilClientsClosed (int timeoutMs) const;

    static std::string reasonPhrase (int status);

private:
    void acceptLoop();
    void serve (int connection);

    Handler handler;
    int port = 0;
    int listener = -1; // opened after port is zeroed, since opening sets it

    mutable std::mutex lock;
    mutable std::condition_variable changed;
    std::vector<std::string> requests;
    int openConnections = 0;
    bool released = false;
    bool answerWhenReleased = true;
    bool stopping = false;

    std::thread acceptThread;
    std::vector<std::thread> connectionThreads;
};

// A loopback port with nothing listening on it: connections are refused at once.
int findClosedLoopbackPort();
