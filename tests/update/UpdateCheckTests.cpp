#include "LoopbackHttpServer.h"
#include "PluginProcessor.h"
#include "UpdateCheck.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

namespace
{
const juce::String version ("1.1.0");
const std::string updatePath ("/olvar_update.php");

LoopbackHttpServer::Response answerWith (int status, std::string body = {})
{
    LoopbackHttpServer::Response response;
    response.status = status;
    response.body = std::move (body);
    return response;
}

LoopbackHttpServer::Handler always (LoopbackHttpServer::Response response)
{
    return [response] (const std::string&) { return response; };
}

bool askServer (const LoopbackHttpServer& server)
{
    return olvar::isNewerVersionAvailable (server.urlFor (updatePath), version);
}

bool waitForFlag (const std::atomic<bool>& flag, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);

    while (! flag.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for (std::chrono::milliseconds (5));

    return flag.load();
}
} // namespace

namespace
{
struct StatusCase
{
    const char* name;
    int status;
    const char* body;
    bool expected;
};

void PrintTo (const StatusCase& c, std::ostream* os) { *os << c.name; }
} // namespace

class UpdateStatusTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P (UpdateStatusTest, OnlyStatus202MeansANewerVersion)
{
    const auto& c = GetParam();
    LoopbackHttpServer server (always (answerWith (c.status, c.body)));

    EXPECT_EQ (askServer (server), c.expected);
    EXPECT_EQ (server.getNumRequests(), 1u);
}

INSTANTIATE_TEST_SUITE_P (Statuses, UpdateStatusTest,
    ::testing::Values (StatusCase { "accepted", 202, "", true },
                       StatusCase { "acceptedWithBody", 202, "anything at all", true },
                       StatusCase { "ok", 200, "", false },
                       StatusCase { "okNamingHigherVersion", 200, "{\"latest\":\"9.9.9\"}", false },
                       StatusCase { "notFound", 404, "", false },
                       StatusCase { "serverError", 500, "", false }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (UpdateRedirect, FollowsARedirectToTheFinalStatus)
{
    for (const auto& [finalStatus, expected] : { std::pair { 202, true }, std::pair { 200, false } })
    {
        LoopbackHttpServer target (always (answerWith (finalStatus)));

        LoopbackHttpServer::Response redirect;
        redirect.status = 302;
        redirect.extraHeaders = "Location: " + target.urlFor (updatePath + "?v=1.1.0") + "\r\n";
        LoopbackHttpServer server (always (redirect));

        EXPECT_EQ (askServer (server), expected) << "redirect to " << finalStatus;
        EXPECT_EQ (target.getNumRequests(), 1u);
    }
}

TEST (UpdateFailure, ConnectionRefusedGivesFalse)
{
    const auto url = "http://127.0.0.1:" + juce::String (findClosedLoopbackPort()) + updatePath;
    EXPECT_FALSE (olvar::isNewerVersionAvailable (url, version));
}

TEST (UpdateFailure, SilentServerGivesFalseAfterTheTimeOut)
{
    LoopbackHttpServer::Response silent;
    silent.holdUntilReleased = true;
    LoopbackHttpServer server (always (silent));

    EXPECT_FALSE (askServer (server));
    EXPECT_EQ (server.getNumRequests(), 1u);
}

TEST (UpdateRequest, IsABodylessGetOfTheVersionedPath)
{
    LoopbackHttpServer server (always (answerWith (200)));
    {
        OlvarAudioProcessor processor (server.urlFor (updatePath));
    }

    const auto requests = server.getRequests();
    ASSERT_EQ (requests.size(), 1u);

    const auto& request = requests.front();
    EXPECT_EQ (request.substr (0, request.find ("\r\n")), "GET /olvar_update.php?v=1.1.0 HTTP/1.1");

    const auto headEnd = request.find ("\r\n\r\n");
    ASSERT_NE (headEnd, std::string::npos);
    EXPECT_EQ (headEnd + 4, request.size()) << "the request carries a body";
    EXPECT_EQ (juce::String (request).indexOfIgnoreCase ("Content-Length"), -1);
}

TEST (UpdateProcessor, SetsTheFlagWhenTheServerAnswers202)
{
    LoopbackHttpServer server (always (answerWith (202)));
    OlvarAudioProcessor processor (server.urlFor (updatePath));

    EXPECT_TRUE (waitForFlag (processor.updateAvailable, 10000));
}

TEST (UpdateProcessor, EachProcessorAsksOnceAndKeepsItsOwnFlag)
{
    std::atomic<int> answered { 0 };
    LoopbackHttpServer server ([&] (const std::string&) { return answerWith (answered++ == 0 ? 202 : 200); });
    {
        OlvarAudioProcessor first (server.urlFor (updatePath));
        ASSERT_TRUE (server.waitForRequests (1, 10000));
        first.startBackgroundTasks(); // a second call starts nothing

        OlvarAudioProcessor second (server.urlFor (updatePath));
        ASSERT_TRUE (server.waitForRequests (2, 10000));
        second.startBackgroundTasks();

        EXPECT_TRUE (waitForFlag (first.updateAvailable, 10000));
        ASSERT_TRUE (server.waitUntilClientsClosed (10000));
        EXPECT_FALSE (second.updateAvailable.load());
    }

    EXPECT_EQ (server.getNumRequests(), 2u);
}

TEST (UpdateProcessor, DestructionWaitsForThePendingRequest)
{
    LoopbackHttpServer::Response held = answerWith (202);
    held.holdUntilReleased = true;
    LoopbackHttpServer server (always (held));

    auto processor = std::make_unique<OlvarAudioProcessor> (server.urlFor (updatePath));
    ASSERT_TRUE (server.waitForRequests (1, 10000));

    auto destroyed = std::async (std::launch::async, [&] { processor.reset(); });

    EXPECT_EQ (destroyed.wait_for (std::chrono::milliseconds (300)), std::future_status::timeout)
        << "the destructor returned while the request was still pending";

    server.release();
    destroyed.get();
    EXPECT_TRUE (server.waitUntilClientsClosed (5000));
}

TEST (UpdateProcessor, DestructionDuringASilentServerEndsAfterTheTimeOut)
{
    LoopbackHttpServer::Response silent;
    silent.holdUntilReleased = true;
    LoopbackHttpServer server (always (silent));

    auto processor = std::make_unique<OlvarAudioProcessor> (server.urlFor (updatePath));
    ASSERT_TRUE (server.waitForRequests (1, 10000));

    // Never released: only the client's time-out can end the request.
    processor.reset();
    SUCCEED();
}

TEST (UpdateEndpoint, TheEnvironmentCanRedirectTheCheck)
{
    EXPECT_EQ (olvar::getUpdateEndpoint(), juce::String (std::getenv ("OLVAR_UPDATE_ENDPOINT")));
    EXPECT_TRUE (juce::String (OLVAR_UPDATE_ENDPOINT).endsWith ("/olvar_update.php"));
}
