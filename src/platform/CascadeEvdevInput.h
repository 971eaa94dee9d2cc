#pragma once

#include "platform/CascadeFileDescriptor.h"
#include "platform/CascadeKeyMap.h"

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

// Remote-control buttons that the kernel reads itself (IR receivers, HDMI-CEC
// adapters, USB and Bluetooth remotes) and that no keyboard has: OK, Info,
// Channel Up, the colour keys. SDL reports the keys a keyboard has; the
// "evdev" thread reads the others from the input devices that have such
// buttons, names them as the kernel does ("KEY_OK", the names LIRC uses too)
// and turns them into application keys with the key map. Repeats of a held
// button are passed on only for keys that repeat (CascadeKeyMap::Repeats).
// Devices that appear later (a receiver plugged in) are found as they come;
// devices it may not read (no permission) are counted in one log line at
// start. Built without libevdev, Start says so and does nothing.
//
// AddSource, Start and Stop on the owner's thread; the key map must outlive
// this object and not change while it runs.
class CascadeEvdevInput {
public:
    // Called on the "evdev" thread.
    using KeyHandler = std::function<void(unsigned long key)>;

    // True when built with libevdev.
    static bool IsBuiltIn();
    // The kernel's name of key code `code` ("KEY_OK"); "" for codes without
    // one or when built without libevdev.
    static std::string KeyName(unsigned code);
    // Whether this reader passes on key code `code`: the remote buttons from
    // KEY_OK up to the joystick buttons. SDL reports the keys below them.
    static bool IsRemoteButton(unsigned code);

    CascadeEvdevInput(const CascadeKeyMap& keyMap, KeyHandler handler);
    CascadeEvdevInput(const CascadeEvdevInput&) = delete;
    CascadeEvdevInput& operator=(const CascadeEvdevInput&) = delete;
    ~CascadeEvdevInput();

    // Before Start: reads `fd` (records of the kernel's struct input_event,
    // as a device, a pipe or a file delivers them) besides the devices.
    void AddSource(CascadeFileDescriptor fd, std::string name);
    // Reads the event devices of `directory` ("event*") that have remote
    // buttons, and those that appear there later. False when built without
    // libevdev or the thread cannot start.
    [[nodiscard]] bool Start(const std::string& directory);
    // Joins the thread. Idempotent.
    void Stop();

private:
    struct Source {
        CascadeFileDescriptor fd;
        std::string name;
        std::string path;     // "" for sources added by AddSource
        std::string pending;  // the start of a record cut by the read
    };

    void Run();
    void ScanDirectory();
    // Opens `path` when it is a device with remote buttons; false (errno
    // set) when it cannot be opened.
    bool OpenDevice(const std::string& path);
    void HandleDirectoryChanges();
    // Reads what is there; false once the source has ended.
    bool ReadSource(Source& source);
    void HandleKey(unsigned code, int value);

    const CascadeKeyMap& m_keyMap;
    KeyHandler m_handler;
    std::string m_directory;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    CascadeFileDescriptor m_wakeRead;  // Stop writes a byte to m_wakeWrite
    CascadeFileDescriptor m_wakeWrite;
    // The owner's before Start, the "evdev" thread's after it.
    std::vector<Source> m_sources;
    CascadeFileDescriptor m_watch;     // inotify on the directory
    std::set<std::string> m_unmapped;  // buttons already reported as unmapped
};
