// libFuzzer target: the input scripts a provider (columns of any type, size, ordinal; rows of
// any values and statuses; rowset properties; a failing or warning call; a failing
// allocation; the ways real providers misbehave: undescribed columns, handle arrays of their
// own, unterminated text, undefined property values, extra property sets,
// objects handed out with a failure) and a whole search runs through ModuleEntry. After every input
// nothing may be left: no reference, row or accessor handle, chapter, block or BSTR, nothing freed
// twice, and every line delivered terminated within 32,767 units.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#include "search_world.h"

namespace {

using namespace tarvel;
using namespace tarvel::testing;

constexpr DBTYPE kTypes[] = {
    DBTYPE_WSTR,
    DBTYPE_STR,
    DBTYPE_BSTR,
    DBTYPE_VARIANT,
    DBTYPE_PROPVARIANT,
    DBTYPE_IUNKNOWN,
    DBTYPE_IDISPATCH,
    DBTYPE_I1,
    DBTYPE_I2,
    DBTYPE_I4,
    DBTYPE_I8,
    DBTYPE_UI8,
    DBTYPE_R8,
    DBTYPE_BOOL,
    DBTYPE_NUMERIC,
    DBTYPE_DECIMAL,
    DBTYPE_GUID,
    DBTYPE_DBTIMESTAMP,
    DBTYPE_BYTES,
    DBTYPE_HCHAPTER,
    DBTYPE_EMPTY,
    DBTYPE_NULL,
    DBTYPE_FILETIME,
    DBTYPE_UDT,
    DBTYPE_BYREF | DBTYPE_WSTR,
    DBTYPE_BYREF | DBTYPE_I4,
    DBTYPE_ARRAY | DBTYPE_BSTR,
    DBTYPE_ARRAY | DBTYPE_I4,
    DBTYPE_VECTOR | DBTYPE_I4,
    DBTYPE_VECTOR | DBTYPE_BYREF | DBTYPE_I2,
    DBTYPE_ARRAY | DBTYPE_VECTOR | DBTYPE_I4,
    DBTYPE_ARRAY | DBTYPE_BYREF | DBTYPE_BSTR,
};

constexpr DBLENGTH kSizes[] = {
    0, 1, 2, 4, 8, 16, 24, 260, 4095, 7999, 8000, 8001, 1u << 31, DBLENGTH(1) << 63, ~DBLENGTH(0)};

// Calls a provider may answer with a warning while still keeping its contract.
constexpr const char* kWarnable[] = {
    "IRowset::GetNextRows",
    "IRowset::GetData",
    "IRowset::RestartPosition",
    "IRowset::ReleaseRows",
    "IAccessor::CreateAccessor",
    "IAccessor::ReleaseAccessor",
    "ICommand::Execute",
    "ICommandText::SetCommandText",
    "IDBInitialize::Initialize",
    "IRowsetInfo::GetProperties",
    "IChapteredRowset::ReleaseChapter",
    "ISearchQueryHelper::put_QueryMaxResults",
    "ISearchQueryHelper::GenerateSQLFromUserQuery",
};

constexpr HRESULT kFailures[] = {E_FAIL,
                                 E_OUTOFMEMORY,
                                 E_NOINTERFACE,
                                 DB_E_ERRORSOCCURRED,
                                 static_cast<HRESULT>(0x80041605),
                                 E_UNEXPECTED};
constexpr HRESULT kWarnings[] = {S_FALSE, DB_S_ERRORSOCCURRED, DB_S_ENDOFROWSET,
                                 DB_S_ROWLIMITEXCEEDED};

WString text(FuzzedDataProvider& in) {
    const size_t length = in.ConsumeIntegralInRange<size_t>(0, in.ConsumeBool() ? 40 : 5000);
    WString value;
    const WCHAR fill = WCHAR(in.ConsumeIntegral<uint16_t>());
    for (size_t i = 0; i < length; ++i) {
        value += (i % 7 == 3) ? WCHAR(in.ConsumeIntegral<uint16_t>()) : fill;
    }
    return value;
}

Cell cell(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 10)) {
        case 0:
            return Cell::null();
        case 1:
            return nullTextCell();
        case 2:
            return integerCell(in.ConsumeIntegral<int64_t>());
        case 3:
            return realCell(in.ConsumeFloatingPoint<double>());
        case 4:
            return bytesCell(in.ConsumeBytes<BYTE>(in.ConsumeIntegralInRange(0, 64)));
        case 5:
            return chapterCell(in.ConsumeIntegralInRange<HCHAPTER>(1, 4));
        case 6:
            return objectCell(text(in));
        case 7:
            return textsCell({text(in), text(in)});
        case 8:
            return Cell::ofStatus(in.ConsumeIntegralInRange<DBSTATUS>(0, 14));
        default:
            return Cell::ofText(text(in));
    }
}

Table table(FuzzedDataProvider& in, service::Quirks& quirks) {
    Table result;
    const size_t columns = in.ConsumeIntegralInRange<size_t>(0, 6);
    for (size_t i = 0; i < columns; ++i) {
        TableColumn column;
        switch (in.ConsumeIntegralInRange(0, 9)) {
            case 0:
                column.ordinal = 0;
                break;
            case 1:
                column.ordinal = in.ConsumeIntegralInRange<DBORDINAL>(0, 9);
                break;
            default:
                column.ordinal = i + 1;
        }
        column.type = in.ConsumeBool() ? in.PickValueInArray(kTypes) : in.ConsumeIntegral<DBTYPE>();
        column.size =
            in.ConsumeBool() ? in.PickValueInArray(kSizes) : in.ConsumeIntegral<DBLENGTH>();
        result.columns.push_back(column);
    }
    if (in.ConsumeBool()) {
        result.properties[DBPROP_ISequentialStream] = in.ConsumeBool();
    }
    if (in.ConsumeBool()) {
        result.properties[DBPROP_IStream] = in.ConsumeBool();
    }
    quirks.refusesNullAccessor = !in.ConsumeBool();
    quirks.refusesWhileRowsHeld = in.ConsumeIntegralInRange(0, 7) == 0;
    if (in.ConsumeIntegralInRange(0, 3) == 0) {
        quirks.columnsWithoutInfo = in.ConsumeIntegralInRange(0, 7) == 0;
        quirks.ownRowArrays = in.ConsumeBool();
        // One byte: the low two bits are the rows per fetch, the third asks for empty arrays.
        const size_t fetching = in.ConsumeIntegralInRange<size_t>(0, 7);
        quirks.rowsPerFetch = fetching & 3;
        quirks.emptyOwnArrays = (fetching & 4) != 0;
        quirks.unterminatedText = in.ConsumeBool();
        quirks.undefinedUnsupportedValues = in.ConsumeBool();
        quirks.extraPropertySet = in.ConsumeBool();
    }
    const size_t rows = in.ConsumeIntegralInRange<size_t>(0, 4);
    for (size_t r = 0; r < rows; ++r) {
        service::Row row;
        for (size_t c = 0; c < columns; ++c) {
            row.push_back(cell(in));
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}

// Problems that the module's own rules leave in the provider's hands, by design: a chapter
// whose rowset would not give IChapteredRowset, an accessor handle whose IAccessor query
// failed at teardown. The provider lets both go with the rowset.
bool tolerated(const std::string& problem, const Journal& failedCalls) {
    auto failed = [&](const char* call) {
        for (const std::string& entry : failedCalls) {
            if (entry.rfind(call, 0) == 0) {
                return true;
            }
        }
        return false;
    };
    if (problem.rfind("chapters held", 0) == 0) {
        return failed("IRowset::QueryInterface(IChapteredRowset)");
    }
    if (problem.rfind("accessors held", 0) == 0) {
        return failed("IRowset::QueryInterface(IAccessor)");
    }
    return false;
}

}  // namespace

// Short allocation stacks and a smaller quarantine make every input cheaper; a finding is
// reproduced with the full ones by setting ASAN_OPTIONS.
extern "C" const char* __asan_default_options() {
    return "malloc_context_size=2:quarantine_size_mb=16";
}

namespace {

// The world is set up once per process (apartment, registrations, the ledger's spy) and put
// back to its new state before every input; it keeps no journal, only the calls it failed.
// TARVEL_FUZZ_JOURNAL=1 keeps the journal, to see the calls of an input that fails.
SearchWorld& theWorld() {
    static SearchWorld* world = [] {
        auto* made = new SearchWorld;
        if (!made->ready()) {
            for (const std::string& problem : made->leftovers()) {
                std::fprintf(stderr, "%s\n", problem.c_str());
            }
            std::abort();
        }
        return made;
    }();
    return *world;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool journaling = std::getenv("TARVEL_FUZZ_JOURNAL") != nullptr;
    FuzzedDataProvider in(data, size);
    SearchWorld& world = theWorld();
    world.reset();
    world.instrumentation.keepJournal(journaling);
    world.setTable(table(in, world.quirks));
    world.quirks.strayOnFailure = in.ConsumeIntegralInRange(0, 3) == 0;
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 1:
            world.instrumentation.failNth(in.ConsumeIntegralInRange<long>(1, 80),
                                          in.PickValueInArray(kFailures));
            break;
        case 2:
            world.instrumentation.failCall(in.PickValueInArray(kWarnable),
                                           in.PickValueInArray(kWarnings),
                                           in.ConsumeIntegralInRange(1, 3));
            break;
        default:
            break;
    }
    if (in.ConsumeIntegralInRange(0, 7) == 0) {
        ModuleAllocatorProbe::failAllocation(in.ConsumeIntegralInRange<long>(1, 12));
    }
    const int32_t maxResults = in.ConsumeIntegral<int32_t>();
    const int32_t result = world.search(TARVEL_UTF16("fuzz"), maxResults);
    ModuleAllocatorProbe::failAllocation(0);
    bool clean = result == 0;
    for (const std::string& problem : world.leftovers()) {
        if (!tolerated(problem, world.instrumentation.failedCalls())) {
            std::fprintf(stderr, "left behind: %s\n", problem.c_str());
            clean = false;
        }
    }
    if (!clean) {
        for (const std::string& entry : world.instrumentation.failedCalls()) {
            std::fprintf(stderr, "  failed: %s\n", entry.c_str());
        }
        for (const std::string& entry : world.instrumentation.journal()) {
            std::fprintf(stderr, "  %s\n", entry.c_str());
        }
        std::abort();
    }
    // What the input made goes now: an input that frees what it allocates is no leak to
    // libFuzzer, which would run it again to look for one.
    world.reset();
    return 0;
}
