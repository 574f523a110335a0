#include "bench_world.h"

#include <cstring>

namespace tarvel::bench {

namespace {

const char kSql[] = "SELECT \"System.ItemPathDisplay\" FROM \"SystemIndex\" WHERE x";

struct CopyingHost {
    HostAppInfo info{&CopyingHost::receive};
    size_t lines = 0;
    WCHAR copy[32768];

    static int32_t receive(HostAppInfo* info, uint32_t request, void* data) {
        auto* host = reinterpret_cast<CopyingHost*>(info);
        if (request == HostOutputLine) {
            const auto* line = static_cast<const WCHAR*>(data);
            const size_t length = std::char_traits<WCHAR>::length(line);
            std::memcpy(host->copy, line, (length + 1) * sizeof(WCHAR));
            ++host->lines;
        }
        return 0;
    }
};

}  // namespace

BenchWorld::BenchWorld() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    searchConfig_.generator = [](const WString&, const service::QueryHelperSettings&,
                                 WString& sql) {
        sql = utf16FromUtf8(kSql);
        return S_OK;
    };
    // The stand-in provider, opened by its ProgID as the module opens the real one, serves
    // BenchRowsets: its own rowset is not as lean as the bare loop's.
    providerConfig_.backend = [](const WString&, std::shared_ptr<const service::Table>& table) {
        table = std::make_shared<const service::Table>();
        return S_OK;
    };
    providerConfig_.makeRowset = [this](service::ObjectCore*, std::shared_ptr<const service::Table>,
                                        REFIID riid, IUnknown** rowset) {
        BenchRowset* rows = BenchRowset::create(rows_);
        const HRESULT hr = rows->QueryInterface(riid, reinterpret_cast<void**>(rowset));
        rows->Release();
        return hr;
    };
    registration_.add(CLSID_CSearchManager, CLSCTX_LOCAL_SERVER, service::SearchManager::make,
                      &searchConfig_);
    registration_.add(service::CLSID_StandInProvider, CLSCTX_INPROC_SERVER,
                      service::ProviderDataSource::make, &providerConfig_);
    progId_.add(TARVEL_UTF16("Search.CollatorDSO.1"), service::CLSID_StandInProvider);
}

BenchWorld::~BenchWorld() {
    progId_.remove();
    registration_.revoke();
    CoUninitialize();
}

size_t BenchWorld::searchThroughModule(size_t rows) {
    rows_ = rows;
    CopyingHost host;
    SearchRequest request{TARVEL_UTF16("report"), 0, -1};
    ModuleEntry(&host.info, CommandSearch, &request);
    return host.lines;
}

size_t BenchWorld::bareLoop(size_t rows) {
    CopyingHost host;
    BenchRowset* rowset = BenchRowset::create(rows);
    // The row layout the module makes for the path column: value, length, status.
    DBBINDING binding{};
    binding.iOrdinal = 1;
    binding.obValue = 0;
    binding.obLength = 8192;
    binding.obStatus = 8200;
    binding.dwPart = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
    binding.cbMaxLen = 8192;
    binding.wType = DBTYPE_WSTR;
    HACCESSOR accessor = 0;
    rowset->CreateAccessor(DBACCESSOR_ROWDATA, 1, &binding, 8204, &accessor, nullptr);
    alignas(8) static BYTE buffer[8208];
    HROW row = 0;
    HROW* handles = &row;
    DBCOUNTITEM obtained = 0;
    while (rowset->GetNextRows(0, 0, 1, &obtained, &handles) == S_OK) {
        rowset->GetData(row, accessor, buffer);
        rowset->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
        host.info.callback(&host.info, HostOutputLine, buffer);
    }
    rowset->ReleaseAccessor(accessor, nullptr);
    rowset->Release();
    return host.lines;
}

}  // namespace tarvel::bench
