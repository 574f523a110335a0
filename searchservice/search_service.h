// The stand-in Windows Search service over a folder: registers the search manager (as the
// out-of-process server Windows has), the OLE DB provider and its ProgID
// "Search.CollatorDSO.1" on the calling thread, which must have entered an apartment. Its
// rowsets walk the folder as the consumer fetches, so the first row comes after the first
// match, and memory follows the depth of the tree and the names still to visit in each folder
// above the current one (the walk reads the rest of a folder ahead as it goes down), not the
// number of items passed. It keeps no
// state that a search changes: several apartments may search through it at once, each having
// registered its classes (registerClasses).
#pragma once

#include <atomic>

#include "host_platform.h"
#include "platform_support.h"
#include "provider.h"
#include "search_manager.h"

namespace tarvel::service {

// The path column's reported size: the longest text a consumer binds in its row as it is,
// rather than as a stream. Every path up to it comes whole; a longer one (only a folder tree
// deeper than most systems let a program name has them) cannot be delivered in it, and is never
// cut into another item's path.
constexpr DBLENGTH kPathColumnSize = 8000;

class SearchService {
public:
    using Unreadable = platform::FolderWalk::Unreadable;

    // unreadable hears of every folder below root whose entries cannot be read, as a search's
    // walk meets it, on the searching thread.
    explicit SearchService(WString root, Unreadable unreadable = {});
    SearchService(const SearchService&) = delete;
    SearchService& operator=(const SearchService&) = delete;
    virtual ~SearchService() { stop(); }

    HRESULT start();
    void stop();
    // Ends every walk, running or to come: the rows found so far are the last. For a host that
    // can show no more; callable from any thread.
    void stopWalks() { walksStopped_ = true; }
    // Whether the machine has a provider of its own under the ProgID the service registers,
    // which start would shadow for this user: the real Windows Search provider.
    static bool wouldShadowMachineProvider();
    // Registers the service's classes in the calling thread's apartment as well, for as long
    // as registration lives: COM finds a class object only from the apartment that registered
    // it. The ProgID that start registered serves every apartment.
    HRESULT registerClasses(ClassRegistration& registration);

    // The table the provider serves for a command text: its rows come from a walk of the
    // folder, made when the rowset first fetches.
    HRESULT execute(const WString& text, std::shared_ptr<const Table>& table) const;

protected:
    // How the provider serves a path: the type and reported size of the path column, and
    // whether an item's path can be delivered at all (a row whose path cannot carries
    // DBSTATUS_E_UNAVAILABLE). A service that misbehaves on purpose says otherwise.
    virtual DBTYPE pathColumnType() const { return DBTYPE_WSTR; }
    virtual DBLENGTH pathColumnUnits() const { return kPathColumnSize; }
    virtual bool deliverable(const WString& path) const {
        return pathColumnType() != DBTYPE_WSTR || path.size() <= pathColumnUnits();
    }
    // The catalog's state as the service reports it: idle, since the folder is read as it is
    // searched and nothing ever waits to be indexed.
    virtual CatalogState catalogState() const { return CatalogState{}; }
    // Whether the service registers its search manager, or leaves it to a search manager that
    // COM starts in a process of its own.
    virtual bool servesSearchManager() const { return true; }
    // The class object of the search manager, holding one reference: a service derived from
    // this one may serve a search manager of its own making over searchConfig().
    virtual ClassFactory* searchManagerClass();
    const SearchServiceConfig& searchConfig() const { return searchConfig_; }
    // The provider's configuration, which a service that misbehaves on purpose may change
    // before it starts.
    ProviderConfig& providerConfig() { return providerConfig_; }

private:
    // The items below the folder, counted afresh.
    LONG itemCount() const;

    WString root_;
    Unreadable unreadable_;
    SearchServiceConfig searchConfig_;
    ProviderConfig providerConfig_;
    ClassRegistration registration_;
    platform::ProgIdRegistration progId_;
    std::atomic<bool> walksStopped_{false};
};

}  // namespace tarvel::service
