// The Qt application the window tests share (offscreen, with the Portuguese
// translations when installed), the fixture every window test uses, and a way
// to answer a modal dialog that a click is about to open.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>

#include "app/qt_user_interface.h"

namespace tavex::testing {

inline QApplication& qtApplication() {
  static int argc = 1;
  static char name[] = "tavex_app_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* application = [] {
    // Offscreen unless the run names a platform (the same tests on a real X server:
    // TAVEX_TEST_PLATFORM=xcb under Xvfb).
    const QByteArray platform = qgetenv("TAVEX_TEST_PLATFORM");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    auto* app = new QApplication(argc, argv);
    app::installPortugueseTranslations();
    return app;
  }();
  return *application;
}

// Every window test: the application exists, and the process's current directory
// is the same after the test as before it (commands move it to manufacturers'
// folders, which the test then deletes).
class WindowTest : public ::testing::Test {
 protected:
  WindowTest() : savedDirectory_(std::filesystem::current_path()) { qtApplication(); }
  ~WindowTest() override {
    std::error_code ec;
    std::filesystem::current_path(savedDirectory_, ec);
  }

 private:
  std::filesystem::path savedDirectory_;
};

// Runs `answer` on the next modal widget once the event loop shows it.
inline void whenModalOpens(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      answer(modal);
    }
  });
  timer->start();
}

}  // namespace tavex::testing
