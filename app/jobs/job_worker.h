// The worker thread of a document job: it runs the job's driver exactly once while the progress
// dialog is up, keeps the driver's result, and says when it has finished.
#pragma once

#include <functional>
#include <thread>

#include "app/model/desktop.h"

namespace folvex {

struct JobWorker {
  std::thread Thread;
  int Result = 0;  // the driver's result, valid once the thread has ended
};

// Starts the worker thread: it calls request.Run(control) once, stores the result in
// worker.Result and then calls finished on the worker thread (the progress dialog turns that into
// its end message). The request and the control must outlive the thread.
void StartJobWorker(JobWorker& worker, const JobRequest& request, JobControl& control,
                    std::function<void()> finished);

// Waits for the worker thread to end and returns the driver's result.
int FinishJobWorker(JobWorker& worker);

// Starts the worker and waits for it: a progress dialog without a window.
int RunJobOnWorker(const JobRequest& request, JobControl& control);

}  // namespace folvex
