// The one crossing between the core's cp1252 bytes and Qt's Unicode strings.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "cotepe/text.h"

namespace tavex::app {

inline QString fromCp1252(std::string_view text) {
  const std::string utf8 = cp1252ToUtf8(text);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string toCp1252(const QString& text) { return utf8ToCp1252(text.toStdString()); }

// File-system paths are UTF-8 on our platform.
inline QString fromPath(const std::string& path) { return QString::fromStdString(path); }
inline std::string toPath(const QString& path) { return path.toStdString(); }

}  // namespace tavex::app
