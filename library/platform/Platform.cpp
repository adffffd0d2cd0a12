#include "platform/Platform.h"

#include "platform/NativePlatform.h"

namespace Quilna {

namespace {
// The backend every caller reaches; tests install a fake in its place.
std::atomic<Platform*> installedBackend{nullptr};

Platform& nativeBackend() {
    static NativePlatform native;
    return native;
}
}  // namespace

Platform& platform() {
    Platform* backend = installedBackend.load(std::memory_order_acquire);
    return backend ? *backend : nativeBackend();
}

bool Platform::visitDirectory(const std::string& directory, const std::string& pattern,
                              const std::function<bool(const DirEntry&)>& visit) {
    std::vector<DirEntry> entries;
    const bool complete = listDirectory(directory, pattern, entries);
    for (const DirEntry& entry : entries)
        if (!visit(entry)) break;
    return complete;
}

void installPlatform(Platform* backend) { installedBackend.store(backend, std::memory_order_release); }

}  // namespace Quilna
