#include "ntfs/DataRuns.h"

namespace Quilna::Ntfs {
namespace {

// `width` bytes at `at`, little-endian, sign-extended when asked.
uint64_t field(ByteView list, size_t at, unsigned width, bool isSigned) {
    uint64_t value = 0;
    for (unsigned i = width; i-- > 0;) value = value << 8 | list.u8(at + i);
    if (isSigned && width < 8 && (value >> (width * 8 - 1)) != 0) value |= ~uint64_t{0} << (width * 8);
    return value;
}

std::optional<std::vector<DataRun>> refused(std::string& why, const char* reason) {
    why = reason;
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<DataRun>> decodeDataRuns(ByteView list, uint64_t volumeClusters, std::string& why) {
    std::vector<DataRun> runs;
    int64_t previous = 0;
    uint64_t total = 0;
    size_t at = 0;
    // Every run takes at least two bytes, so the list's length bounds the loop.
    while (at < list.size()) {
        const uint8_t header = list.u8(at);
        if (header == 0) return runs;
        const unsigned lengthWidth = header & 0x0F, offsetWidth = header >> 4;
        if (lengthWidth == 0 || lengthWidth > 8 || offsetWidth > 8) return refused(why, "a run field is too wide");
        if (!list.fits(at + 1, lengthWidth + offsetWidth)) return refused(why, "a run goes past its list");
        DataRun run;
        run.length = field(list, at + 1, lengthWidth, false);
        if (run.length == 0 || run.length > volumeClusters - total)
            return refused(why, "a run is longer than the volume");
        total += run.length;
        if (offsetWidth != 0) {
            const int64_t delta = static_cast<int64_t>(field(list, at + 1 + lengthWidth, offsetWidth, true));
            if ((delta > 0 && previous > INT64_MAX - delta) || previous + delta < 0)
                return refused(why, "a run starts before the volume");
            previous += delta;
            if (static_cast<uint64_t>(previous) >= volumeClusters ||
                run.length > volumeClusters - static_cast<uint64_t>(previous))
                return refused(why, "a run ends beyond the volume");
            run.cluster = previous;
        }
        runs.push_back(run);
        at += 1 + lengthWidth + offsetWidth;
    }
    return refused(why, "a run list without its end mark");
}

}  // namespace Quilna::Ntfs
