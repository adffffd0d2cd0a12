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

void installPlatform(Platform* backend) { installedBackend.store(backend, std::memory_order_release); }

}  // namespace Quilna
