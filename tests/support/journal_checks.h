// Assertions on a call journal that state a contract rather than every call the code happens to
// make: the calls that must come in a given order with anything else between them, and the order
// of releases, which is a contract of its own.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tarvel::testing {

// Whether expected occurs in journal in its order, other entries between them allowed; a
// failure names the first entry not found after the ones before it.
inline ::testing::AssertionResult inOrder(const std::vector<std::string>& journal,
                                          const std::vector<std::string>& expected) {
    auto at = journal.begin();
    for (const std::string& entry : expected) {
        at = std::find(at, journal.end(), entry);
        if (at == journal.end()) {
            std::string seen;
            for (const std::string& line : journal) {
                seen += "\n  " + line;
            }
            return ::testing::AssertionFailure()
                   << "\"" << entry << "\" does not follow the entries before it in:" << seen;
        }
        ++at;
    }
    return ::testing::AssertionSuccess();
}

// The releases in a journal, in their order: references, accessors, rows, chapters and blocks.
inline std::vector<std::string> releasesOf(const std::vector<std::string>& journal) {
    std::vector<std::string> releases;
    for (const std::string& entry : journal) {
        if (entry.find("::Release") != std::string::npos || entry.rfind("free ", 0) == 0) {
            releases.push_back(entry);
        }
    }
    return releases;
}

inline size_t countOf(const std::vector<std::string>& journal, const std::string& entry) {
    return size_t(std::count(journal.begin(), journal.end(), entry));
}

}  // namespace tarvel::testing
