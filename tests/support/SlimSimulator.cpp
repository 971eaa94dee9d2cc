#include "support/SlimSimulator.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace {

constexpr unsigned long kWaitMs = 10000;

std::string SourceDir() {
    // ctest does not always pass the environment: the build knows the root.
    const char* dir = std::getenv("QUENDREL_SOURCE_DIR");
    return dir ? dir : QUENDREL_SOURCE_ROOT;
}

// Every string value of `key` in a JSON text, in order. The values are CLI
// text the server escapes, so ASCII: only \" and \\ need undoing.
std::vector<std::string> JsonStrings(const std::string& json, const std::string& key) {
    std::vector<std::string> values;
    const std::string marker = "\"" + key + "\": \"";
    for (std::size_t at = json.find(marker), i; at != std::string::npos; at = json.find(marker, i)) {
        values.emplace_back();
        for (i = at + marker.size(); i < json.size() && json[i] != '"'; ++i) {
            if (json[i] == '\\' && i + 1 < json.size()) ++i;
            values.back() += json[i];
        }
    }
    return values;
}

}  // namespace

std::string SlimSimulator::Library() {
    const char* build = std::getenv("QUENDREL_BUILD_DIR");
    const std::string dir = std::string(build ? build : "/tmp") + "/sim-library";
    const int lock = ::open((dir + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    if (lock < 0) return "";
    ::flock(lock, LOCK_EX);
    const std::string make = "python3 '" + SourceDir() + "/tools/slimserver-sim/make-library' '" + dir + "' >/dev/null";
    const bool ready = std::filesystem::exists(dir + "/manifest.json") || std::system(make.c_str()) == 0;
    ::flock(lock, LOCK_UN);
    ::close(lock);
    return ready ? dir : "";
}

SlimSimulator::~SlimSimulator() {
    Stop();
}

bool SlimSimulator::Start(const Ports& ports, const std::vector<std::string>& extra) {
    const std::string library = Library();
    if (library.empty()) return false;
    m_dir.emplace("slimsim");
    const std::string ready = m_dir->File("ready");
    std::vector<std::string> args = {"python3",      SourceDir() + "/tools/slimserver-sim/slimserver-sim",
                                     "--library",    library,
                                     "--bind",       "127.0.0.1",
                                     "--ready-file", ready};
    for (const auto& [name, port] : {std::pair("proto", ports.proto), std::pair("cli", ports.cli),
                                     std::pair("web", ports.web), std::pair("control", ports.control)})
        args.insert(args.end(), {std::string("--") + name + "-port", std::to_string(port)});
    args.insert(args.end(), extra.begin(), extra.end());
    m_pid = ::fork();
    if (m_pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int log = ::open(m_dir->File("stderr.log").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ::dup2(log, 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return m_pid > 0 && ReadReadyFile(ready);
}

bool SlimSimulator::ReadReadyFile(const std::string& path) {
    for (int i = 0; i < 1500; ++i) {
        std::ifstream file(path);
        std::map<std::string, unsigned short> ports;
        for (std::string line; std::getline(file, line);)
            if (const std::size_t eq = line.find('='); eq != std::string::npos)
                ports[line.substr(0, eq)] = static_cast<unsigned short>(std::atoi(line.c_str() + eq + 1));
        if (ports.count("proto") + ports.count("cli") + ports.count("web") + ports.count("control") == 4) {
            m_ports = {ports["proto"], ports["cli"], ports["web"], ports["control"]};
            return true;
        }
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void SlimSimulator::Stop() {
    m_control.Close();
    m_player.Close();
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    m_dir.reset();
}

std::string SlimSimulator::Control(const std::string& line) {
    const std::string request = line + "\n";
    if ((!m_control.IsOpen() &&
         !m_control.Open(CascadeClientSocket::kTypeStream, "127.0.0.1", m_ports.control, kWaitMs)) ||
        m_control.Send(request.data(), request.size(), kWaitMs) < 0)
        return "";
    // One reply line per request: nothing follows its newline.
    std::string reply;
    char buffer[4096];
    for (long n; !reply.ends_with('\n') && (n = m_control.Receive(buffer, sizeof buffer, kWaitMs)) > 0;)
        reply.append(buffer, std::size_t(n));
    return reply.substr(0, reply.find('\n'));
}

std::vector<std::string> SlimSimulator::CliLines() {
    return JsonStrings(Control("cli-lines"), "line");
}

bool SlimSimulator::WaitForCliLine(const std::string& line, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        for (const std::string& seen : CliLines())
            if (seen == line) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string SlimSimulator::Cli(const std::string& line) {
    const std::vector<std::string> replies = JsonStrings(Control("cli " + line), "reply");
    return replies.empty() ? std::string() : replies[0];
}

bool SlimSimulator::ConnectPlayer(const std::string& mac) {
    if (!m_player.Open(CascadeClientSocket::kTypeStream, "127.0.0.1", m_ports.proto, kWaitMs)) return false;
    std::string helo = {'H', 'E', 'L', 'O', 0, 0, 0, 18, 3, 1};
    unsigned value[6];
    if (std::sscanf(mac.c_str(), "%x:%x:%x:%x:%x:%x", &value[0], &value[1], &value[2], &value[3], &value[4],
                    &value[5]) != 6)
        return false;
    for (unsigned byte : value) helo += char(byte);
    helo.append(10, '\0');
    if (m_player.Send(helo.data(), helo.size(), kWaitMs) < 0) return false;
    // The server knows the player once it answers in the CLI.
    for (int i = 0; i < 250; ++i) {
        const std::string reply = Cli("player count ?");
        if (reply != "player count 0" && !reply.empty()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}
