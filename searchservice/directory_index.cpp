#include "directory_index.h"

#include <algorithm>

#include "host_platform.h"

namespace tarvel::service {

namespace {

constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);

bool matches(const DirectoryIndex::Item& item, const SqlQuery& query) {
    for (const SqlCondition& condition : query.conditions) {
        const bool met = condition.kind == SqlCondition::Kind::NameLike
                             ? likeMatches(condition.value, item.name)
                             : sameIgnoringAsciiCase(condition.value, item.extension);
        if (!met) {
            return false;
        }
    }
    return true;
}

}  // namespace

HRESULT DirectoryIndex::build(const WString& root, const Unreadable& unreadable) {
    items_.clear();
    const WString folder = platform::absoluteFolder(root);
    if (folder.empty()) {
        return kPathNotFound;
    }
    platform::walkFolder(
        folder, [this](const WString& path, const WString& name) { add(path, name); },
        [&](const WString& path, const std::string& reason) {
            if (unreadable) {
                unreadable(path, reason);
            }
        });
    sort();
    return S_OK;
}

void DirectoryIndex::assign(std::vector<WString> paths, WCHAR separator) {
    items_.clear();
    for (WString& path : paths) {
        const size_t slash = path.find_last_of(separator);
        add(path, slash == WString::npos ? path : path.substr(slash + 1));
    }
    sort();
}

void DirectoryIndex::add(const WString& path, const WString& name) {
    const size_t dot = name.find_last_of(u'.');
    items_.push_back(Item{path, name, dot == WString::npos ? WString() : name.substr(dot)});
}

void DirectoryIndex::sort() {
    std::sort(items_.begin(), items_.end(),
              [](const Item& a, const Item& b) { return a.path < b.path; });
}

std::vector<WString> DirectoryIndex::search(const SqlQuery& query) const {
    std::vector<WString> paths;
    for (const Item& item : items_) {
        if (query.top >= 0 && paths.size() >= size_t(query.top)) {
            break;
        }
        if (matches(item, query)) {
            paths.push_back(item.path);
        }
    }
    return paths;
}

}  // namespace tarvel::service
