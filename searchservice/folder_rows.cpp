#include "folder_rows.h"

namespace tarvel::service {

bool nameMatches(const SqlQuery& query, const WString& name) {
    for (const SqlCondition& condition : query.conditions) {
        const bool met = condition.kind == SqlCondition::Kind::NameLike
                             ? likeMatches(condition.value, name)
                             : extensionIs(name, condition.value);
        if (!met) {
            return false;
        }
    }
    return true;
}

FolderRows::FolderRows(const WString& root, SqlQuery query,
                       platform::FolderWalk::Unreadable unreadable, MakeRow makeRow)
    : walk_(root, std::move(unreadable)), query_(std::move(query)), makeRow_(std::move(makeRow)) {}

bool FolderRows::next(Row& row) {
    if (query_.top >= 0 && found_ >= query_.top) {
        return false;  // the limit ends the walk
    }
    while (walk_.next()) {
        if (nameMatches(query_, walk_.name())) {
            ++found_;
            makeRow_(walk_.path(), row);
            return true;
        }
    }
    return false;
}

}  // namespace tarvel::service
