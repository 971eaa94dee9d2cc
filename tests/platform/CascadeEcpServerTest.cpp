// The ECP socket belongs to one process at a time: two servers started on
// the same path never both serve it, and the path is free again once the
// owner stops.
#include "platform/CascadeEcpServer.h"

#include "support/ScopedTempDir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Result = CascadeEcpServer::StartResult;

// Sends one line to `path` and returns the reply line ("" without one).
std::string Ask(const std::string& path, const std::string& line) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    std::string reply;
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        send(fd, (line + "\n").data(), line.size() + 1, MSG_NOSIGNAL) == ssize_t(line.size() + 1)) {
        char c;
        while (recv(fd, &c, 1, 0) == 1 && c != '\n') reply += c;
    }
    if (fd >= 0) close(fd);
    return reply;
}

CascadeEcpServer::Handler Answer(const std::string& who) {
    return [who](const std::string&) { return who; };
}

TEST(CascadeEcpServerOwnership, ASecondServerOnTheSamePathIsTakenAndTheFirstKeepsAnswering) {
    ScopedTempDir dir;
    const std::string path = dir.File("ecp/ecp.sock");
    CascadeEcpServer first, second;
    ASSERT_EQ(Result::kStarted, first.Start(path, Answer("first")));
    EXPECT_EQ(Result::kTaken, second.Start(path, Answer("second")));
    EXPECT_EQ("first", Ask(path, "ping"));
    second.Stop();  // stopping the loser must not remove the owner's socket
    EXPECT_EQ("first", Ask(path, "ping"));
}

TEST(CascadeEcpServerOwnership, ThePathIsFreeAgainOnceTheOwnerStops) {
    ScopedTempDir dir;
    const std::string path = dir.File("ecp/ecp.sock");
    {
        CascadeEcpServer first;
        ASSERT_EQ(Result::kStarted, first.Start(path, Answer("first")));
    }
    CascadeEcpServer second;
    ASSERT_EQ(Result::kStarted, second.Start(path, Answer("second")));
    EXPECT_EQ("second", Ask(path, "ping"));
}

TEST(CascadeEcpServerOwnership, AStaleSocketFileIsReplaced) {
    ScopedTempDir dir;
    const std::string path = dir.File("ecp/ecp.sock");
    ASSERT_EQ(0, ::mkdir(dir.File("ecp").c_str(), 0700));
    // A socket file whose process is gone: bound, never listened on, closed.
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr));
    close(fd);
    CascadeEcpServer server;
    ASSERT_EQ(Result::kStarted, server.Start(path, Answer("fresh")));
    EXPECT_EQ("fresh", Ask(path, "ping"));
}

}  // namespace

TEST(CascadeEcpServerConnections, ACommandThatWaitsHoldsUpOnlyItsOwnConnection) {
    ScopedTempDir dir;
    const std::string path = dir.File("ecp/ecp.sock");
    std::mutex lock;
    std::condition_variable changed;
    bool slowWaiting = false, released = false, fastWhileSlowWaits = false;
    CascadeEcpServer server;
    ASSERT_EQ(Result::kStarted, server.Start(path, [&](const std::string& line) {
        std::unique_lock guard(lock);
        if (line == "fast") {
            fastWhileSlowWaits = slowWaiting;
            return std::string("fast");
        }
        // As a song query while the server takes its time.
        slowWaiting = true;
        changed.notify_all();
        changed.wait_for(guard, std::chrono::seconds(5), [&] { return released; });
        slowWaiting = false;
        return std::string("slow");
    }));
    std::string slowReply;
    std::thread slow([&] { slowReply = Ask(path, "slow"); });
    {
        std::unique_lock guard(lock);
        ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(5), [&] { return slowWaiting; }));
    }
    EXPECT_EQ("fast", Ask(path, "fast"));
    {
        std::lock_guard guard(lock);
        EXPECT_TRUE(fastWhileSlowWaits);
        released = true;
    }
    changed.notify_all();
    slow.join();
    EXPECT_EQ("slow", slowReply);
}
