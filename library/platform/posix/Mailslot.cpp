// POSIX: a mailslot is a Unix datagram socket below $QUILNA_RUNTIME_DIR/mailslot.
#include "platform/MailslotEndpoint.h"
#include "platform/posix/PosixImpl.h"

namespace Quilna {

// Not yet implemented: filled in with the mailslot channel.
std::unique_ptr<MailslotEndpoint> NativePlatform::createMailslot(const std::string&, uint32_t& error) { error = 1; return nullptr; }
std::unique_ptr<MailslotEndpoint> NativePlatform::openMailslot(const std::string&, bool, uint32_t& error) { error = 1; return nullptr; }

}  // namespace Quilna
