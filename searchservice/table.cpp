#include "table.h"

namespace tarvel::service {

Cell Cell::ofText(WString value) {
    Cell cell;
    cell.kind = Kind::Text;
    cell.text = std::move(value);
    return cell;
}

Cell Cell::ofNullText() {
    Cell cell;
    cell.kind = Kind::NullText;
    return cell;
}

Cell Cell::ofInteger(int64_t value) {
    Cell cell;
    cell.kind = Kind::Integer;
    cell.integer = value;
    return cell;
}

Cell Cell::ofReal(double value) {
    Cell cell;
    cell.kind = Kind::Real;
    cell.real = value;
    return cell;
}

Cell Cell::ofBytes(std::vector<BYTE> value) {
    Cell cell;
    cell.kind = Kind::Bytes;
    cell.bytes = std::move(value);
    return cell;
}

Cell Cell::ofChapter(HCHAPTER value) {
    Cell cell;
    cell.kind = Kind::Chapter;
    cell.chapter = value;
    return cell;
}

Cell Cell::ofObject(WString content) {
    Cell cell;
    cell.kind = Kind::Object;
    cell.text = std::move(content);
    return cell;
}

Cell Cell::ofTexts(std::vector<WString> values) {
    Cell cell;
    cell.kind = Kind::Texts;
    cell.texts = std::move(values);
    return cell;
}

Cell Cell::ofStatus(DBSTATUS status) {
    Cell cell;
    cell.kind = Kind::Text;
    cell.status = status;
    return cell;
}

}  // namespace tarvel::service
