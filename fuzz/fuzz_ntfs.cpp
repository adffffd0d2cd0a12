// NTFS structures as a hostile disk holds them (the first byte chooses a table record, a run
// list, a whole volume whose bytes are the input, or the security file's index and descriptor
// stream): each is read or refused with a reason, never read past, and what is read keeps its
// bounds.
#include <cstring>

#include "FuzzCheck.h"
#include "ntfs/DataRuns.h"
#include "ntfs/MftReader.h"
#include "ntfs/MftRecord.h"
#include "ntfs/MftTree.h"
#include "ntfs/SecureReader.h"
#include "text/TextEncoding.h"

using namespace Quilna;
using namespace Quilna::Ntfs;
using Fuzz::require;

namespace {

constexpr uint64_t kClusters = 1u << 20;

class InputVolume : public VolumeBytes {
public:
    explicit InputVolume(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    std::optional<size_t> read(uint64_t offset, std::span<uint8_t> into) override {
        if (offset >= bytes_.size()) return std::nullopt;
        const size_t count = std::min<uint64_t>(into.size(), bytes_.size() - offset);
        std::memcpy(into.data(), bytes_.data() + offset, count);
        return count;
    }

private:
    std::span<const uint8_t> bytes_;
};

void checkRuns(const std::vector<DataRun>& runs) {
    uint64_t total = 0;
    for (const DataRun& run : runs) {
        total += run.length;
        if (run.cluster != DataRun::kSparse)
            require(run.cluster >= 0 && uint64_t(run.cluster) + run.length <= kClusters,
                    "a run lies within the volume");
    }
    require(total <= kClusters, "the runs hold no more clusters than the volume");
}

void checkRecord(std::span<const uint8_t> input) {
    std::vector<uint8_t> record(input.begin(), input.end());
    record.resize(1024);
    uint32_t number = 0;  // as the record names itself, so that the rest is read
    std::memcpy(&number, record.data() + 0x2C, sizeof number);
    std::string why;
    const auto facts = MftRecord::read(record, {number, kClusters, true}, why);
    require(facts.has_value() != !why.empty(), "a refused record has a reason, a read one none");
    if (!facts) return;
    for (const auto& name : facts->names) require(TextEncoding::isValidUtf8(name.name), "names are UTF-8");
    for (const auto& piece : facts->dataRuns) checkRuns(piece.runs);
    require(facts->attributeList.size() <= record.size(), "a resident list lies within its record");
}

void checkVolume(std::span<const uint8_t> input) {
    InputVolume volume(input);
    std::string why;
    const auto table = MftReader::read(volume, why);
    if (!table) return require(!why.empty(), "a refused volume has a reason");
    require(table->reasons().size() <= std::min<uint64_t>(table->damaged(), MftTable::kReasonsKept), "reasons bounded");
    uint32_t previous = 0;
    for (const MftEntry& entry : table->entries()) {
        require(entry.record >= previous, "entries in record order");
        previous = entry.record;
        for (const MftName& name : table->namesOf(entry))
            require(TextEncoding::isValidUtf8(table->text(name)), "names are UTF-8");
    }
    // Paths of a hostile tree end: loops and orphans give none.
    const MftTree tree(*table);
    for (uint32_t name = 0; name < table->names().size(); ++name) tree.path(name, '/');
}

// The index's root value, its further blocks and the descriptor stream, the first two as long as
// the input's first two 16-bit numbers say.
void checkSecure(std::span<const uint8_t> input) {
    if (input.size() < 4) return;
    size_t rootBytes = input[0] | size_t{input[1]} << 8, blockBytes = input[2] | size_t{input[3]} << 8;
    auto rest = input.subspan(4);
    rootBytes = std::min(rootBytes, rest.size());
    const auto root = rest.first(rootBytes);
    rest = rest.subspan(rootBytes);
    blockBytes = std::min(blockBytes, rest.size());
    InputVolume blockVolume(rest.first(blockBytes)), descriptorVolume(rest.subspan(blockBytes));
    const auto runOver = [](size_t bytes) {
        return bytes == 0 ? std::vector<DataRun>{} : std::vector<DataRun>{{0, bytes}};
    };
    RunReader blocks(blockVolume, runOver(blockBytes), 1),
        descriptors(descriptorVolume, runOver(rest.size() - blockBytes), 1);
    std::string why;
    const SecurityOwners owners = SecureReader(blocks, descriptors).read(root, why);
    require(owners.owners() <= owners.ids() && owners.ids() <= input.size() / 16, "owners bounded by what was read");
    for (uint32_t id = 0; id < 0x200; ++id) {
        const auto sid = owners.ownerSid(id);
        require(sid.empty() || owners.ownerText(id).rfind("S-1-", 0) == 0, "an owner is a SID");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::span<const uint8_t> input(data + 1, size - 1);
    std::string why;
    switch (data[0] % 4) {
        case 0: checkRecord(input); break;
        case 1:
            if (const auto runs = decodeDataRuns(ByteView(input), kClusters, why)) checkRuns(*runs);
            break;
        case 2: checkVolume(input); break;
        default: checkSecure(input);
    }
    return 0;
}
