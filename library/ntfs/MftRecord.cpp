#include "ntfs/MftRecord.h"

#include "ntfs/ByteView.h"
#include "ntfs/UpdateSequence.h"
#include "ntfs/Utf16Name.h"

namespace Quilna::Ntfs {
namespace {

constexpr uint32_t kFileMark = 0x454C4946;  // "FILE"
constexpr uint32_t kBadMark = 0x44414142;   // "BAAD": a record the file system found torn
constexpr uint32_t kEnd = 0xFFFFFFFF;
constexpr uint16_t kInUse = 0x0001, kDirectory = 0x0002;
constexpr uint16_t kCompressed = 0x0001, kSparse = 0x8000;
constexpr uint8_t kDosOnlyName = 2;

enum Type : uint32_t {
    kStandard = 0x10,
    kAttributeList = 0x20,
    kFileName = 0x30,
    kData = 0x80,
    kIndexRoot = 0x90,
    kIndexAllocation = 0xA0,
    kReparse = 0xC0,
};

class AttributeReader {
public:
    AttributeReader(RecordFacts& facts, const MftRecord::Context& context, std::string& why)
        : facts_(facts), context_(context), why_(why) {}

    bool read(ByteView attribute) {
        const uint32_t type = attribute.u32(0);
        const bool resident = attribute.u8(8) == 0;
        const size_t nameUnits = attribute.u8(9);
        if (nameUnits != 0 && !attribute.fits(attribute.u16(0x0A), 2 * nameUnits))
            return damaged("an attribute's name");
        if (!resident && attribute.size() < 0x40) return damaged("a non-resident attribute's header");
        const ByteView value = resident ? attribute.sub(attribute.u16(0x14), attribute.u32(0x10)) : ByteView{};
        if (value.overrun()) return damaged("an attribute's value");
        if (context_.keepSecure && nameUnits == 4) return readSecurePart(attribute, type, resident, value);
        switch (type) {
            case kStandard: return resident ? readStandard(value) : damaged("non-resident standard facts");
            case kFileName: return resident ? readName(value) : damaged("a non-resident file name");
            case kData: return nameUnits != 0 || (resident ? readResidentData(value) : readData(attribute));
            case kAttributeList: return resident ? keepResidentList(value) : readAttributeList(attribute);
            case kReparse: return resident ? readReparse(value) : keepReparseRuns(attribute);
            default: return true;
        }
    }

private:
    bool damaged(const char* what) {
        why_ = std::string(what) + " is damaged";
        return false;
    }

    bool readStandard(ByteView facts) {
        if (facts.size() < 0x30) return damaged("the standard facts");
        facts_.hasStandard = true;
        facts_.created = facts.u64(0x00);
        facts_.modified = facts.u64(0x08);
        facts_.accessed = facts.u64(0x18);
        facts_.attributes = facts.u32(0x20);
        if (facts.size() >= 0x48) facts_.securityId = facts.u32(0x34);
        return true;
    }

    bool readName(ByteView name) {
        if (name.size() < 0x42 || !name.fits(0x42, 2 * size_t{name.u8(0x40)})) return damaged("a file name");
        if (name.u8(0x41) == kDosOnlyName) return true;
        RecordFacts::Name& added = facts_.names.emplace_back();
        added.parent = name.u64(0);
        appendUtf16AsUtf8(name.sub(0x42, 2 * size_t{name.u8(0x40)}), added.name);
        return true;
    }

    bool readResidentData(ByteView data) {
        facts_.hasData = true;
        facts_.size = data.size();
        facts_.allocated = (data.size() + 7) & ~size_t{7};
        return true;
    }

    bool readData(ByteView attribute) {
        const uint64_t firstVcn = attribute.u64(0x10);
        if (context_.keepRuns) {
            auto runs = runsOf(attribute);
            if (!runs) return false;
            facts_.dataRuns.push_back({firstVcn, std::move(*runs)});
        }
        if (firstVcn != 0) return true;
        const bool packed = (attribute.u16(0x0C) & (kCompressed | kSparse)) != 0 && attribute.size() >= 0x48;
        facts_.hasData = true;
        facts_.size = attribute.u64(0x30);
        facts_.allocated = attribute.u64(packed ? 0x40 : 0x28);
        return true;
    }

    bool keepResidentList(ByteView list) {
        facts_.hasAttributeList = true;
        if (context_.keepRuns) facts_.attributeList.assign(list.bytes().begin(), list.bytes().end());
        facts_.attributeListSize = list.size();
        return true;
    }

    bool readAttributeList(ByteView attribute) {
        facts_.hasAttributeList = true;
        if (!context_.keepRuns) return true;
        auto runs = runsOf(attribute);
        if (!runs) return false;
        facts_.attributeListRuns = std::move(*runs);
        facts_.attributeListSize = attribute.u64(0x30);
        return true;
    }

    bool readReparse(ByteView data) {
        if (data.size() < 4) return damaged("a reparse point");
        facts_.reparseTag = data.u32(0);
        return true;
    }

    bool keepReparseRuns(ByteView attribute) {
        auto runs = runsOf(attribute);
        if (!runs) return false;
        facts_.reparseRuns = std::move(*runs);
        return true;
    }

    // The security file's parts are the only attributes named with four letters there.
    bool readSecurePart(ByteView attribute, uint32_t type, bool resident, ByteView value) {
        const ByteView name = attribute.sub(attribute.u16(0x0A), 8);
        auto& secure = facts_.secure;
        if (type == kIndexRoot && resident && isName(name, "$SII")) {
            secure.indexRoot.assign(value.bytes().begin(), value.bytes().end());
        } else if (type == kIndexAllocation && !resident && isName(name, "$SII")) {
            auto runs = runsOf(attribute);
            if (!runs) return false;
            secure.indexBlocks = std::move(*runs);
        } else if (type == kData && !resident && isName(name, "$SDS") && attribute.u64(0x10) == 0) {
            auto runs = runsOf(attribute);
            if (!runs) return false;
            secure.descriptors = std::move(*runs);
        }
        return true;
    }

    static bool isName(ByteView units, const char* ascii) {
        for (size_t i = 0; i < 4; ++i)
            if (units.u16(2 * i) != static_cast<uint8_t>(ascii[i])) return false;
        return true;
    }

    std::optional<std::vector<DataRun>> runsOf(ByteView attribute) {
        const size_t offset = attribute.u16(0x20);
        if (offset < 0x40 || offset > attribute.size()) {
            damaged("a run list's place");
            return std::nullopt;
        }
        return decodeDataRuns(attribute.sub(offset, attribute.size() - offset), context_.volumeClusters, why_);
    }

    RecordFacts& facts_;
    const MftRecord::Context& context_;
    std::string& why_;
};

std::optional<RecordFacts> refused(std::string& why, const char* reason) {
    why = reason;
    return std::nullopt;
}

}  // namespace

std::optional<RecordFacts> MftRecord::read(std::span<uint8_t> record, const Context& context, std::string& why) {
    RecordFacts facts;
    const ByteView view(record);
    const uint32_t mark = view.u32(0);
    if (mark == 0) return facts;  // never written
    if (mark == kBadMark) return refused(why, "it is marked torn");
    if (mark != kFileMark) return refused(why, "it has no record signature");
    if (!undoUpdateSequence(record, why)) return std::nullopt;
    const uint16_t flags = view.u16(0x16);
    if ((flags & kInUse) == 0) return facts;
    facts.inUse = true;
    facts.directory = (flags & kDirectory) != 0;
    facts.sequence = view.u16(0x10);
    facts.links = view.u16(0x12);
    facts.base = view.u64(0x20);
    const size_t used = view.u32(0x18), first = view.u16(0x14), arrayEnd = view.u16(4) + 2 * size_t{view.u16(6)};
    if (used > record.size() || first < arrayEnd || first % 8 != 0 || first >= used)
        return refused(why, "its header's sizes do not fit the record");
    if (view.u16(4) >= 0x30 && view.u32(0x2C) != static_cast<uint32_t>(context.number))
        return refused(why, "it names another record number");
    AttributeReader reader(facts, context, why);
    // Every attribute takes at least 24 bytes, so the record's size bounds the loop.
    for (size_t at = first;;) {
        if (!view.fits(at, 4) || at + 4 > used) return refused(why, "its attributes have no end mark");
        if (view.u32(at) == kEnd) return facts;
        const size_t length = view.u32(at + 4);
        if (length < 0x18 || length % 8 != 0 || length > used - at) return refused(why, "an attribute goes past it");
        if (!reader.read(view.sub(at, length))) return std::nullopt;
        at += length;
    }
}

}  // namespace Quilna::Ntfs
