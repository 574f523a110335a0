#include "call_text.h"

#include <cstdio>
#include <vector>

namespace tarvel::service {

std::string narrow(const WCHAR* text, size_t length) {
    return utf8FromUtf16(text, length);
}

std::string narrow(const WCHAR* text) {
    if (text == nullptr) {
        return "(null)";
    }
    size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return narrow(text, length);
}

namespace {

struct Known {
    const IID* iid;
    const char* name;
};

const Known known[] = {
    {&IID_IUnknown, "IUnknown"},
    {&IID_IClassFactory, "IClassFactory"},
    {&IID_ISequentialStream, "ISequentialStream"},
    {&IID_IStream, "IStream"},
    {&IID_IDispatch, "IDispatch"},
    {&IID_IAccessor, "IAccessor"},
    {&IID_IRowset, "IRowset"},
    {&IID_IRowsetInfo, "IRowsetInfo"},
    {&IID_IChapteredRowset, "IChapteredRowset"},
    {&IID_IColumnsInfo, "IColumnsInfo"},
    {&IID_IRowsetChange, "IRowsetChange"},
    {&IID_ICommand, "ICommand"},
    {&IID_ICommandText, "ICommandText"},
    {&IID_IDBCreateCommand, "IDBCreateCommand"},
    {&IID_IDBCreateSession, "IDBCreateSession"},
    {&IID_IOpenRowset, "IOpenRowset"},
    {&IID_IDBInitialize, "IDBInitialize"},
    {&IID_IDBProperties, "IDBProperties"},
    {&IID_IDataInitialize, "IDataInitialize"},
    {&IID_ISearchManager, "ISearchManager"},
    {&IID_ISearchCatalogManager, "ISearchCatalogManager"},
    {&IID_ISearchCrawlScopeManager, "ISearchCrawlScopeManager"},
    {&IID_ISearchQueryHelper, "ISearchQueryHelper"},
};

const Known* find(REFIID riid) {
    for (const Known& entry : known) {
        if (IsEqualGUID(*entry.iid, riid)) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

const char* knownInterfaceName(REFIID riid) {
    const Known* entry = find(riid);
    return entry != nullptr ? entry->name : nullptr;
}

const std::string& queryMethodName(REFIID riid) {
    // Made once: every QueryInterface of a watched object names its method.
    static const std::vector<std::string> names = [] {
        std::vector<std::string> made;
        for (const Known& entry : known) {
            made.push_back(std::string(entry.name) + "::QueryInterface");
        }
        return made;
    }();
    static const std::string unknown = "(an unknown interface)::QueryInterface";
    const Known* entry = find(riid);
    return entry != nullptr ? names[size_t(entry - known)] : unknown;
}

std::string interfaceName(REFIID riid) {
    if (const char* name = knownInterfaceName(riid)) {
        return name;
    }
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  unsigned(riid.Data1), riid.Data2, riid.Data3, riid.Data4[0], riid.Data4[1],
                  riid.Data4[2], riid.Data4[3], riid.Data4[4], riid.Data4[5], riid.Data4[6],
                  riid.Data4[7]);
    return text;
}

}  // namespace tarvel::service
