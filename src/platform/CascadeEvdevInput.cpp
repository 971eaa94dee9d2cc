#include "platform/CascadeEvdevInput.h"

#ifdef QUENDREL_HAVE_EVDEV
#include <libevdev/libevdev.h>
#endif

#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kMaxUnmappedNames = 64;
constexpr std::size_t kReadRecords = 64;

bool IsEventDeviceName(const char* name) { return std::strncmp(name, "event", 5) == 0; }

#ifdef QUENDREL_HAVE_EVDEV
struct EvdevFree {
    void operator()(libevdev* device) const { libevdev_free(device); }
};
using EvdevPtr = std::unique_ptr<libevdev, EvdevFree>;

// Whether the device behind `fd` has any remote button; its name in `name`.
bool HasRemoteButtons(int fd, std::string& name) {
    libevdev* raw = nullptr;
    if (libevdev_new_from_fd(fd, &raw) < 0) return false;  // no input device (a FIFO, a file)
    EvdevPtr device(raw);
    const char* deviceName = libevdev_get_name(device.get());
    name = deviceName ? deviceName : "";
    for (unsigned code = KEY_OK; code <= KEY_MAX; ++code)
        if (CascadeEvdevInput::IsRemoteButton(code) && libevdev_has_event_code(device.get(), EV_KEY, code))
            return true;
    return false;
}
#endif

}  // namespace

bool CascadeEvdevInput::IsBuiltIn() {
#ifdef QUENDREL_HAVE_EVDEV
    return true;
#else
    return false;
#endif
}

std::string CascadeEvdevInput::KeyName(unsigned code) {
#ifdef QUENDREL_HAVE_EVDEV
    const char* name = libevdev_event_code_get_name(EV_KEY, code);
    return name ? name : "";
#else
    (void)code;
    return {};
#endif
}

bool CascadeEvdevInput::IsRemoteButton(unsigned code) { return code >= KEY_OK && code < BTN_TRIGGER_HAPPY; }

CascadeEvdevInput::CascadeEvdevInput(const CascadeKeyMap& keyMap, KeyHandler handler)
    : m_keyMap(keyMap), m_handler(std::move(handler)) {}

CascadeEvdevInput::~CascadeEvdevInput() { Stop(); }

void CascadeEvdevInput::AddSource(CascadeFileDescriptor fd, std::string name) {
    if (m_thread.joinable() || !fd.IsValid()) return;
    m_sources.push_back({std::move(fd), std::move(name), {}, {}});
}

bool CascadeEvdevInput::Start(const std::string& directory) {
    if (!IsBuiltIn()) {
        std::fprintf(stderr, "evdev: built without libevdev; remote buttons of kernel devices are not read\n");
        return false;
    }
    if (m_thread.joinable()) return true;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "evdev: cannot make a pipe (%s)\n", std::strerror(errno));
        return false;
    }
    m_wakeRead.Reset(fds[0]);
    m_wakeWrite.Reset(fds[1]);
    m_directory = directory;
    m_stopping = false;
    m_thread = std::thread([this] {
        pthread_setname_np(pthread_self(), "evdev");
        Run();
    });
    return true;
}

void CascadeEvdevInput::Stop() {
    if (!m_thread.joinable()) return;
    m_stopping = true;
    const char byte = 0;
    (void)!::write(m_wakeWrite.Get(), &byte, 1);
    m_thread.join();
}

void CascadeEvdevInput::Run() {
    ScanDirectory();
    std::vector<pollfd> fds;
    while (!m_stopping) {
        fds.assign({{m_wakeRead.Get(), POLLIN, 0}, {m_watch.Get(), POLLIN, 0}});
        for (const Source& source : m_sources) fds.push_back({source.fd.Get(), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "evdev: poll failed (%s); remote buttons are no longer read\n", std::strerror(errno));
            return;
        }
        if (fds[0].revents) return;
        // Sources first: a directory change may add sources, and the
        // descriptors polled are those of m_sources as it was.
        std::vector<std::size_t> ended;
        for (std::size_t i = 0; i < m_sources.size(); ++i)
            if (fds[i + 2].revents && !ReadSource(m_sources[i])) ended.push_back(i);
        for (auto it = ended.rbegin(); it != ended.rend(); ++it) {
            const Source& source = m_sources[*it];
            if (!source.path.empty()) std::fprintf(stderr, "evdev: %s went away\n", source.name.c_str());
            m_sources.erase(m_sources.begin() + std::ptrdiff_t(*it));
        }
        if (fds[1].revents) HandleDirectoryChanges();
    }
}

void CascadeEvdevInput::ScanDirectory() {
    m_watch.Reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (m_watch.IsValid() && ::inotify_add_watch(m_watch.Get(), m_directory.c_str(), IN_CREATE | IN_ATTRIB) < 0)
        m_watch.Reset();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(m_directory.c_str()), ::closedir);
    if (!dir) {
        std::fprintf(stderr, "evdev: cannot read %s (%s); remote buttons of kernel devices are not read\n",
                     m_directory.c_str(), std::strerror(errno));
        return;
    }
    int refused = 0;
    std::size_t before = m_sources.size();
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!IsEventDeviceName(entry->d_name)) continue;
        if (!OpenDevice(m_directory + "/" + entry->d_name) && (errno == EACCES || errno == EPERM)) ++refused;
    }
    if (refused > 0)
        std::fprintf(stderr,
                     "evdev: no permission to read %d input device(s) in %s (members of the input group may); "
                     "their remote buttons are not read\n",
                     refused, m_directory.c_str());
    else if (m_sources.size() == before)
        std::fprintf(stderr, "evdev: no input device in %s has remote buttons yet\n", m_directory.c_str());
}

bool CascadeEvdevInput::OpenDevice(const std::string& path) {
    if (std::any_of(m_sources.begin(), m_sources.end(), [&](const Source& s) { return s.path == path; })) return true;
    CascadeFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid()) return false;
#ifdef QUENDREL_HAVE_EVDEV
    std::string name;
    if (!HasRemoteButtons(fd.Get(), name)) return true;
    std::fprintf(stderr, "evdev: reading remote buttons from \"%s\" (%s)\n", name.c_str(), path.c_str());
    m_sources.push_back({std::move(fd), name.empty() ? path : "\"" + name + "\"", path, {}});
#endif
    return true;
}

// A device node appears (IN_CREATE) before its permissions are set
// (IN_ATTRIB), so both are tried; one that cannot be opened yet is tried
// again at its next change.
void CascadeEvdevInput::HandleDirectoryChanges() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_watch.Get(), buffer, sizeof buffer);
        if (n <= 0) return;
        for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            if (event->len > 0 && IsEventDeviceName(event->name)) (void)OpenDevice(m_directory + "/" + event->name);
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

bool CascadeEvdevInput::ReadSource(Source& source) {
    char buffer[kReadRecords * sizeof(input_event)];
    const ssize_t n = ::read(source.fd.Get(), buffer, sizeof buffer);
    if (n < 0) return errno == EINTR || errno == EAGAIN;  // ENODEV: unplugged
    if (n == 0) return false;
    source.pending.append(buffer, std::size_t(n));
    std::size_t used = 0;
    for (; used + sizeof(input_event) <= source.pending.size(); used += sizeof(input_event)) {
        input_event event;
        std::memcpy(&event, source.pending.data() + used, sizeof event);
        if (event.type == EV_KEY) HandleKey(event.code, event.value);
    }
    source.pending.erase(0, used);
    return true;
}

// Values: 1 pressed, 2 repeated while held, 0 released.
void CascadeEvdevInput::HandleKey(unsigned code, int value) {
    if (value == 0 || !IsRemoteButton(code)) return;
    const std::string name = KeyName(code);
    if (name.empty()) return;
    const std::optional<unsigned long> key = m_keyMap.Lookup(name);
    if (!key) {
        if (m_unmapped.size() < kMaxUnmappedNames && m_unmapped.insert(name).second)
            std::fprintf(stderr, "evdev: button %s is not in the key map\n", name.c_str());
        return;
    }
    if (value != 1 && !CascadeKeyMap::Repeats(*key)) return;
    m_handler(*key);
}
