// POSIX: a mailslot is a Unix datagram socket named after the mailslot in the runtime
// directory's "mailslot", one process receiving. That directory is the receiver's user's alone
// (mode 0700): only processes of that user, and root's, can reach the socket to send.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/MailslotEndpoint.h"
#include "platform/posix/Descriptor.h"
#include "platform/posix/PosixImpl.h"
#include "platform/posix/TrustedDirectory.h"

namespace Quilna {

namespace {

using posix::Descriptor;

// Generous buffers: the kernel caps them at its configured maximum. A datagram larger than
// the sender's buffer allows is refused whole (EMSGSIZE), never cut.
constexpr int kSocketBufferBytes = 4 * 1024 * 1024;
// A receiver that stops reading must not stall the logging program for long.
constexpr int kSendTimeoutMs = 250;

SystemError lastErrno() { return posix::lastSystemError(); }

// The socket path for a mailslot name in the mailslot directory (empty when it could not be
// had); false (with error) when it cannot be formed.
bool socketPath(const std::string& directory, const std::string& name, std::string& path, SystemError& error) {
    if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos) {
        error = posix::systemError(EINVAL);
        return false;
    }
    if (directory.empty()) {
        error = posix::systemError(errno ? errno : EACCES);
        return false;
    }
    std::string fileName = name;
    for (char& c : fileName)
        if (c == '/') c = '_';
    path = directory + "/" + fileName;
    if (path.size() >= sizeof(sockaddr_un{}.sun_path)) {
        error = posix::systemError(ENAMETOOLONG);
        return false;
    }
    return true;
}

sockaddr_un socketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    return address;
}

bool connectTo(int fd, const std::string& path) {
    sockaddr_un address = socketAddress(path);
    return ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

int newSocket() { return ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0); }

// Serialises receivers that start at the same moment, so that one of them cannot remove the
// socket another has just bound while it replaces a stale one.
class CreationLock {
public:
    explicit CreationLock(const std::string& socketPath)
        : fd_(posix::TrustedDirectory::openRegularForWriting(AT_FDCWD, socketPath + ".lock", O_RDWR | O_CREAT, 0600)) {
        if (fd_.get() >= 0) {
            while (::flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~CreationLock() {
        if (fd_.get() >= 0) ::flock(fd_.get(), LOCK_UN);
    }

private:
    Descriptor fd_;
};

// Makes room for a new receiver at path: nothing there, or a socket nobody receives on.
// A live receiver is never replaced, nor a file that is not a socket.
bool clearStaleSocket(const std::string& path, SystemError& error) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        if (errno == ENOENT) return true;
        error = lastErrno();
        return false;
    }
    if (!S_ISSOCK(status.st_mode)) {
        error = posix::systemError(EEXIST);
        return false;
    }
    Descriptor probe(newSocket());
    if (probe.get() < 0) {
        error = lastErrno();
        return false;
    }
    if (connectTo(probe.get(), path)) {
        error = posix::systemError(EADDRINUSE);
        return false;
    }
    if (errno != ECONNREFUSED && errno != ENOENT) {
        error = lastErrno();
        return false;
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        error = lastErrno();
        return false;
    }
    return true;
}

void setBuffer(int fd, int option) {
    int bytes = kSocketBufferBytes;
    ::setsockopt(fd, SOL_SOCKET, option, &bytes, sizeof bytes);
}

class SocketEndpoint : public MailslotEndpoint {
public:
    // A sender, or a receiver that removes its socket file when it ends.
    SocketEndpoint(int fd, std::string boundPath, dev_t device, ino_t inode)
        : fd_(fd), boundPath_(std::move(boundPath)), device_(device), inode_(inode) {}

    ~SocketEndpoint() override {
        fd_.reset();
        if (boundPath_.empty()) return;
        // Only our own socket: another receiver may have replaced it in the meantime.
        struct stat status {};
        if (::lstat(boundPath_.c_str(), &status) == 0 && status.st_dev == device_ && status.st_ino == inode_)
            ::unlink(boundPath_.c_str());
    }

    // A receiver that had no room for a whole send timeout is not waited for again until it
    // takes a message: a stalled collector must not cost the sender that time per message.
    bool write(const std::string& bytes, SystemError& error) override {
        const int flags = MSG_NOSIGNAL | (receiverStalled_ ? MSG_DONTWAIT : 0);
        while (true) {
            if (::send(fd_.get(), bytes.data(), bytes.size(), flags) >= 0) {
                receiverStalled_ = false;
                return true;
            }
            if (errno == EINTR) continue;
            receiverStalled_ = errno == EAGAIN || errno == EWOULDBLOCK;
            error = lastErrno();
            return false;
        }
    }

    bool usableAfterFailure() const override { return receiverStalled_; }
    bool tellsSenders() const override { return true; }
    MailslotSender lastSender() const override { return sender_; }

    bool nextMessageSize(bool& waiting, uint32_t& size, SystemError& error) override {
        char probe;
        while (true) {
            ssize_t length = ::recv(fd_.get(), &probe, 1, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
            if (length >= 0) {
                waiting = true;
                size = static_cast<uint32_t>(length);
                return true;
            }
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                waiting = false;
                size = 0;
                return true;
            }
            error = lastErrno();
            return false;
        }
    }

    bool read(uint32_t size, std::string& out, SystemError& error) override {
        out.resize(size);
        while (true) {
            // An empty buffer still takes a datagram off the queue; MSG_TRUNC tells its length.
            char scratch;
            iovec part{size ? out.data() : &scratch, size ? size : 1};
            // The kernel adds the sender's credentials to each datagram (SO_PASSCRED).
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
            msghdr message{};
            message.msg_iov = &part;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            ssize_t length = ::recvmsg(fd_.get(), &message, MSG_TRUNC | MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
            if (length >= 0) {
                sender_ = senderOf(message);
                if (static_cast<size_t>(length) > size) {
                    error = posix::systemError(EMSGSIZE);
                    out.clear();
                    return false;
                }
                out.resize(static_cast<size_t>(length));
                return true;
            }
            if (errno == EINTR) continue;
            error = lastErrno();
            out.clear();
            return false;
        }
    }

private:
    static MailslotSender senderOf(msghdr& message) {
        for (cmsghdr* part = CMSG_FIRSTHDR(&message); part; part = CMSG_NXTHDR(&message, part)) {
            if (part->cmsg_level != SOL_SOCKET || part->cmsg_type != SCM_CREDENTIALS ||
                part->cmsg_len < CMSG_LEN(sizeof(ucred)))
                continue;
            ucred credentials{};
            std::memcpy(&credentials, CMSG_DATA(part), sizeof credentials);
            return MailslotSender{true, static_cast<uint32_t>(credentials.pid), static_cast<uint32_t>(credentials.uid)};
        }
        return MailslotSender{};
    }

    Descriptor fd_;
    std::string boundPath_;
    dev_t device_;
    ino_t inode_;
    bool receiverStalled_ = false;
    MailslotSender sender_;
};

}  // namespace

// A datagram socket has no largest message of its own: the receiver takes larger ones off unread.
std::unique_ptr<MailslotEndpoint> NativePlatform::createMailslot(const std::string& name, uint32_t,
                                                                 SystemError& error) {
    std::string path;
    errno = 0;
    if (!socketPath(impl_->runtimeDirectory(*this, "mailslot"), name, path, error)) return nullptr;
    CreationLock creation(path);
    if (!clearStaleSocket(path, error)) return nullptr;
    Descriptor fd(newSocket());
    if (fd.get() < 0) {
        error = lastErrno();
        return nullptr;
    }
    setBuffer(fd.get(), SO_RCVBUF);
    // Before any sender can reach it: each datagram then carries its sender's credentials.
    const int on = 1;
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) {
        error = lastErrno();
        return nullptr;
    }
    sockaddr_un address = socketAddress(path);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = lastErrno();
        return nullptr;
    }
    // The directory already keeps other users out; the socket does too, whatever the umask.
    struct stat status {};
    if (::chmod(path.c_str(), 0600) != 0 || ::lstat(path.c_str(), &status) != 0) {
        error = lastErrno();
        ::unlink(path.c_str());
        return nullptr;
    }
    return std::make_unique<SocketEndpoint>(fd.release(), path, status.st_dev, status.st_ino);
}

std::unique_ptr<MailslotEndpoint> NativePlatform::openMailslot(const std::string& name, bool wholeDomain,
                                                               SystemError& error) {
    if (wholeDomain) {
        // There is no domain-wide broadcast of mailslots here.
        error = posix::systemError(ENOTSUP);
        return nullptr;
    }
    std::string path;
    errno = 0;
    if (!socketPath(impl_->runtimeDirectory(*this, "mailslot"), name, path, error)) return nullptr;
    Descriptor fd(newSocket());
    if (fd.get() < 0) {
        error = lastErrno();
        return nullptr;
    }
    setBuffer(fd.get(), SO_SNDBUF);
    timeval timeout{0, kSendTimeoutMs * 1000};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (!connectTo(fd.get(), path)) {
        error = lastErrno();
        return nullptr;
    }
    return std::make_unique<SocketEndpoint>(fd.release(), std::string(), dev_t{}, ino_t{});
}

}  // namespace Quilna
