#pragma once
// The owner of every security id of a volume: the owner SID of the descriptor the id names,
// as its bytes (what an account lookup takes) and as text ("S-1-5-21-..."). Few ids exist
// (one per distinct descriptor), and fewer owners: 8 bytes an id, each distinct owner's SID
// kept once.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace Quilna::Ntfs {

class SecurityOwners {
public:
    // The owner SID's bytes of an id, empty when the id is unknown.
    std::span<const uint8_t> ownerSid(uint32_t securityId) const;
    // The owner as "S-1-..." text, empty when the id is unknown.
    std::string ownerText(uint32_t securityId) const { return sidText(ownerSid(securityId)); }
    size_t ids() const { return ids_.size(); }
    size_t owners() const { return starts_.size(); }
    size_t bytesUsed() const;

    // A SID's usual text; empty for bytes that are not a SID.
    static std::string sidText(std::span<const uint8_t> sid);
    // The bytes of the SID that `bytes` begins with (8 bytes and 4 per sub-authority), empty when
    // it is not one.
    static std::span<const uint8_t> sidAt(std::span<const uint8_t> bytes);

    // Building: an id the volume lists more than once keeps its first owner.
    void add(uint32_t securityId, std::span<const uint8_t> sid);
    void finish();

private:
    struct Id {
        uint32_t securityId;
        uint32_t owner;  // index into starts_
    };
    std::vector<Id> ids_;
    std::vector<uint32_t> starts_;  // where each distinct owner's SID begins in sids_
    std::vector<uint8_t> sids_;
    std::map<std::string, uint32_t> building_;  // owners seen while building, emptied by finish
};

}  // namespace Quilna::Ntfs
