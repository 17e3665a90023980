#pragma once
// A RackConfig as a JSON file:
//   {"format":"vexa-rack","version":1,"date":...,"tool":...,
//    "coupler":{"kind":"eth","type":...,"hardware":...,"software":...,"settings":{...}},
//    "modules":[{"slot":1,"type":...,"hardware":...,"software":...,"class":...,"settings":{...}}]}
// Settings keep their order.
#include <string>
#include <vector>

#include "RackConfig.h"

namespace vexa::rackconfig {

struct LoadResult {
    bool ok = false;  // false: nothing usable, `error` says why
    std::string error;
    // Entries that were read but are not right (a bad field, an unknown field); each is named,
    // the rest of the file is still loaded. A caller about to write should refuse when any.
    std::vector<std::string> problems;
};

class RackFile {
public:
    static std::string toJson(const RackConfig& config);
    static LoadResult fromJson(const std::string& text, RackConfig& out);

    // Writes through a temporary file in the same folder and a rename, so a failed save leaves
    // an older file whole. False with `error` set on failure.
    static bool save(const std::string& path, const RackConfig& config, std::string& error);
    static LoadResult load(const std::string& path, RackConfig& out);
};

}  // namespace vexa::rackconfig
