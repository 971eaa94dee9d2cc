#include "app/AppPaths.h"

#include "app/base/AppSettings.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

namespace {

constexpr const char* kFavorites = "Favorites.xml";

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// An XDG base directory: the variable when it holds an absolute path
// (relative ones are ignored, as the base directory rules say), else the
// fallback under the home directory.
std::string XdgDir(const std::string& variable, const std::string& home, const char* fallback) {
    if (!variable.empty() && variable.front() == '/') return variable;
    return home + "/" + fallback;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// mkdir -p with mode 0700 for what it makes.
bool MakeDirectories(const std::string& path, std::string& error) {
    std::string partial;
    std::size_t from = 0;
    while (from <= path.size()) {
        const std::size_t slash = path.find('/', from);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        partial = path.substr(0, end);
        from = end + 1;
        if (partial.empty() || IsDirectory(partial)) continue;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            error = partial + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

// rename(2), or a copy and a removal when the two lie on different file
// systems. The target is written whole before the old file goes.
bool MoveFile(const std::string& from, const std::string& to, std::string& error) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EXDEV) {
        error = std::strerror(errno);
        return false;
    }
    const std::string partial = to + ".moving";
    {
        std::ifstream in(from, std::ios::binary);
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
        out.flush();
        if (!in || !out) {
            ::unlink(partial.c_str());
            error = "copy failed";
            return false;
        }
    }
    if (::rename(partial.c_str(), to.c_str()) != 0) {
        error = std::strerror(errno);
        ::unlink(partial.c_str());
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

}  // namespace

AppPaths::Inputs AppPaths::Inputs::FromProcess(const char* argv0) {
    Inputs in;
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer)) in.workingDir = buffer;
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0) {
        in.programPath.assign(buffer, std::size_t(n));
    } else if (argv0 && std::strchr(argv0, '/')) {
        if (char* real = ::realpath(argv0, nullptr)) {
            in.programPath = real;
            std::free(real);
        }
    }
    in.home = Env("HOME");
    if (in.home.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) in.home = pw->pw_dir;
    }
    in.xdgDataHome = Env("XDG_DATA_HOME");
    in.xdgStateHome = Env("XDG_STATE_HOME");
    in.xdgConfigHome = Env("XDG_CONFIG_HOME");
    return in;
}

AppPaths AppPaths::Resolve(const Inputs& in) {
    AppPaths paths = ResolveDirectories(in);
    paths.keyMapFiles = {paths.appPath + "keymap.conf", XdgDir(in.xdgConfigHome, in.home, ".config") + "/quendrel/keymap.conf"};
    return paths;
}

AppPaths AppPaths::ResolveDirectories(const Inputs& in) {
    AppPaths paths;
    const std::string programDir = in.programPath.empty() ? std::string() : DirectoryOf(in.programPath);
    const std::string shared = programDir.empty() ? std::string() : DirectoryOf(programDir) + "/share/quendrel";
    if (!shared.empty() && IsDirectory(shared + "/images")) {
        paths.installed = true;
        paths.appPath = WithSlash(shared);
        paths.dataPath = WithSlash(XdgDir(in.xdgDataHome, in.home, ".local/share") + "/quendrel");
        paths.logFile = XdgDir(in.xdgStateHome, in.home, ".local/state") + "/quendrel/debug.txt";
        // Started from a directory an earlier Quendrel ran in: its Favorites come along.
        const std::string cwd = WithSlash(in.workingDir);
        if (!in.workingDir.empty() && cwd != paths.appPath && cwd != paths.dataPath && IsDirectory(cwd + "images") &&
            IsFile(cwd + kFavorites))
            paths.oldAppPath = cwd;
        return paths;
    }
    // Not installed: the working directory is the application directory
    // (scripts/run starts the program in build/app); a build tree's program
    // started from elsewhere finds build/app beside itself.
    std::string dir = in.workingDir;
    if (!IsDirectory(WithSlash(dir) + "images") && !programDir.empty() && IsDirectory(programDir + "/app/images"))
        dir = programDir + "/app";
    else if (dir.empty() || dir == "/")
        dir = programDir.empty() ? "." : programDir;
    paths.appPath = WithSlash(dir);
    paths.dataPath = paths.appPath;
    paths.logFile = paths.appPath + "debug.txt";
    return paths;
}

std::vector<std::string> AppPaths::Prepare() const {
    std::vector<std::string> lines;
    if (!installed) return lines;
    for (const std::string& dir : {dataPath, DirectoryOf(logFile)}) {
        std::string error;
        if (!MakeDirectories(dir, error)) lines.push_back("app: cannot make the directory " + error + "\n");
    }
    if (oldAppPath.empty()) return lines;
    const std::string from = oldAppPath + kFavorites;
    const std::string to = dataPath + kFavorites;
    if (IsFile(to)) {
        lines.push_back("app: " + from + " left where it is: " + to + " exists\n");
        return lines;
    }
    std::string error;
    if (MoveFile(from, to, error))
        lines.push_back("app: moved the Favorites from " + from + " to " + to + "\n");
    else
        lines.push_back("app: cannot move " + from + " to " + to + " (" + error + ")\n");
    return lines;
}

void AppPaths::ApplyToSettings() const {
    g_appPath = CascadeString(appPath);
    g_dataPath = CascadeString(dataPath);
    g_logFile = CascadeString(logFile);
}
