// The one crossing between the core's cp1252 bytes and Qt's Unicode strings.
#pragma once

#include <QDir>
#include <QString>
#include <array>
#include <string>
#include <string_view>

#include "cotepe/text.h"

namespace tavex::app {

// Every cp1252 byte is one UTF-16 unit, so the text is mapped byte by byte.
inline QString fromCp1252(std::string_view text) {
  static const auto table = [] {
    std::array<char16_t, 256> units{};
    for (int b = 0; b < 256; ++b) {
      const char32_t high = b >= 0x80 && b < 0xA0 ? detail::kCp1252High[b - 0x80] : 0;
      units[static_cast<std::size_t>(b)] = static_cast<char16_t>(high != 0 ? high : static_cast<char32_t>(b));
    }
    return units;
  }();
  QString out(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  QChar* unit = out.data();
  for (char c : text) *unit++ = QChar(table[static_cast<unsigned char>(c)]);
  return out;
}

inline std::string toCp1252(const QString& text) { return utf8ToCp1252(text.toStdString()); }

// File-system paths are UTF-8 on our platform.
inline QString fromPath(const std::string& path) { return QString::fromStdString(path); }
inline std::string toPath(const QString& path) { return path.toStdString(); }

// A path as the window writes it for the user to read: the home folder as "~"
// (tooltips keep the whole path).
inline QString shownPath(const QString& path) {
  const QString home = QDir::homePath();
  if (home.isEmpty() || home == "/" || !(path == home || path.startsWith(home + '/'))) return path;
  return "~" + path.mid(home.size());
}
inline QString shownPath(const std::string& path) { return shownPath(fromPath(path)); }

}  // namespace tavex::app
