#pragma once
// The volume's security file: its $SII index (security id -> where the descriptor lies in the
// $SDS stream) and the self-relative descriptors there, read for their owner SIDs. Everything
// is hostile: an index node or descriptor that does not check out is skipped, the first reason
// kept, and the rest still read.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ntfs/RunReader.h"
#include "ntfs/SecurityOwners.h"

namespace Quilna::Ntfs {

class SecureReader {
public:
    // The index's further nodes and the descriptor stream, each through its runs.
    SecureReader(RunReader& indexBlocks, RunReader& descriptors) : blocks_(indexBlocks), descriptors_(descriptors) {}

    // The owners of the ids the index lists, from the index's root value; why gets the first
    // problem met (empty when none).
    SecurityOwners read(std::span<const uint8_t> indexRoot, std::string& why);

private:
    struct Listed {
        uint32_t securityId;
        uint64_t offset;  // of the descriptor's header in the stream
        uint32_t length;  // header and descriptor
    };

    void readNode(std::span<const uint8_t> node, std::vector<Listed>& listed);
    void readBlocks(uint32_t blockSize, std::vector<Listed>& listed);
    bool readOwner(const Listed& entry, std::vector<uint8_t>& buffer, SecurityOwners& owners);
    bool readDescriptors(uint64_t offset, std::span<uint8_t> into);
    void problem(const char* what);

    RunReader& blocks_;
    RunReader& descriptors_;
    std::string* why_ = nullptr;
    // The piece of the descriptor stream read last: descriptors are read in the stream's order,
    // many to a piece.
    std::vector<uint8_t> piece_;
    uint64_t pieceStart_ = 0;
    size_t pieceLength_ = 0;
};

}  // namespace Quilna::Ntfs
