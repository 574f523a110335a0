#include "check_names.h"

#include <cstdio>

#include "host_platform.h"

namespace tarvel::host {

const char* statusName(CatalogStatus status) {
    switch (status) {
        case CATALOG_STATUS_IDLE:
            return "idle";
        case CATALOG_STATUS_PAUSED:
            return "paused";
        case CATALOG_STATUS_RECOVERING:
            return "recovering";
        case CATALOG_STATUS_FULL_CRAWL:
            return "indexing everything (full crawl)";
        case CATALOG_STATUS_INCREMENTAL_CRAWL:
            return "indexing changes (incremental crawl)";
        case CATALOG_STATUS_PROCESSING_NOTIFICATIONS:
            return "processing notifications of changes";
        case CATALOG_STATUS_SHUTTING_DOWN:
            return "shutting down";
        default:
            return "in an unknown state";
    }
}

RuleNames ruleNames(CLUSION_REASON rule) {
    switch (rule) {
        case CLUSIONREASON_DEFAULT:
            return {"by a default rule", "default"};
        case CLUSIONREASON_USER:
            return {"by a rule a user set", "user"};
        case CLUSIONREASON_GROUPPOLICY:
            return {"by group policy", "group policy"};
        default:
            return {"no rule covers it", "none"};
    }
}

const char* outcomeName(SearchFact::Outcome outcome) {
    switch (outcome) {
        case SearchFact::Outcome::NoFile:
            return "no file";
        case SearchFact::Outcome::NoSearchableName:
            return "no searchable name";
        case SearchFact::Outcome::QueryRejected:
            return "query rejected";
        case SearchFact::Outcome::CameBack:
            return "came back";
        case SearchFact::Outcome::CameBackCut:
            return "came back cut";
        case SearchFact::Outcome::OnlyMessages:
            return "only messages";
        default:
            return "did not come back";
    }
}

std::string typeName(DBTYPE type) {
    static const struct {
        DBTYPE type;
        const char* name;
    } kNames[] = {
        {DBTYPE_EMPTY, "DBTYPE_EMPTY"},
        {DBTYPE_NULL, "DBTYPE_NULL"},
        {DBTYPE_I2, "DBTYPE_I2"},
        {DBTYPE_I4, "DBTYPE_I4"},
        {DBTYPE_R4, "DBTYPE_R4"},
        {DBTYPE_R8, "DBTYPE_R8"},
        {DBTYPE_CY, "DBTYPE_CY"},
        {DBTYPE_DATE, "DBTYPE_DATE"},
        {DBTYPE_BSTR, "DBTYPE_BSTR"},
        {DBTYPE_IDISPATCH, "DBTYPE_IDISPATCH"},
        {DBTYPE_ERROR, "DBTYPE_ERROR"},
        {DBTYPE_BOOL, "DBTYPE_BOOL"},
        {DBTYPE_VARIANT, "DBTYPE_VARIANT"},
        {DBTYPE_IUNKNOWN, "DBTYPE_IUNKNOWN"},
        {DBTYPE_DECIMAL, "DBTYPE_DECIMAL"},
        {DBTYPE_I1, "DBTYPE_I1"},
        {DBTYPE_UI1, "DBTYPE_UI1"},
        {DBTYPE_UI2, "DBTYPE_UI2"},
        {DBTYPE_UI4, "DBTYPE_UI4"},
        {DBTYPE_I8, "DBTYPE_I8"},
        {DBTYPE_UI8, "DBTYPE_UI8"},
        {DBTYPE_FILETIME, "DBTYPE_FILETIME"},
        {DBTYPE_GUID, "DBTYPE_GUID"},
        {DBTYPE_BYTES, "DBTYPE_BYTES"},
        {DBTYPE_STR, "DBTYPE_STR"},
        {DBTYPE_WSTR, "DBTYPE_WSTR"},
        {DBTYPE_NUMERIC, "DBTYPE_NUMERIC"},
        {DBTYPE_DBDATE, "DBTYPE_DBDATE"},
        {DBTYPE_DBTIME, "DBTYPE_DBTIME"},
        {DBTYPE_DBTIMESTAMP, "DBTYPE_DBTIMESTAMP"},
        {DBTYPE_HCHAPTER, "DBTYPE_HCHAPTER"},
        {DBTYPE_PROPVARIANT, "DBTYPE_PROPVARIANT"},
    };
    std::string name;
    for (const auto& [bit, modifier] :
         {std::pair<DBTYPE, const char*>{DBTYPE_BYREF, "DBTYPE_BYREF"},
          {DBTYPE_ARRAY, "DBTYPE_ARRAY"},
          {DBTYPE_VECTOR, "DBTYPE_VECTOR"}}) {
        if ((type & bit) != 0) {
            name += std::string(modifier) + "|";
        }
    }
    const DBTYPE base = DBTYPE(type & ~(DBTYPE_BYREF | DBTYPE_ARRAY | DBTYPE_VECTOR));
    const char* baseName = "DBTYPE_?";
    for (const auto& known : kNames) {
        if (known.type == base) {
            baseName = known.name;
        }
    }
    return name + baseName;
}

namespace {

// The length of the well-formed UTF-8 sequence at text[at], and its code point; 0 for a byte
// that starts none.
size_t sequenceAt(const std::string& text, size_t at, uint32_t* code) {
    const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    if (lead < 0x80) {
        *code = lead;
        return 1;
    }
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    uint32_t value = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) {
        return 0;
    }
    *code = value;
    return length;
}

}  // namespace

std::string shown(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    char escape[8];
    for (size_t at = 0; at < text.size();) {
        uint32_t code = 0;
        const size_t length = sequenceAt(text, at, &code);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02X",
                          unsigned(static_cast<unsigned char>(text[at])));
            result += escape;
            ++at;
            continue;
        }
        if (code == '\n' || code == '\r' || code == '\t') {
            result += code == '\n' ? "\\n" : code == '\r' ? "\\r" : "\\t";
        } else if (code < 0x20 || code == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02X", unsigned(code));
            result += escape;
        } else if (code >= 0x80 && code < 0xA0) {
            std::snprintf(escape, sizeof escape, "\\u%04X", unsigned(code));
            result += escape;
        } else {
            result.append(text, at, length);
        }
        at += length;
    }
    return result;
}

std::string shown(const WString& text) {
    return shown(platform::textForOutput(text));
}

}  // namespace tarvel::host
