#include "platform/posix/MountTable.h"

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

namespace Quilna {

namespace {

std::string_view withoutFinalSlash(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

bool lies(const std::string& path, const std::string& below) {
    if (below == "/") return true;
    return path.size() > below.size() && path.compare(0, below.size(), below) == 0 && path[below.size()] == '/';
}

// A device number that no unsigned holds makes a line we cannot use, not an exception.
bool deviceNumber(std::string_view text, unsigned& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// One mountinfo line: id parent major:minor root mountpoint options [optional...] - type source superoptions
bool parseLine(const std::string& line, Mount& out) {
    std::istringstream fields(line);
    std::string id, parent, device, root, mountPoint, options, field;
    if (!(fields >> id >> parent >> device >> root >> mountPoint >> options)) return false;
    while (fields >> field && field != "-") {
    }
    if (field != "-") return false;
    std::string type, source;
    if (!(fields >> type)) return false;
    fields >> source;
    const size_t colon = device.find(':');
    if (colon == std::string::npos) return false;
    if (!deviceNumber(std::string_view(device).substr(0, colon), out.major) ||
        !deviceNumber(std::string_view(device).substr(colon + 1), out.minor))
        return false;
    out.id = id;
    out.parent = parent;
    out.root = MountTable::unescape(root);
    out.mountPoint = withoutFinalSlash(MountTable::unescape(mountPoint));
    out.fileSystem = type;
    out.source = MountTable::unescape(source);
    return true;
}

}  // namespace

bool MountTable::isPseudoFileSystem(const std::string& type) {
    static const std::set<std::string> pseudo = {
        "proc", "sysfs",  "devtmpfs", "devpts",  "securityfs", "debugfs",     "tracefs", "mqueue",   "hugetlbfs",
        "bpf",  "pstore", "configfs", "fusectl", "autofs",     "binfmt_misc", "nsfs",    "efivarfs", "rpc_pipefs"};
    return pseudo.count(type) > 0 || type.rfind("cgroup", 0) == 0;
}

std::string MountTable::unescape(const std::string& field) {
    std::string text;
    text.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        const bool octal = field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
                           field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7';
        if (octal) {
            text.push_back(
                static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            text.push_back(field[i]);
        }
    }
    return text;
}

bool MountTable::load() {
    std::ifstream file("/proc/self/mountinfo");
    if (!file) return false;
    std::ostringstream text;
    text << file.rdbuf();
    parse(text.str());
    return true;
}

void MountTable::parse(const std::string& text) {
    mounts_.clear();
    mountPoints_.clear();
    std::istringstream lines(text);
    std::string line;
    Mount mount;
    while (std::getline(lines, line))
        if (parseLine(line, mount)) mounts_.push_back(mount);
    std::erase_if(mounts_, [this](const Mount& each) { return isSelfBind(each); });
    for (const Mount& each : mounts_) mountPoints_.insert(each.mountPoint);
    loaded_ = true;
}

bool MountTable::isSelfBind(const Mount& mount) const {
    for (const Mount& parent : mounts_) {
        if (parent.id != mount.parent || &parent == &mount) continue;
        if (parent.major != mount.major || parent.minor != mount.minor || parent.fileSystem != mount.fileSystem ||
            (mount.mountPoint != parent.mountPoint && !lies(mount.mountPoint, parent.mountPoint)))
            return false;
        // The part of the file system the parent shows at the mount point.
        const std::string below = mount.mountPoint.substr(parent.mountPoint == "/" ? 0 : parent.mountPoint.size());
        std::string shown = parent.root == "/" ? below : parent.root + below;
        if (shown.empty()) shown = "/";
        return shown == mount.root;
    }
    return false;
}

std::vector<const Mount*> MountTable::drives() const {
    std::vector<std::string> pseudoPoints;
    for (const Mount& mount : mounts_)
        if (isPseudoFileSystem(mount.fileSystem)) pseudoPoints.push_back(mount.mountPoint);

    std::vector<const Mount*> result;
    std::set<std::pair<std::pair<unsigned, unsigned>, std::string>> seen;
    for (const Mount& mount : mounts_) {
        // A later mount on the same point hides this one.
        if (find(mount.mountPoint) != &mount) continue;
        if (isPseudoFileSystem(mount.fileSystem)) continue;
        bool belowPseudo = false;
        for (const std::string& point : pseudoPoints) belowPseudo = belowPseudo || lies(mount.mountPoint, point);
        if (belowPseudo) continue;
        if (!seen.insert({{mount.major, mount.minor}, mount.root}).second) continue;
        result.push_back(&mount);
    }
    return result;
}

const Mount* MountTable::find(const std::string& directory) const {
    const std::string_view wanted = withoutFinalSlash(directory);
    if (!mountPoints_.contains(wanted)) return nullptr;
    for (auto mount = mounts_.rbegin(); mount != mounts_.rend(); ++mount)
        if (mount->mountPoint == wanted) return &*mount;
    return nullptr;
}

bool MountTable::isMountPoint(const std::string& directory) const {
    return mountPoints_.contains(withoutFinalSlash(directory));
}

}  // namespace Quilna
