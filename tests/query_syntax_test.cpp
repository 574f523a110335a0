// The stand-in query helper's syntax and the SQL it generates, and the provider's reading of
// that SQL: what one writes, the other must accept, and nothing else.
#include <gtest/gtest.h>

#include "folder_rows.h"
#include "query_syntax.h"
#include "sql_query.h"

namespace tarvel {
namespace {

using service::QueryHelperSettings;
using service::SqlCondition;
using service::SqlQuery;

WString w(const char* text) {
    return utf16FromUtf8(text);
}

std::string sqlFor(const char* query, LONG maxResults = -1,
                   const char* columns = "System.ItemPathDisplay", HRESULT* result = nullptr) {
    QueryHelperSettings settings;
    settings.maxResults = maxResults;
    settings.selectColumns = w(columns);
    WString sql;
    const HRESULT hr = service::generateSql(w(query), settings, sql);
    if (result != nullptr) {
        *result = hr;
    }
    return utf8FromUtf16(sql);
}

TEST(QuerySyntax, WordsPhrasesWildcardsAndExtensionsBecomeConditions) {
    EXPECT_EQ(
        "SELECT TOP 10 \"System.ItemPathDisplay\" FROM \"SystemIndex\" WHERE "
        "\"System.FileName\" LIKE '%report%' AND \"System.FileName\" LIKE '%annual review%' AND "
        "\"System.FileName\" LIKE '%.txt' AND \"System.FileName\" LIKE 'r_p%' AND "
        "\"System.FileExtension\" = '.docx'",
        sqlFor("report \"annual review\" *.txt r?p* ext:.docx", 10));
}

TEST(QuerySyntax, MaximumCountOnlyLimitsWhenPositive) {
    EXPECT_EQ(0u, sqlFor("x", 1).find("SELECT TOP 1 \"System.ItemPathDisplay\""));
    for (LONG unlimited : {0, -1, -50}) {
        EXPECT_EQ(0u, sqlFor("x", unlimited).find("SELECT \"System.ItemPathDisplay\" FROM"))
            << unlimited;
    }
}

TEST(QuerySyntax, LiteralCharactersAreEscapedForLikeAndStrings) {
    EXPECT_NE(std::string::npos, sqlFor("100%").find("LIKE '%100[%]%'"));
    EXPECT_NE(std::string::npos, sqlFor("under_score").find("LIKE '%under[_]score%'"));
    EXPECT_NE(std::string::npos, sqlFor("a[1]").find("LIKE '%a[[]1]%'"));
    EXPECT_NE(std::string::npos, sqlFor("o'brien").find("LIKE '%o''brien%'"));
    EXPECT_NE(std::string::npos, sqlFor("\"a * b?\"").find("LIKE '%a * b?%'"));
    EXPECT_NE(std::string::npos, sqlFor("ext:o'k").find("= '.o''k'"));
}

TEST(QuerySyntax, SelectedColumnsAreQuotedAsSet) {
    EXPECT_EQ(0u, sqlFor("x", -1, "System.ItemPathDisplay, System.Size")
                      .find("SELECT \"System.ItemPathDisplay\", \"System.Size\" FROM"));
    EXPECT_EQ(0u, sqlFor("x", -1, "").find("SELECT \"System.ItemPathDisplay\" FROM"));
    HRESULT hr = S_OK;
    sqlFor("x", -1, "System.Item\"Path", &hr);
    EXPECT_EQ(E_INVALIDARG, hr);
}

TEST(QuerySyntax, QueriesItCannotReadAreRejected) {
    for (const char* bad : {"\"unterminated", "\"\"", "ext:", "ext:.", "ext:t*t", "ab\"cd"}) {
        HRESULT hr = S_OK;
        sqlFor(bad, -1, "System.ItemPathDisplay", &hr);
        EXPECT_EQ(service::QUERY_E_INVALIDQUERY, hr) << bad;
    }
    for (const char* empty : {"", "   ", "\t"}) {
        HRESULT hr = S_OK;
        sqlFor(empty, -1, "System.ItemPathDisplay", &hr);
        EXPECT_EQ(service::QUERY_E_ALLNOISE, hr) << empty;
    }
}

TEST(QuerySyntax, RepeatedTermsAreSearchedOnce) {
    std::string many;
    for (int i = 0; i < 20000; ++i) {
        many += i % 2 == 0 ? "report " : "REPORT ";
    }
    EXPECT_EQ(sqlFor("report"), sqlFor(many.c_str()));
    EXPECT_EQ(sqlFor("report ext:txt"), sqlFor("report ext:txt Report ext:.TXT"));
    // Different terms stay, in the order first given.
    const std::string two = sqlFor("b a b");
    EXPECT_LT(two.find("%b%"), two.find("%a%"));
}

TEST(SqlQuery, ReadsWhatTheHelperWrites) {
    SqlQuery query;
    ASSERT_EQ(S_OK,
              service::parseSql(utf16FromUtf8(sqlFor("report *.txt ext:md \"o'k\"", 7)), query));
    EXPECT_EQ(7, query.top);
    ASSERT_EQ(1u, query.columns.size());
    ASSERT_EQ(4u, query.conditions.size());
    EXPECT_EQ(SqlCondition::Kind::NameLike, query.conditions[0].kind);
    EXPECT_EQ(w("%report%"), query.conditions[0].value);
    EXPECT_EQ(w("%.txt"), query.conditions[1].value);
    EXPECT_EQ(SqlCondition::Kind::ExtensionEquals, query.conditions[2].kind);
    EXPECT_EQ(w(".md"), query.conditions[2].value);
    EXPECT_EQ(w("%o'k%"), query.conditions[3].value);
}

TEST(SqlQuery, RejectsEverythingElse) {
    for (const char* bad : {
             "",
             "SELECT",
             "SELECT \"System.ItemPathDisplay\"",
             "SELECT \"System.ItemUrl\" FROM \"SystemIndex\"",
             "SELECT \"System.ItemPathDisplay\" FROM \"OtherIndex\"",
             "SELECT TOP 0 \"System.ItemPathDisplay\" FROM \"SystemIndex\"",
             "SELECT TOP x \"System.ItemPathDisplay\" FROM \"SystemIndex\"",
             "SELECT \"System.ItemPathDisplay\" FROM \"SystemIndex\" WHERE",
             "SELECT \"System.ItemPathDisplay\" FROM \"SystemIndex\" WHERE \"System.Size\" > '1'",
             "SELECT \"System.ItemPathDisplay\" FROM \"SystemIndex\" WHERE \"System.FileName\" "
             "LIKE 'a[b'",
             "SELECT \"System.ItemPathDisplay\" FROM \"SystemIndex\" WHERE \"System.FileName\" "
             "LIKE 'open",
             "SELECT \"System.ItemPathDisplay\" FROM \"SystemIndex\" ORDER BY x",
             "DROP TABLE x",
         }) {
        SqlQuery query;
        EXPECT_EQ(DB_E_ERRORSINCOMMAND, service::parseSql(w(bad), query)) << bad;
    }
    SqlQuery query;
    EXPECT_EQ(S_OK, service::parseSql(w("select \"System.ItemPathDisplay\" from \"SystemIndex\""),
                                      query));
    EXPECT_TRUE(query.conditions.empty());
    // Every count a host can give, and no more.
    for (LONG top : {LONG(1), LONG(999999999), LONG(1000000000), LONG(2147483647)}) {
        EXPECT_EQ(S_OK, service::parseSql(w(sqlFor("x", top).c_str()), query)) << top;
        EXPECT_EQ(top, query.top);
    }
    EXPECT_EQ(DB_E_ERRORSINCOMMAND,
              service::parseSql(w("SELECT TOP 2147483648 \"System.ItemPathDisplay\" FROM "
                                  "\"SystemIndex\""),
                                query));
    EXPECT_EQ(DB_E_ERRORSINCOMMAND,
              service::parseSql(w("SELECT TOP 10000000000 \"System.ItemPathDisplay\" FROM "
                                  "\"SystemIndex\""),
                                query));
}

TEST(SqlQuery, LikeMatchesWholeNamesWithWildcardsAndEscapes) {
    EXPECT_TRUE(service::likeMatches(w("%report%"), w("Quarterly REPORT.txt")));
    EXPECT_FALSE(service::likeMatches(w("%report%"), w("rep ort")));
    EXPECT_TRUE(service::likeMatches(w("r_p%t"), w("repeat")));
    EXPECT_FALSE(service::likeMatches(w("r_p%t"), w("rpt")));
    EXPECT_TRUE(service::likeMatches(w("%.txt"), w("a.b.TXT")));
    EXPECT_FALSE(service::likeMatches(w("%.txt"), w("a.txt.bak")));
    EXPECT_TRUE(service::likeMatches(w("100[%]%"), w("100% sure")));
    EXPECT_FALSE(service::likeMatches(w("100[%]%"), w("1000 sure")));
    EXPECT_TRUE(service::likeMatches(w("%%"), w("")));
    EXPECT_FALSE(service::likeMatches(w("_"), w("")));
    EXPECT_TRUE(service::likeMatches(w("%é%"), w("résumé")));
    EXPECT_FALSE(service::likeMatches(w("%É%"), w("résumé"))) << "only A-Z fold";
    EXPECT_FALSE(service::likeMatches(w("a[b"), w("a[b")));
}

TEST(FolderRows, AnItemMatchesWhenItsNameMeetsEveryCondition) {
    const std::vector<const char*> names{
        "b report.txt",           "report.md", "a", "Report", "z.TXT", "x.tar.txt",
        "\xF0\x9F\x98\x80 report"};
    auto matching = [&](const char* user) {
        WString sql;
        EXPECT_EQ(S_OK, service::generateSql(w(user), QueryHelperSettings{}, sql));
        SqlQuery query;
        EXPECT_EQ(S_OK, service::parseSql(sql, query));
        std::vector<std::string> found;
        for (const char* name : names) {
            if (service::nameMatches(query, w(name))) {
                found.push_back(name);
            }
        }
        return found;
    };
    EXPECT_EQ((std::vector<std::string>{"b report.txt", "report.md", "Report",
                                        "\xF0\x9F\x98\x80 report"}),
              matching("report"));
    EXPECT_EQ((std::vector<std::string>{"b report.txt", "z.TXT", "x.tar.txt"}),
              matching("ext:txt"));
    EXPECT_EQ((std::vector<std::string>{"b report.txt"}), matching("report ext:.TXT"));
    EXPECT_EQ((std::vector<std::string>{"a"}), matching("?"));
    EXPECT_EQ(std::vector<std::string>{}, matching("nothing"));
}

}  // namespace
}  // namespace tarvel
