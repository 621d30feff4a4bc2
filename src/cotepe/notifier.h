// The narrow port through which an operation tells the user something: one
// message box (text, title, icon). Operations that only report (a validation, a
// signature check) take a Notifier; the commands' whole port, UserInterface,
// is one. Texts are cp1252 bytes.
#pragma once

#include <string_view>

namespace tavex {

enum class Icon { None, Information, Warning, Error };

class Notifier {
 public:
  virtual ~Notifier() = default;
  // A message box with one OK button (or its equivalent: a line on standard error).
  virtual void showMessage(std::string_view text, std::string_view title, Icon icon) = 0;
};

}  // namespace tavex
