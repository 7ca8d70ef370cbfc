// The four engine drivers a job may run. The application calls them through this table so that a
// test can put a result in the place of a driver's (results no real file can produce).
#pragma once

#include <functional>
#include <vector>

#include "engine/assembly/extract.h"
#include "engine/assembly/merge.h"
#include "engine/security/security_jobs.h"

namespace folvex {

struct JobDrivers {
  std::function<int(EngineState&, const ExtractJob&)> Extract = RunExtract;
  std::function<int(EngineState&, MergeJob&)> Merge = RunMerge;
  std::function<int(EngineState&, std::vector<SecurityFileRecord>&)> Protect = ProtectFiles;
  std::function<int(EngineState&, std::vector<SecurityFileRecord>&)> Unprotect = UnprotectFiles;
};

}  // namespace folvex
