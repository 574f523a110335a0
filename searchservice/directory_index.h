// The stand-in service's index: every file and folder below a root folder, read once when the
// provider's data source is initialized. Results come in the order of their paths, compared
// unit by unit in UTF-16.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sql_query.h"

namespace tarvel::service {

class DirectoryIndex {
public:
    struct Item {
        WString path;
        WString name;
        WString extension;  // from the last dot of the name on, dot included; empty without
    };

    // What build() says of a folder whose entries cannot be read: the folder and the reason.
    using Unreadable = std::function<void(const WString& folder, const std::string& reason)>;

    // Reads the tree below root; fails when root is no folder. A folder that cannot be read is
    // reported, and what can be listed of it is indexed.
    HRESULT build(const WString& root, const Unreadable& unreadable = {});
    // The items as a provider would: given outright, for tests.
    void assign(std::vector<WString> paths, WCHAR separator);

    std::vector<WString> search(const SqlQuery& query) const;
    const std::vector<Item>& items() const { return items_; }

private:
    void add(const WString& path, const WString& name);
    void sort();

    std::vector<Item> items_;
};

}  // namespace tarvel::service
