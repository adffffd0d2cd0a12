#include "ntfs/MftReader.h"

#include <algorithm>
#include <map>
#include <vector>

#include "ntfs/BootSector.h"
#include "ntfs/ByteView.h"
#include "ntfs/MftRecord.h"
#include "ntfs/RunReader.h"
#include "ntfs/SecureReader.h"

namespace Quilna::Ntfs {
namespace {

constexpr uint64_t kLargestList = 256u << 10;  // an attribute list never grows beyond this
constexpr uint32_t kDataType = 0x80;
constexpr uint32_t kLostPieces = 16;
constexpr uint32_t kUpCaseRecord = 10;  // the volume's table of upper-case letters, which orders directories
constexpr uint32_t kSecureRecord = 9;   // the volume's security descriptors, which name the owners

std::optional<MftTable> refused(std::string& why, std::string reason) {
    why = std::move(reason);
    return std::nullopt;
}

// Base records continued in extension records (those with an attribute list) and the extension
// records, held until the whole table has been read, since an extension may come before its
// base; an extension completes the base its reference names, at the base's current sequence.
class Completion {
public:
    void holdBase(uint32_t record, RecordFacts facts) { bases_.emplace(record, std::move(facts)); }
    void holdExtension(RecordFacts facts) { extensions_.emplace(recordOf(facts.base), std::move(facts)); }

    void addTo(MftTable& table) {
        for (auto& [record, base] : bases_) {
            const auto [first, last] = extensions_.equal_range(record);
            for (auto part = first; part != last; ++part)
                if (sequenceOf(part->second.base) == base.sequence) merge(base, part->second);
            table.add(record, base);
        }
    }

private:
    static void merge(RecordFacts& base, RecordFacts& part) {
        std::move(part.names.begin(), part.names.end(), std::back_inserter(base.names));
        if (!base.hasData && part.hasData) {
            base.hasData = true;
            base.size = part.size;
            base.allocated = part.allocated;
        }
        if (base.reparseTag == 0) base.reparseTag = part.reparseTag;
    }

    std::map<uint32_t, RecordFacts> bases_;
    std::multimap<uint64_t, RecordFacts> extensions_;
};

class TableReader {
public:
    TableReader(VolumeBytes& volume, const BootSector& boot) : volume_(volume), boot_(boot) {}

    std::optional<MftTable> read(std::string& why) {
        std::vector<uint8_t> first(boot_.recordSize);
        if (!RunReader::readVolume(volume_, boot_.tableOffset, first))
            return refused(why, "the table's first record is unreadable");
        std::string damage;
        const auto own = MftRecord::read(first, {0, clusters(), true}, damage);
        if (!own || !own->inUse || !own->hasData || own->dataRuns.empty())
            return refused(why, "the table's own record is refused: " + (damage.empty() ? "no data runs" : damage));
        auto pieces = own->dataRuns;
        if (own->hasAttributeList) addListedPieces(*own, pieces);
        auto runs = joined(pieces);
        if (!runs) return refused(why, "the table's runs are not contiguous");
        RunReader table(volume_, std::move(*runs), boot_.clusterSize);
        const uint64_t records = std::min(own->size, table.mappedBytes()) / boot_.recordSize;
        if (records > UINT32_MAX) return refused(why, "the table holds more records than this reader numbers");
        return readRecords(table, static_cast<uint32_t>(records));
    }

private:
    uint64_t clusters() const { return boot_.volumeBytes / boot_.clusterSize; }

    MftTable readRecords(RunReader& table, uint32_t records) {
        MftTable result;
        Completion completion;
        const uint32_t perPiece = static_cast<uint32_t>(std::max<size_t>(1, MftReader::kPieceBytes / boot_.recordSize));
        std::vector<uint8_t> piece(size_t{perPiece} * boot_.recordSize);
        // A volume shorter than its boot sector says fails every read past its end: after
        // kLostPieces pieces in a row without one readable record, the rest counts as lost.
        for (uint32_t start = 0, lostPieces = 0; start < records; start += std::min(perPiece, records - start)) {
            if (lostPieces == kLostPieces) {
                result.noteDamage(start, "it and the rest of the table are unreadable", records - start);
                break;
            }
            const auto bytes =
                std::span<uint8_t>(piece).first(size_t{std::min(perPiece, records - start)} * boot_.recordSize);
            lostPieces = readPiece(table, start, bytes, result, completion) ? 0 : lostPieces + 1;
        }
        completion.addTo(result);
        result.finish();
        return result;
    }

    // Takes the records of one piece; false when none of them could be read.
    bool readPiece(RunReader& table, uint32_t start, std::span<uint8_t> bytes, MftTable& result,
                   Completion& completion) {
        const bool whole = table.read(uint64_t{start} * boot_.recordSize, bytes);
        bool any = whole;
        for (uint32_t i = 0; i < bytes.size() / boot_.recordSize; ++i) {
            const auto record = bytes.subspan(size_t{i} * boot_.recordSize, boot_.recordSize);
            // A piece that failed as a whole is read again record by record, to lose only those that fail.
            if (!whole && !table.read(uint64_t{start + i} * boot_.recordSize, record)) {
                result.noteDamage(start + i, "it is unreadable");
                continue;
            }
            any = true;
            take(start + i, record, result, completion);
        }
        return any;
    }

    void take(uint32_t number, std::span<uint8_t> record, MftTable& table, Completion& completion) {
        std::string why;
        auto facts =
            MftRecord::read(record, {number, clusters(), number == kUpCaseRecord, number == kSecureRecord}, why);
        if (!facts) return table.noteDamage(number, why);
        if (!facts->inUse) return;
        if (number == kUpCaseRecord) readUpCase(*facts, table);
        if (number == kSecureRecord) readOwners(*facts, table);
        if (!facts->reparseRuns.empty()) readReparseTag(*facts);
        if (facts->base != 0) return completion.holdExtension(std::move(*facts));
        if (facts->hasAttributeList) return completion.holdBase(number, std::move(*facts));
        table.add(number, *facts);
    }

    void readReparseTag(RecordFacts& facts) {
        uint8_t tag[4] = {};
        RunReader reader(volume_, std::move(facts.reparseRuns), boot_.clusterSize);
        if (reader.read(0, tag)) facts.reparseTag = ByteView(tag).u32(0);
    }

    void readOwners(const RecordFacts& facts, MftTable& table) {
        const auto& secure = facts.secure;
        if (secure.indexRoot.empty() || secure.descriptors.empty())
            return table.setOwners({}, "the security file holds no index or descriptors in its record");
        RunReader blocks(volume_, secure.indexBlocks, boot_.clusterSize);
        RunReader descriptors(volume_, secure.descriptors, boot_.clusterSize);
        std::string why;
        auto owners = SecureReader(blocks, descriptors).read(secure.indexRoot, why);
        table.setOwners(std::move(owners), why);
    }

    void readUpCase(const RecordFacts& facts, MftTable& table) {
        std::vector<uint8_t> bytes(MftTable::kUpCaseUnits * 2);
        if (facts.dataRuns.size() != 1 || facts.size != bytes.size()) return;
        RunReader reader(volume_, facts.dataRuns.front().runs, boot_.clusterSize);
        if (!reader.read(0, bytes)) return;
        std::vector<uint16_t> units(MftTable::kUpCaseUnits);
        const ByteView view(bytes);
        for (size_t i = 0; i < units.size(); ++i) units[i] = view.u16(2 * i);
        table.setUpCase(std::move(units));
    }

    // The table's own stream continued in extension records: their run pieces, read through
    // the first piece, which holds the table's first records.
    void addListedPieces(const RecordFacts& own, std::vector<RecordFacts::RunPiece>& pieces) {
        const auto list = listBytes(own);
        const ByteView view(list);
        RunReader start(volume_, own.dataRuns.front().runs, boot_.clusterSize);
        std::vector<uint8_t> record(boot_.recordSize);
        // Every entry takes at least 26 bytes, so the list's size bounds the loop.
        for (size_t at = 0; view.fits(at, 0x1A);) {
            const size_t length = view.u16(at + 4);
            if (length < 0x1A || !view.fits(at, length)) return;
            const uint64_t reference = view.u64(at + 0x10);
            std::string why;
            if (view.u32(at) == kDataType && view.u8(at + 6) == 0 && recordOf(reference) != 0 &&
                start.read(recordOf(reference) * boot_.recordSize, record)) {
                const auto part = MftRecord::read(record, {recordOf(reference), clusters(), true}, why);
                if (part && part->inUse && sequenceOf(part->base) == own.sequence && recordOf(part->base) == 0)
                    pieces.insert(pieces.end(), part->dataRuns.begin(), part->dataRuns.end());
            }
            at += length;
        }
    }

    std::vector<uint8_t> listBytes(const RecordFacts& own) {
        if (own.attributeListRuns.empty()) return own.attributeList;
        std::vector<uint8_t> list(std::min(own.attributeListSize, kLargestList));
        RunReader reader(volume_, own.attributeListRuns, boot_.clusterSize);
        if (!reader.read(0, list)) list.clear();
        return list;
    }

    // The pieces in order as one run list, when each begins where the one before ended.
    std::optional<std::vector<DataRun>> joined(std::vector<RecordFacts::RunPiece>& pieces) const {
        std::sort(pieces.begin(), pieces.end(), [](const auto& a, const auto& b) { return a.firstVcn < b.firstVcn; });
        std::vector<DataRun> runs;
        uint64_t next = 0;
        for (const auto& piece : pieces) {
            if (piece.firstVcn != next) return std::nullopt;
            for (const DataRun& run : piece.runs) {
                if (run.length > clusters() - next) return std::nullopt;
                next += run.length;
                runs.push_back(run);
            }
        }
        return runs;
    }

    VolumeBytes& volume_;
    const BootSector& boot_;
};

}  // namespace

std::optional<MftTable> MftReader::read(VolumeBytes& volume, std::string& why) {
    std::vector<uint8_t> sector(BootSector::kSize);
    if (!RunReader::readVolume(volume, 0, sector)) return refused(why, "the boot sector is unreadable");
    const auto boot = BootSector::parse(sector, why);
    if (!boot) return std::nullopt;
    return TableReader(volume, *boot).read(why);
}

}  // namespace Quilna::Ntfs
