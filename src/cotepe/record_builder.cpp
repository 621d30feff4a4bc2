#include "cotepe/record_builder.h"

#include <stdexcept>

#include "cotepe/record_layout.h"

namespace tavex {

std::string layField(std::string_view value, int width, bool numeric) {
  const auto w = static_cast<std::size_t>(width);
  if (value.size() >= w) return std::string(numeric ? value.substr(value.size() - w) : value.substr(0, w));
  if (numeric) return std::string(w - value.size(), '0') + std::string(value);
  return std::string(value) + std::string(w - value.size(), ' ');
}

std::string makeRecord(int type, std::span<const FieldValue> values) {
  const RecordLayout* layout = layoutOf(type);
  if (layout == nullptr) throw std::invalid_argument("unknown record type");
  std::string line;
  line.reserve(static_cast<std::size_t>(layout->length));
  for (const FieldLayout& field : layout->fields) {
    const bool numeric = field.check == FieldCheck::Number;
    std::string_view value = field.number == 1 ? layout->tag : std::string_view{};
    bool given = field.number == 1;
    for (const FieldValue& v : values)
      if (v.first == field.name) {
        value = v.second;
        given = true;
      }
    line += given ? layField(value, field.width, numeric) : std::string(static_cast<std::size_t>(field.width), numeric ? '0' : ' ');
  }
  for (const FieldValue& v : values) {
    bool known = false;
    for (const FieldLayout& field : layout->fields) known = known || field.name == v.first;
    if (!known) throw std::invalid_argument("unknown field " + std::string(v.first));
  }
  return line;
}

}  // namespace tavex
