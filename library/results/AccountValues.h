#pragma once
// The four values of an account record. Whole is the type of the count and the byte sums:
// double as the record file writes them, a wider integer where many runs are summed.

namespace Quilna {

template <class Whole>
struct BasicAccountValues {
    Whole files = 0;
    Whole bytes = 0;
    Whole bytesOnDisk = 0;
    double weightedSize = 0;

    // A key that a run flushed twice counts as the sum of its records.
    BasicAccountValues& operator+=(const BasicAccountValues& other) {
        files += other.files;
        bytes += other.bytes;
        bytesOnDisk += other.bytesOnDisk;
        weightedSize += other.weightedSize;
        return *this;
    }
    bool operator==(const BasicAccountValues&) const = default;
};

using AccountValues = BasicAccountValues<double>;

}  // namespace Quilna
