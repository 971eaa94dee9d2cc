#include "platform/CascadeClientSocket.h"

#include <gtest/gtest.h>

#include "support/LocalHttpServer.h"

namespace {

// A Shutdown that comes while no link is open (a Disconnect during the
// reconnect wait) holds until Close: the next Open must not connect.
TEST(CascadeClientSocket, APendingShutdownRefusesOpenUntilClose) {
    LocalHttpServer listener;
    ASSERT_TRUE(listener.Start());
    CascadeClientSocket socket;
    socket.Shutdown();
    EXPECT_FALSE(socket.Open(CascadeClientSocket::kTypeStream, "127.0.0.1", listener.Port(), 5000));
    EXPECT_FALSE(socket.IsOpen());
    socket.Close();
    EXPECT_TRUE(socket.Open(CascadeClientSocket::kTypeStream, "127.0.0.1", listener.Port(), 5000));
}

}  // namespace
