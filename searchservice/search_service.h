// The stand-in Windows Search service over a folder: registers the search manager (as the
// out-of-process server Windows has), the OLE DB provider and its ProgID
// "Search.CollatorDSO.1" on the calling thread, which must have entered an apartment and is
// the thread that calls the module.
#pragma once

#include "directory_index.h"
#include "platform_support.h"
#include "provider.h"
#include "search_manager.h"

namespace tarvel::service {

// The column the provider serves, and its reported size: paths up to 4095 units come whole.
constexpr DBLENGTH kPathColumnSize = 4095;

class SearchService {
public:
    // unreadable hears of every folder below root whose entries cannot be read.
    explicit SearchService(WString root, ObjectWatcher* watcher = nullptr,
                           DirectoryIndex::Unreadable unreadable = {});
    SearchService(const SearchService&) = delete;
    SearchService& operator=(const SearchService&) = delete;
    virtual ~SearchService() { stop(); }

    HRESULT start();
    void stop();

    const DirectoryIndex& index() const { return index_; }

    // The table the provider serves for a command text.
    HRESULT execute(const WString& text, std::shared_ptr<const Table>& table) const;

protected:
    // How the provider serves a path: the reported size of the path column, and whether an
    // item's path can be delivered at all (a row whose path cannot carries
    // DBSTATUS_E_UNAVAILABLE). A service that misbehaves on purpose says otherwise.
    virtual DBLENGTH pathColumnUnits() const { return kPathColumnSize; }
    virtual bool deliverable(const WString&) const { return true; }
    // The catalog's state as the service reports it: idle, since the folder is read as it is
    // searched and nothing ever waits to be indexed.
    virtual CatalogState catalogState() const { return CatalogState{}; }

private:
    // The items below the folder, counted afresh.
    LONG itemCount() const;

    WString root_;
    ObjectWatcher* watcher_;
    DirectoryIndex::Unreadable unreadable_;
    DirectoryIndex index_;
    SearchServiceConfig searchConfig_;
    ProviderConfig providerConfig_;
    ClassRegistration registration_;
    platform::ProgIdRegistration progId_;
};

}  // namespace tarvel::service
