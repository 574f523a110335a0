#include "sql_query.h"

#include <string>

namespace tarvel::service {

namespace {

struct Token {
    enum class Kind { Word, Number, Identifier, String, Comma, Equals, End };
    Kind kind = Kind::End;
    WString text;
};

class Tokenizer {
public:
    explicit Tokenizer(const WString& text) : text_(text) {}

    bool next(Token& token) {
        while (pos_ < text_.size() && (text_[pos_] == u' ' || text_[pos_] == u'\t')) {
            ++pos_;
        }
        token.text.clear();
        if (pos_ == text_.size()) {
            token.kind = Token::Kind::End;
            return true;
        }
        const WCHAR unit = text_[pos_];
        if (unit == u',' || unit == u'=') {
            token.kind = unit == u',' ? Token::Kind::Comma : Token::Kind::Equals;
            ++pos_;
            return true;
        }
        if (unit == u'"') {
            const size_t close = text_.find(u'"', pos_ + 1);
            if (close == WString::npos) {
                return false;
            }
            token.kind = Token::Kind::Identifier;
            token.text = text_.substr(pos_ + 1, close - pos_ - 1);
            pos_ = close + 1;
            return true;
        }
        if (unit == u'\'') {
            token.kind = Token::Kind::String;
            for (++pos_; pos_ < text_.size(); ++pos_) {
                if (text_[pos_] == u'\'') {
                    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\'') {
                        token.text += u'\'';
                        ++pos_;
                    } else {
                        ++pos_;
                        return true;
                    }
                } else {
                    token.text += text_[pos_];
                }
            }
            return false;
        }
        if (unit >= u'0' && unit <= u'9') {
            token.kind = Token::Kind::Number;
            while (pos_ < text_.size() && text_[pos_] >= u'0' && text_[pos_] <= u'9') {
                token.text += text_[pos_++];
            }
            return true;
        }
        if ((unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z')) {
            token.kind = Token::Kind::Word;
            while (pos_ < text_.size() && ((text_[pos_] >= u'A' && text_[pos_] <= u'Z') ||
                                           (text_[pos_] >= u'a' && text_[pos_] <= u'z'))) {
                token.text += lowerAscii(text_[pos_++]);
            }
            return true;
        }
        return false;
    }

private:
    const WString& text_;
    size_t pos_ = 0;
};

bool isWord(const Token& token, const char* word) {
    return token.kind == Token::Kind::Word && token.text == ascii(word);
}

bool validPattern(const WString& pattern) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'[') {
            if (i + 2 >= pattern.size() || pattern[i + 2] != u']') {
                return false;
            }
            i += 2;
        }
    }
    return true;
}

}  // namespace

HRESULT parseSql(const WString& text, SqlQuery& query) {
    query = SqlQuery{};
    Tokenizer tokens(text);
    Token token;
    if (!tokens.next(token) || !isWord(token, "select") || !tokens.next(token)) {
        return DB_E_ERRORSINCOMMAND;
    }
    if (isWord(token, "top")) {
        // Any count the helper can be given: 1 to 2147483647.
        if (!tokens.next(token) || token.kind != Token::Kind::Number || token.text.size() > 10) {
            return DB_E_ERRORSINCOMMAND;
        }
        const long long top = std::stoll(utf8FromUtf16(token.text));
        if (top <= 0 || top > 2147483647 || !tokens.next(token)) {
            return DB_E_ERRORSINCOMMAND;
        }
        query.top = long(top);
    }
    for (;;) {
        if (token.kind != Token::Kind::Identifier || token.text != kItemPathDisplay) {
            return DB_E_ERRORSINCOMMAND;
        }
        query.columns.push_back(token.text);
        if (!tokens.next(token)) {
            return DB_E_ERRORSINCOMMAND;
        }
        if (token.kind != Token::Kind::Comma) {
            break;
        }
        if (!tokens.next(token)) {
            return DB_E_ERRORSINCOMMAND;
        }
    }
    if (!isWord(token, "from") || !tokens.next(token) || token.kind != Token::Kind::Identifier ||
        token.text != kSystemIndex || !tokens.next(token)) {
        return DB_E_ERRORSINCOMMAND;
    }
    if (token.kind == Token::Kind::End) {
        return S_OK;
    }
    if (!isWord(token, "where")) {
        return DB_E_ERRORSINCOMMAND;
    }
    do {
        Token column;
        Token operation;
        Token value;
        if (!tokens.next(column) || column.kind != Token::Kind::Identifier ||
            !tokens.next(operation) || !tokens.next(value) || value.kind != Token::Kind::String) {
            return DB_E_ERRORSINCOMMAND;
        }
        if (column.text == ascii("System.FileName") && isWord(operation, "like") &&
            validPattern(value.text)) {
            query.conditions.push_back({SqlCondition::Kind::NameLike, value.text});
        } else if (column.text == ascii("System.FileExtension") &&
                   operation.kind == Token::Kind::Equals) {
            query.conditions.push_back({SqlCondition::Kind::ExtensionEquals, value.text});
        } else {
            return DB_E_ERRORSINCOMMAND;
        }
        if (!tokens.next(token)) {
            return DB_E_ERRORSINCOMMAND;
        }
    } while (isWord(token, "and"));
    return token.kind == Token::Kind::End ? S_OK : DB_E_ERRORSINCOMMAND;
}

bool likeMatches(const WString& pattern, const WString& text) {
    // Greedy matching with one remembered % to fall back to.
    size_t p = 0;
    size_t t = 0;
    size_t starP = WString::npos;
    size_t starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'%') {
            starP = ++p;
            starT = t;
            continue;
        }
        if (p < pattern.size()) {
            bool single = false;
            WCHAR literal = 0;
            size_t width = 1;
            if (pattern[p] == u'_') {
                single = true;
            } else if (pattern[p] == u'[') {
                if (p + 2 >= pattern.size() || pattern[p + 2] != u']') {
                    return false;
                }
                literal = pattern[p + 1];
                width = 3;
            } else {
                literal = pattern[p];
            }
            if (single || lowerAscii(literal) == lowerAscii(text[t])) {
                p += width;
                ++t;
                continue;
            }
        }
        if (starP == WString::npos) {
            return false;
        }
        p = starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == u'%') {
        ++p;
    }
    return p == pattern.size();
}

bool extensionIs(const WString& name, const WString& extension) {
    // Every item of a walk meets this: nothing is copied.
    const size_t dot = name.find_last_of(u'.');
    const size_t length = dot == WString::npos ? 0 : name.size() - dot;
    if (length != extension.size()) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (lowerAscii(name[dot + i]) != lowerAscii(extension[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace tarvel::service
