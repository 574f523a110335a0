#include "instrumentation.h"

#include <cstdio>

#include "com_object.h"

namespace tarvel::service {

Instrumentation::~Instrumentation() {
    for (auto it = objects_.rbegin(); it != objects_.rend(); ++it) {
        delete *it;
    }
}

std::optional<HRESULT> Instrumentation::enter(std::string_view method, std::string_view detail) {
    std::string entry(method);
    entry += '(';
    entry += detail;
    entry += ')';
    ++calls_;
    std::optional<HRESULT> failure;
    if (failAt_ != 0 && calls_ == failAt_) {
        failure = failAtResult_;
    }
    for (PlannedFailure& plan : planned_) {
        if (plan.pattern == method || plan.pattern == entry) {
            if (++plan.seen == plan.occurrence && !failure) {
                failure = plan.hr;
            }
        }
    }
    if (failure) {
        entry += " -> " + hresultText(*failure);
    }
    journal_.push_back(std::move(entry));
    return failure;
}

void Instrumentation::note(std::string entry) {
    journal_.push_back(std::move(entry));
}

HRESULT Instrumentation::unexpected(std::string_view method) {
    std::string entry(method);
    journal_.push_back(entry + "()");
    errors_.push_back("unexpected call " + entry);
    return E_NOTIMPL;
}

void Instrumentation::error(std::string message) {
    errors_.push_back(std::move(message));
}

std::vector<std::string> Instrumentation::journalMatching(std::string_view fragment) const {
    std::vector<std::string> matching;
    for (const std::string& entry : journal_) {
        if (entry.find(fragment) != std::string::npos) {
            matching.push_back(entry);
        }
    }
    return matching;
}

void Instrumentation::failCall(std::string pattern, HRESULT hr, int occurrence) {
    planned_.push_back(PlannedFailure{std::move(pattern), hr, occurrence});
}

void Instrumentation::failNth(long n, HRESULT hr) {
    failAt_ = n;
    failAtResult_ = hr;
}

void Instrumentation::adopt(ObjectCore* object) {
    objects_.push_back(object);
}

std::vector<std::string> Instrumentation::liveObjects() const {
    std::vector<std::string> live;
    for (const ObjectCore* object : objects_) {
        if (object->references() != 0) {
            live.push_back(object->name() + ": " + std::to_string(object->references()));
        }
    }
    return live;
}

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

std::string interfaceName(REFIID riid) {
    struct Known {
        const IID* iid;
        const char* name;
    };
    static const Known known[] = {
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
        {&IID_ISearchQueryHelper, "ISearchQueryHelper"},
    };
    for (const Known& entry : known) {
        if (IsEqualGUID(*entry.iid, riid)) {
            return entry.name;
        }
    }
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  unsigned(riid.Data1), riid.Data2, riid.Data3, riid.Data4[0], riid.Data4[1],
                  riid.Data4[2], riid.Data4[3], riid.Data4[4], riid.Data4[5], riid.Data4[6],
                  riid.Data4[7]);
    return text;
}

std::string hresultText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(hr));
    return text;
}

}  // namespace tarvel::service
