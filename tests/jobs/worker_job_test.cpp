#include "jobs/worker_job.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "cotepe/text.h"
#include "support/scripted_ui.h"

namespace tavex {
namespace {

using testing::ScriptedUserInterface;

TEST(WorkerJob, FinishedRunPublishesStatusProgressAndNoticesInOrder) {
  ScriptedUserInterface ui;
  ui.progressHandler = testing::runJobToEnd();
  WorkerJob job;
  job.inputPath = "entrada.txt";
  std::string seenInput;
  const WorkerOutcome outcome = runOnWorker(ui, job, [&](WorkerContext& c) {
    seenInput = c.inputPath();
    c.setProgress(250);
    c.notify({"primeira", "Erro!", Icon::Error});
    c.notify({"segunda", "Aviso", Icon::Information});
    c.finish(7);
  }, true);
  EXPECT_EQ(outcome, WorkerOutcome::Finished);
  EXPECT_EQ(job.status(), 7);
  EXPECT_EQ(job.progress(), 100);  // clamped
  EXPECT_EQ(seenInput, "entrada.txt");
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0], (testing::ShownMessage{"primeira", "Erro!", Icon::Error}));
  EXPECT_EQ(ui.messages[1].text, "segunda");
}

TEST(WorkerJob, WhatTheProcedureHoldsIsReleasedWhenTheWorkerEnds) {
  // A printer worker holds its library this way: it must not outlive the worker.
  ScriptedUserInterface ui;
  ui.progressHandler = testing::runJobToEnd();
  WorkerJob job;
  auto library = std::make_shared<int>(1);
  std::weak_ptr<int> watch = library;
  runOnWorker(ui, job, [held = std::move(library)](WorkerContext& c) { c.finish(*held); }, false);
  EXPECT_EQ(job.status(), 1);
  EXPECT_TRUE(watch.expired());
}

TEST(WorkerJob, ThreadThatCannotStartShowsTheStartError) {
  ScriptedUserInterface ui;  // its default progress handler reports NotStarted
  WorkerJob job;
  bool ran = false;
  EXPECT_EQ(runOnWorker(ui, job, [&](WorkerContext& c) { ran = true; c.finish(0); }, false),
            WorkerOutcome::NotStarted);
  EXPECT_FALSE(ran);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], (testing::ShownMessage{"Erro de inicialização da thread!"_cp, "Erro!", Icon::Error}));
}

TEST(WorkerJob, StatusIsVisibleOnceFinishedIsSeen) {
  // Many short runs: the interface must never read a status older than `finished`.
  WorkerJob job;
  for (int i = 1; i <= 300; ++i) {
    job.prepare([i](WorkerContext& c) { c.finish(i); }, CancelMode::Cooperative);
    ASSERT_TRUE(job.start());
    while (!job.isFinished()) std::this_thread::yield();
    ASSERT_EQ(job.status(), i);
  }
}

// A display sleeps in waitUntilFinished: the end must wake it whenever it comes,
// also between the display's test and its sleep, and a run without an end lets
// it go after the limit.
TEST(WorkerJob, AWaitingDisplayWakesAtTheEndAndOnlyThere) {
  using namespace std::chrono_literals;
  WorkerJob job;
  for (int i = 1; i <= 200; ++i) {
    job.prepare([i](WorkerContext& c) { c.finish(i); }, CancelMode::Cooperative);
    ASSERT_TRUE(job.start());
    const auto before = std::chrono::steady_clock::now();
    while (!job.waitUntilFinished(10s)) {
    }
    ASSERT_LT(std::chrono::steady_clock::now() - before, 5s) << "run " << i;
    EXPECT_EQ(job.status(), i);
    job.waitForThread();
  }

  std::atomic<bool> release{false};
  job.prepare(
      [&](WorkerContext& c) {
        while (!release.load()) std::this_thread::sleep_for(1ms);
        c.finish(7);
      },
      CancelMode::Cooperative);
  ASSERT_TRUE(job.start());
  EXPECT_FALSE(job.waitUntilFinished(20ms));
  release = true;
  EXPECT_TRUE(job.waitUntilFinished(10s));
  EXPECT_EQ(job.status(), 7);
  job.waitForThread();
}

TEST(WorkerJob, CooperativeCancelWaitsUntilTheWorkerHasStopped) {
  ScriptedUserInterface ui;
  ui.progressHandler = testing::cancelJobWhen([](const WorkerJob& j) { return j.progress() >= 3; });
  WorkerJob job;
  std::atomic<bool> leftCleanly{false};
  const WorkerOutcome outcome = runOnWorker(ui, job, [&](WorkerContext& c) {
    for (int step = 0; !c.cancelRequested(); ++step) {
      c.setProgress(step % 100);
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    leftCleanly = true;  // a conversion closes its files here
  }, true);
  EXPECT_EQ(outcome, WorkerOutcome::Cancelled);
  EXPECT_TRUE(leftCleanly.load());  // cancel returned only after the worker stopped
  EXPECT_FALSE(job.isFinished());
  EXPECT_TRUE(ui.messages.empty());
}

TEST(WorkerJob, AbandonedWorkerStaysInvisibleAndANewRunStarts) {
  ScriptedUserInterface ui;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> entered{false};
  ui.progressHandler = testing::cancelJobWhen([&](const WorkerJob&) { return entered.load(); });
  WorkerJob job;
  bool closeCalled = false;
  std::promise<void> workerDone;
  auto done = workerDone.get_future();
  const WorkerOutcome outcome = runOnWorker(
      ui, job,
      [&, released](WorkerContext& c) {
        entered = true;
        released.wait();  // a library call blocked on the printer
        c.notify({"tarde demais", "Erro!", Icon::Error});
        c.finish(99);
        workerDone.set_value();
      },
      false, CancelMode::Abandon, [&] { closeCalled = true; });
  EXPECT_EQ(outcome, WorkerOutcome::Cancelled);
  EXPECT_TRUE(closeCalled);
  release.set_value();
  done.wait();
  EXPECT_FALSE(job.isFinished());
  EXPECT_EQ(job.status(), 0);
  EXPECT_TRUE(job.takeNotices().empty());
  EXPECT_TRUE(ui.messages.empty());

  ui.progressHandler = testing::runJobToEnd();
  EXPECT_EQ(runOnWorker(ui, job, [](WorkerContext& c) { c.finish(3); }, false), WorkerOutcome::Finished);
  EXPECT_EQ(job.status(), 3);
}

// A printer worker that published its result and hangs in the library (a Close
// that does not return) is never joined: the next start, of any kind, lets it go
// and the job still knows it runs.
TEST(WorkerJob, AWorkerStillInsideALibraryCallIsNeverWaitedFor) {
  WorkerJob job;
  std::atomic<bool> release{false};
  job.prepare([&](WorkerContext& c) {
    c.finish(0);
    while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }, CancelMode::Abandon);
  ASSERT_TRUE(job.start());
  while (!job.isFinished()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(job.waitForEarlierWorker(std::chrono::milliseconds(20)));

  job.prepare([](WorkerContext& c) { c.finish(1); }, CancelMode::Cooperative);  // a conversion next
  auto started = std::async(std::launch::async, [&] { return job.start(); });
  if (started.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    release = true;  // so the test ends
    FAIL() << "start waited for the hung worker";
  }
  EXPECT_TRUE(started.get());
  while (!job.isFinished()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  job.waitForThread();
  EXPECT_TRUE(job.earlierWorkerRunning()) << "the hung worker is remembered";
  release = true;
  EXPECT_TRUE(job.waitForEarlierWorker(std::chrono::seconds(10)));
}

}  // namespace
}  // namespace tavex
