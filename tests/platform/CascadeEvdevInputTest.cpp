#include "platform/CascadeEvdevInput.h"
#include "platform/CascadeKeys.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/input.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/KeyLog.h"
#include "support/ScopedTempDir.h"

namespace {

using namespace CascadeKeys;

std::string Records(std::initializer_list<std::tuple<unsigned, unsigned, int>> events) {
    std::string bytes;
    for (const auto& [type, code, value] : events) {
        input_event event{};
        event.type = static_cast<decltype(event.type)>(type);
        event.code = static_cast<decltype(event.code)>(code);
        event.value = value;
        bytes.append(reinterpret_cast<const char*>(&event), sizeof event);
    }
    return bytes;
}

// Records as a device delivers them, through a pipe; the key map as the
// user's copy leaves it. Keys a keyboard has are SDL's and passed over here.
TEST(CascadeEvdevInput, RemoteButtonsArriveThroughTheKeyMapAndOnlyArrowsAndVolumeRepeat) {
    if (!CascadeEvdevInput::IsBuiltIn()) GTEST_SKIP() << "built without libevdev";
    CascadeKeyMap map;
    std::vector<std::string> problems;
    map.Read("KEY_RED = Up\nKEY_GREEN = Volume Down\n", "user", problems);
    ASSERT_TRUE(problems.empty());
    ScopedTempDir dir;
    ASSERT_TRUE(dir.WriteFile("event0", "no input device"));  // passed over
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    CascadeFileDescriptor writer(fds[1]);
    KeyLog log;
    CascadeEvdevInput input(map, [&](unsigned long key) { log.Add(key); });
    input.AddSource(CascadeFileDescriptor(fds[0]), "test remote");
    ASSERT_TRUE(input.Start(dir.Path()));

    const std::string stream = Records({
        {EV_KEY, KEY_OK, 1},  // Select
        {EV_SYN, SYN_REPORT, 0},
        {EV_KEY, KEY_OK, 2},        // held Select: once only
        {EV_KEY, KEY_OK, 0},        // released
        {EV_KEY, KEY_ENTER, 1},     // SDL's
        {EV_KEY, KEY_VOLUMEUP, 1},  // SDL's
        {EV_MSC, MSC_SCAN, 0x800f},
        {EV_KEY, KEY_RED, 1},  // Up, and its repeats
        {EV_KEY, KEY_RED, 2},
        {EV_KEY, KEY_RED, 2},
        {EV_KEY, KEY_GREEN, 1},  // Volume Down, and its repeat
        {EV_KEY, KEY_GREEN, 2},
        {EV_KEY, BTN_TRIGGER_HAPPY1, 1},  // a joystick's
        {EV_KEY, KEY_TITLE, 1},           // not in the map
        {EV_KEY, KEY_CHANNELUP, 1},       // Zoom In
        {EV_KEY, KEY_INFO, 1},            // Options
    });
    // In pieces that cut records, as reads may.
    for (std::size_t at = 0, piece = 7; at < stream.size(); at += piece, piece += 13)
        ASSERT_GT(::write(writer.Get(), stream.data() + at, std::min(piece, stream.size() - at)), 0);
    EXPECT_EQ(log.WaitFor(8),
              (std::vector<unsigned long>{kSelect, kUp, kUp, kUp, kVolumeDown, kVolumeDown, kZoomIn, kOptions}));
    input.Stop();  // returns while the source is still open
    input.Stop();  // idempotent
}

}  // namespace
