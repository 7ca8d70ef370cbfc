#include "app/jobs/job_worker.h"

#include <utility>

namespace folvex {

void StartJobWorker(JobWorker& worker, const JobRequest& request, JobControl& control,
                    std::function<void()> finished) {
  worker.Result = 0;
  worker.Thread = std::thread([&worker, &request, &control, finished = std::move(finished)] {
    worker.Result = request.Run ? request.Run(control) : 0;
    if (finished) finished();
  });
}

int FinishJobWorker(JobWorker& worker) {
  if (worker.Thread.joinable()) worker.Thread.join();
  return worker.Result;
}

int RunJobOnWorker(const JobRequest& request, JobControl& control) {
  JobWorker worker;
  StartJobWorker(worker, request, control, nullptr);
  return FinishJobWorker(worker);
}

}  // namespace folvex
