#include "player/EUtilsNetwork.h"

#include "platform/CascadeFileDescriptor.h"

#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace {


constexpr std::size_t kInterfaceListBytes = 1024;
constexpr std::size_t kMacBytes = 6;

// True and the address copied out when `name` is a non-loopback interface
// with a hardware address.
bool ReadHardwareAddress(int fd, const char* name, unsigned char* address) {
    ifreq request{};
    std::strncpy(request.ifr_name, name, IFNAMSIZ - 1);
    if (ioctl(fd, SIOCGIFFLAGS, &request) != 0) return false;
    if (request.ifr_flags & IFF_LOOPBACK) return false;
    if (ioctl(fd, SIOCGIFHWADDR, &request) != 0) return false;
    std::memcpy(address, request.ifr_hwaddr.sa_data, kMacBytes);
    return true;
}

}  // namespace

namespace EUtils {

bool GetMACAddress(unsigned char* address) {
    if (!address) return false;
    CascadeFileDescriptor fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) return false;

    std::array<ifreq, kInterfaceListBytes / sizeof(ifreq)> records{};
    ifconf list{};
    list.ifc_len = int(sizeof records);
    list.ifc_req = records.data();
    if (ioctl(fd.Get(), SIOCGIFCONF, &list) != 0) return false;

    const std::size_t count = std::size_t(list.ifc_len) / sizeof(ifreq);
    for (std::size_t i = 0; i < count && i < records.size(); ++i) {
        if (ReadHardwareAddress(fd.Get(), records[i].ifr_name, address)) return true;
    }
    return false;
}

}  // namespace EUtils
