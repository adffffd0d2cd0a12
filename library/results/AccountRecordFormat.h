#pragma once
// The account record file: two lines per record.
//   "1:<day>:29:<key>"            the key: "0:" before each of the ten fields, joined by ":"
//   "1:<files>:<bytes>:<bytes on disk>:<weighted size>"
// ":" inside a field and bytes below 0x20 anywhere are written as "_". Numbers are written
// without loss: whole values below 2^53 as integers, others in the shortest exact text.

#include <cstdint>
#include <string>
#include <string_view>

#include "results/AccountRecord.h"

namespace Quilna::AccountRecordFormat {

// One field of a key, escaped: appended, or in place.
void appendKeyField(std::string& out, std::string_view field);
void escapeKeyField(std::string& field);

// The key text of the fields from first to before end, appended: a key made in two parts is
// the same text as one made at once.
template <class Text>
void appendKey(std::string& out, const BasicRecordKey<Text>& key, size_t first = 0, size_t end = keyFieldCount) {
    for (size_t i = first; i < end; ++i) {
        out.append(i == 0 ? "0:" : ":0:");
        appendKeyField(out, key.fields[i]);
    }
}

template <class Text>
std::string keyText(const BasicRecordKey<Text>& key) {
    std::string out;
    appendKey(out, key);
    return out;
}

// Both lines of a record with their line feeds; dayText is the flush's day stamp.
void appendRecord(std::string& out, std::string_view dayText, std::string_view keyText, const AccountValues& values);

// Each false with the reason in fault when the text is not of the format. A key line gives
// the record's day, key text and key, as views into the line.
bool parseKeyLine(std::string_view line, AccountRecordView& out, std::string& fault);
bool parseKey(std::string_view keyText, RecordKeyView& out, std::string& fault);
bool parseValueLine(std::string_view line, AccountValues& out, std::string& fault);

}  // namespace Quilna::AccountRecordFormat
