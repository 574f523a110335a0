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
                       platform::FolderWalk::Unreadable unreadable, MakeRow makeRow,
                       const std::atomic<bool>& stopped)
    : root_(root),
      walk_(root, std::move(unreadable)),
      query_(std::move(query)),
      makeRow_(std::move(makeRow)),
      stopped_(stopped) {}

bool FolderRows::next(Row& row) {
    if (query_.top >= 0 && found_ >= query_.top) {
        return false;  // the limit ends the walk
    }
    if (!rootSeen_) {
        rootSeen_ = true;
        // A root such as / or C:\ has no name.
        const size_t slash = root_.find_last_of(TARVEL_UTF16("/\\"));
        const WString name = slash == WString::npos ? root_ : root_.substr(slash + 1);
        if (!name.empty() && nameMatches(query_, name)) {
            ++found_;
            makeRow_(root_, row);
            return true;
        }
    }
    while (!stopped_.load(std::memory_order_relaxed) && walk_.next()) {
        if (nameMatches(query_, walk_.name())) {
            ++found_;
            makeRow_(walk_.path(), row);
            return true;
        }
    }
    return false;
}

}  // namespace tarvel::service
