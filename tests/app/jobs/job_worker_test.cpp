// The worker thread: one driver call off the calling thread, its result kept, the end reported.
#include "app/jobs/job_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "app/jobs/job_preparation.h"

namespace folvex {
namespace {

TEST(JobWorker, RunsTheDriverOnceOnAnotherThreadAndKeepsItsResult) {
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<int> calls{0};
  std::thread::id runner;
  JobRequest request;
  request.Run = [&](JobControl&) {
    ++calls;
    runner = std::this_thread::get_id();
    return 11;
  };
  JobControl control;
  EXPECT_EQ(RunJobOnWorker(request, control), 11);
  EXPECT_EQ(calls, 1);
  EXPECT_NE(runner, caller);
}

TEST(JobWorker, CancelReachesTheDriverWhileItRunsAndTheEndComesAfterTheResult) {
  std::promise<void> started;
  JobRequest request;
  request.Run = [&](JobControl& control) {
    started.set_value();
    while (!control.Cancelled()) std::this_thread::yield();
    return 3;
  };
  JobControl control;
  JobWorker worker;
  std::promise<int> ended;
  StartJobWorker(worker, request, control, [&] { ended.set_value(worker.Result); });
  started.get_future().wait();
  control.CancelFlag = 3;  // the Cancel button: the dialog stays until the driver returns
  EXPECT_EQ(ended.get_future().get(), 3);
  EXPECT_EQ(FinishJobWorker(worker), 3);
}

TEST(FolderOf, RootsKeepTheirSeparator) {
  EXPECT_EQ(FolderOf("C:\\docs\\out.pdf"), "C:\\docs");
  EXPECT_EQ(FolderOf("C:\\out.pdf"), "C:\\");
  EXPECT_EQ(FolderOf("/tmp/x/out.pdf"), "/tmp/x");
  EXPECT_EQ(FolderOf("/out.pdf"), "/");
  EXPECT_EQ(FolderOf("out.pdf"), "");
}

}  // namespace
}  // namespace folvex
