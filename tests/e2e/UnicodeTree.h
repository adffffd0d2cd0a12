#pragma once
// A tree whose names are written in several scripts, with an emoji and a path of more than 300
// characters, for the end-to-end tests of both systems.

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
        way += "ebene-" + std::to_string(level) + "-" + std::string(36, 'x') + "-ü/";
    return way;
}

// Sizes 11, 12, ... in the order of the names.
inline std::vector<File> files() {
    std::vector<File> files;
    for (const char* path :
         {"名前.txt", "émoji😀.txt", "Ünïcödé/straße.doc", "目录/файл.txt", "目录/子/文件.doc", "Ελληνικά/αρχείο.txt",
          "עברית/קובץ.txt", "한국어/파일.txt", "mixed/naïve café.txt", "ascii/plain.txt"})
        files.push_back({path, 11 + files.size()});
    files.push_back({longWay() + "tief.txt", 21});
    return files;
}

// The directory whose files the accounts file of the tests charges to an account of its own.
inline std::string accountedDirectory() { return "目录"; }
inline std::string accountOfDirectory() { return "账户"; }

// An accounts file in UTF-8: the files below the accounted directory go to its account, others to "other".
inline std::string accountsRules(const std::string& tree, char separator) {
    return "{\nsite=*\nmap\n{\nhosts\n{\nhost=*\nentries\n{\nentry\n{\ndir=" + tree + separator + accountedDirectory() +
           separator + "*\naccount=" + accountOfDirectory() + "\n}\nentry\n{\ndir=*\naccount=other\n}\n}\n}\n}\n}\n";
}

}  // namespace Quilna::UnicodeTree
