#pragma once
// A tree whose names are written in several scripts, with an emoji and a path of more than 300
// characters, for the end-to-end tests of both systems: every file of it is counted under its
// own name, written as UTF-8.

#include <string>
#include <vector>

namespace Quilna::UnicodeTree {

struct File {
    std::string path;  // relative to the tree, "/" between the parts
    size_t size;
};

// Seven directories of 45 characters below each other.
inline std::string longWay() {
    std::string way;
    for (int level = 1; level <= 7; ++level)
        way += "ebene-" + std::to_string(level) + "-" + std::string(36, 'x') + "-\xC3\xBC/";
    return way;
}

inline std::vector<File> files() {
    return {
        {"\xE5\x90\x8D\xE5\x89\x8D.txt", 11},      // 名前.txt
        {"\xC3\xA9moji\xF0\x9F\x98\x80.txt", 12},  // émoji😀.txt
        {"\xC3\x9Cn\xC3\xAF"
         "c\xC3\xB6"
         "d\xC3\xA9/stra\xC3\x9F"
         "e.doc",
         13},                                                                        // Ünïcödé/straße.doc
        {"\xE7\x9B\xAE\xE5\xBD\x95/\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.txt", 14},       // 目录/файл.txt
        {"\xE7\x9B\xAE\xE5\xBD\x95/\xE5\xAD\x90/\xE6\x96\x87\xE4\xBB\xB6.doc", 15},  // 目录/子/文件.doc
        {"\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC/"
         "\xCE\xB1\xCF\x81\xCF\x87\xCE\xB5\xCE\xAF\xCE\xBF.txt",
         16},  // Ελληνικά/αρχείο.txt
        {"\xD7\xA2\xD7\x91\xD7\xA8\xD7\x99\xD7\xAA/\xD7\xA7\xD7\x95\xD7\x91\xD7\xA5.txt", 17},  // עברית/קובץ.txt
        {"\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4/\xED\x8C\x8C\xEC\x9D\xBC.txt", 18},              // 한국어/파일.txt
        {"mixed/na\xC3\xAFve caf\xC3\xA9.txt", 19},  // mixed/naïve café.txt
        {longWay() + "tief.txt", 20},
        {"ascii/plain.txt", 21},
    };
}

// The directory whose files the accounts file of the tests charges to an account of its own.
inline std::string accountedDirectory() { return "\xE7\x9B\xAE\xE5\xBD\x95"; }  // 目录
inline std::string accountOfDirectory() { return "\xE8\xB4\xA6\xE6\x88\xB7"; }  // 账户

// An accounts file, written as UTF-8: the files below the tree's accounted directory go to its
// account, every other file to "other".
inline std::string accountsRules(const std::string& tree, char separator) {
    return "{\nsite=*\nmap\n{\nhosts\n{\nhost=*\nentries\n{\nentry\n{\ndir=" + tree + separator + accountedDirectory() +
           separator + "*\naccount=" + accountOfDirectory() + "\n}\nentry\n{\ndir=*\naccount=other\n}\n}\n}\n}\n}\n";
}

}  // namespace Quilna::UnicodeTree
