#include "scripted_table.h"

namespace tarvel::service {

namespace {

class ScriptedRows final : public RowSource {
public:
    explicit ScriptedRows(std::shared_ptr<const std::vector<Row>> rows) : rows_(std::move(rows)) {}

    bool next(Row& row) override {
        if (next_ >= rows_->size()) {
            return false;
        }
        row = (*rows_)[next_++];
        return true;
    }

private:
    std::shared_ptr<const std::vector<Row>> rows_;
    size_t next_ = 0;
};

}  // namespace

std::shared_ptr<const Table> serve(ScriptedTable scripted) {
    auto table = std::make_shared<Table>();
    table->columns = std::move(scripted.columns);
    table->properties = std::move(scripted.properties);
    auto rows = std::make_shared<const std::vector<Row>>(std::move(scripted.rows));
    table->rows = [rows] { return std::make_unique<ScriptedRows>(rows); };
    return table;
}

}  // namespace tarvel::service
