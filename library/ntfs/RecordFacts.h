#pragma once
// What one record of the master file table says about its file, as the table reader gathers it.

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/DataRuns.h"

namespace Quilna::Ntfs {

// A file reference: the record number in the low 48 bits, the record's sequence above them.
inline uint64_t recordOf(uint64_t reference) { return reference & 0xFFFFFFFFFFFFull; }
inline uint16_t sequenceOf(uint64_t reference) { return static_cast<uint16_t>(reference >> 48); }

struct RecordFacts {
    struct Name {
        uint64_t parent = 0;  // reference of the directory listing this name
        std::string name;     // UTF-8
    };
    // A piece of a non-resident attribute's run list, from the virtual cluster it starts at.
    struct RunPiece {
        uint64_t firstVcn = 0;
        std::vector<DataRun> runs;
    };

    bool inUse = false;
    bool directory = false;
    uint16_t sequence = 0;
    uint16_t links = 0;
    uint64_t base = 0;  // reference of the base record; 0 for a base record

    bool hasStandard = false;
    uint64_t created = 0, modified = 0, accessed = 0;  // 100 ns units since 1601
    uint32_t attributes = 0;                           // DOS attribute bits
    uint32_t securityId = 0;                           // 0 where the record has none

    std::vector<Name> names;  // DOS-only short names left out

    bool hasData = false;  // the unnamed stream's sizes, from its first piece
    uint64_t size = 0;
    uint64_t allocated = 0;  // bytes on disk: the compressed size for compressed and sparse streams

    bool hasAttributeList = false;
    uint32_t reparseTag = 0;
    std::vector<DataRun> reparseRuns;  // where the tag lies when the reparse data is not resident

    // Kept only when asked (the table's own record): the unnamed stream's run pieces, and the
    // attribute list, resident or as its runs.
    std::vector<RunPiece> dataRuns;
    std::vector<uint8_t> attributeList;
    std::vector<DataRun> attributeListRuns;
    uint64_t attributeListSize = 0;

    // Kept only when asked (the security file): where its descriptors by security id lie.
    struct SecureParts {
        std::vector<uint8_t> indexRoot;    // the $SII index's root value
        std::vector<DataRun> indexBlocks;  // its further nodes
        std::vector<DataRun> descriptors;  // the $SDS stream
    } secure;
};

}  // namespace Quilna::Ntfs
