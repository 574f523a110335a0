#include "query_syntax.h"

#include <set>
#include <string>
#include <utility>

namespace tarvel::service {

namespace {

bool isBlank(WCHAR unit) {
    return unit == u' ' || unit == u'\t';
}

bool startsWithExt(const WString& token) {
    return token.size() >= 4 && lowerAscii(token[0]) == u'e' && lowerAscii(token[1]) == u'x' &&
           lowerAscii(token[2]) == u't' && token[3] == u':';
}

// A string literal's content: quotes doubled.
WString quoted(const WString& text) {
    WString out;
    for (WCHAR unit : text) {
        out += unit;
        if (unit == u'\'') {
            out += u'\'';
        }
    }
    return out;
}

// Characters LIKE would read as wildcards, escaped in brackets.
WString likeLiteral(const WString& text) {
    WString out;
    for (WCHAR unit : text) {
        if (unit == u'%' || unit == u'_' || unit == u'[') {
            out += u'[';
            out += unit;
            out += u']';
        } else {
            out += unit;
        }
    }
    return quoted(out);
}

WString likePattern(const WString& text) {
    WString out;
    for (WCHAR unit : text) {
        if (unit == u'*') {
            out += u'%';
        } else if (unit == u'?') {
            out += u'_';
        } else {
            out += likeLiteral(WString(1, unit));
        }
    }
    return out;
}

bool validColumn(const WString& name) {
    if (name.empty()) {
        return false;
    }
    for (WCHAR unit : name) {
        const bool letter = (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
        const bool digit = unit >= u'0' && unit <= u'9';
        if (!letter && !digit && unit != u'.' && unit != u'_') {
            return false;
        }
    }
    return true;
}

HRESULT selectList(const WString& columns, WString& out) {
    WString list = columns.empty() ? WString(kItemPathDisplay) : columns;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(u',', start);
        if (end == WString::npos) {
            end = list.size();
        }
        WString name = list.substr(start, end - start);
        while (!name.empty() && isBlank(name.front())) {
            name.erase(name.begin());
        }
        while (!name.empty() && isBlank(name.back())) {
            name.pop_back();
        }
        if (!validColumn(name)) {
            return E_INVALIDARG;
        }
        if (!out.empty()) {
            out += ascii(", ");
        }
        out += u'"';
        out += name;
        out += u'"';
        start = end + 1;
    }
    return S_OK;
}

}  // namespace

HRESULT parseUserQuery(const WString& query, std::vector<QueryTerm>& terms) {
    terms.clear();
    // A term that is already there, letters A-Z without case, adds nothing: it is left out, so
    // a query that repeats itself costs what its distinct terms cost.
    std::set<std::pair<QueryTerm::Kind, WString>> seen;
    auto add = [&](QueryTerm::Kind kind, WString text) {
        WString folded = text;
        for (WCHAR& unit : folded) {
            unit = lowerAscii(unit);
        }
        if (seen.emplace(kind, std::move(folded)).second) {
            terms.push_back({kind, std::move(text)});
        }
    };
    size_t i = 0;
    while (i < query.size()) {
        if (isBlank(query[i])) {
            ++i;
            continue;
        }
        if (query[i] == u'"') {
            const size_t close = query.find(u'"', i + 1);
            if (close == WString::npos || close == i + 1) {
                return QUERY_E_INVALIDQUERY;
            }
            add(QueryTerm::Kind::Phrase, query.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        size_t end = i;
        while (end < query.size() && !isBlank(query[end])) {
            ++end;
        }
        const WString token = query.substr(i, end - i);
        i = end;
        if (token.find(u'"') != WString::npos) {
            return QUERY_E_INVALIDQUERY;
        }
        if (startsWithExt(token)) {
            WString extension = token.substr(4);
            if (!extension.empty() && extension.front() == u'.') {
                extension.erase(extension.begin());
            }
            if (extension.empty() || extension.find_first_of(ascii("*?")) != WString::npos) {
                return QUERY_E_INVALIDQUERY;
            }
            add(QueryTerm::Kind::Extension, extension);
        } else if (token.find_first_of(ascii("*?")) != WString::npos) {
            add(QueryTerm::Kind::Pattern, token);
        } else {
            add(QueryTerm::Kind::Word, token);
        }
    }
    return terms.empty() ? QUERY_E_ALLNOISE : S_OK;
}

HRESULT generateSql(const WString& query, const QueryHelperSettings& settings, WString& sql) {
    std::vector<QueryTerm> terms;
    HRESULT hr = parseUserQuery(query, terms);
    if (FAILED(hr)) {
        return hr;
    }
    WString columns;
    hr = selectList(settings.selectColumns, columns);
    if (FAILED(hr)) {
        return hr;
    }
    sql = ascii("SELECT ");
    if (settings.maxResults > 0) {
        const std::string top = std::to_string(settings.maxResults);
        sql += ascii("TOP ") + WString(top.begin(), top.end()) + WCHAR(' ');
    }
    sql += columns + ascii(" FROM \"") + kSystemIndex + ascii("\" WHERE ");
    for (size_t k = 0; k < terms.size(); ++k) {
        if (k != 0) {
            sql += ascii(" AND ");
        }
        const QueryTerm& term = terms[k];
        switch (term.kind) {
            case QueryTerm::Kind::Word:
            case QueryTerm::Kind::Phrase:
                sql += ascii("\"System.FileName\" LIKE '%") + likeLiteral(term.text) + ascii("%'");
                break;
            case QueryTerm::Kind::Pattern:
                sql += ascii("\"System.FileName\" LIKE '") + likePattern(term.text) + WCHAR('\'');
                break;
            case QueryTerm::Kind::Extension:
                sql += ascii("\"System.FileExtension\" = '.") + quoted(term.text) + WCHAR('\'');
                break;
        }
    }
    return S_OK;
}

}  // namespace tarvel::service
