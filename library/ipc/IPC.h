#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace Quilna {

// Modes of a channel end.
namespace IPCMode {
constexpr int32_t Receiver = 0;
constexpr int32_t LocalSender = 1;   // to the receiver on this computer
constexpr int32_t DomainSender = 2;  // to the receivers of every computer of the domain
}  // namespace IPCMode

// A one-way message channel between processes.
class IPC {
public:
    explicit IPC(int32_t mode) : mode_(mode) {}
    virtual ~IPC() = default;

    // Sends one message; senders only. Throws IPCException.
    virtual bool send(const std::string& text) = 0;
    // Appends every waiting message; receivers only; never waits. Throws IPCException.
    virtual bool receive(std::vector<std::string>& messages) = 0;

    int32_t mode() const { return mode_; }

protected:
    int32_t mode_;
};

}  // namespace Quilna
