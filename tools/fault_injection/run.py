#!/usr/bin/env python3
"""Fault injection: how many deliberate code faults does the test suite catch?

For each fault of the list the harness replaces one exact, unique text of one file in a source
tree of its own (a git worktree of the chosen commit under /tmp), rebuilds incrementally, runs
ctest, records whether a test failed, and puts the file back. See README.md beside this file.
"""

import argparse
import datetime
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_REPO = os.path.dirname(os.path.dirname(HERE))
DEFAULT_FAULTS = os.path.join(HERE, "faults.txt")
DEFAULT_REALWORLD = "/work/shared/realworld/files"

CAUGHT = "caught"
MISSED = "missed"
INVALID = "invalid"
NOT_APPLIED = "does-not-apply"
ERROR = "error"  # ctest itself failed: neither caught nor missed

FIELDS = ("area", "file", "desc", "old", "new")

# A failing test is run again up to this many times; one pass makes it flaky rather than a catch.
RERUNS = 3


class Fault:
    def __init__(self, ident, line):
        self.Id = ident
        self.Line = line
        self.Area = ""
        self.File = ""
        self.Desc = ""
        self.Old = None
        self.New = None


class Outcome:
    def __init__(self, fault):
        self.Fault = fault
        self.Result = ""
        self.Detail = ""
        self.Seconds = 0.0


# ---- the fault list ----

def ParseFaults(path):
    """Reads the fault list. An entry starts with "[ID]"; its fields are "key: value" lines, and
    "old<<MARK" / "new<<MARK" take the lines up to a line holding only MARK, verbatim."""
    faults = []
    current = None
    with open(path, encoding="utf-8") as handle:
        lines = handle.read().split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        number = i + 1
        i += 1
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        header = re.fullmatch(r"\[([A-Za-z0-9_.-]+)\]\s*", line)
        if header:
            current = Fault(header.group(1), number)
            faults.append(current)
            continue
        if current is None:
            raise SystemExit(f"{path}:{number}: a field before the first [ID]")
        block = re.fullmatch(r"(old|new)<<(\S+)\s*", line)
        if block:
            key, mark = block.group(1), block.group(2)
            taken = []
            while i < len(lines) and lines[i] != mark:
                taken.append(lines[i])
                i += 1
            if i >= len(lines):
                raise SystemExit(f"{path}:{number}: no closing line {mark}")
            i += 1
            setattr(current, key.capitalize(), "\n".join(taken))
            continue
        field = re.fullmatch(r"(area|file|desc|old|new):(.*)", line)
        if not field:
            raise SystemExit(f"{path}:{number}: not a field: {line!r}")
        key, value = field.group(1), field.group(2)
        value = value[1:] if value.startswith(" ") else value
        setattr(current, key.capitalize(), value.rstrip())
    seen = set()
    for fault in faults:
        if fault.Id in seen:
            raise SystemExit(f"{path}:{fault.Line}: fault {fault.Id} listed twice")
        seen.add(fault.Id)
        missing = [name for name in FIELDS if getattr(fault, name.capitalize()) in (None, "") and name != "new"]
        if missing or fault.New is None:
            raise SystemExit(f"{path}:{fault.Line}: fault {fault.Id} lacks {', '.join(missing or ['new'])}")
        if fault.Old == fault.New:
            raise SystemExit(f"{path}:{fault.Line}: fault {fault.Id} changes nothing")
    return faults


def Occurrences(text, old):
    """How often old occurs in text, overlapping occurrences counted (2 means "more than one")."""
    first = text.find(old)
    if first < 0:
        return 0
    return 1 if text.find(old, first + 1) < 0 else 2


# ---- running things ----

def Log(message):
    print(message, flush=True)


def Run(command, log_path=None, env=None, cwd=None):
    """Runs command; returns (exit status, output). The output also goes to log_path."""
    # A session of its own, so that an interruption stops the compilers and tests below it too.
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, cwd=cwd,
                               text=True, errors="replace", start_new_session=True)
    try:
        output, _ = process.communicate()
    except BaseException:
        try:
            os.killpg(process.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        process.wait()
        raise
    if log_path:
        with open(log_path, "w", encoding="utf-8") as handle:
            handle.write("$ " + " ".join(command) + "\n" + output)
    return process.returncode, output


def Nice(command):
    return ["nice", "-n", "10"] + command


def CMakeRegexEscape(text):
    return re.sub(r"([\\^$.|?*+()\[\]{}])", r"\\\1", text)


def ExactNames(names):
    return "^(" + "|".join(CMakeRegexEscape(name) for name in names) + ")$"


# A failed step of a build: ninja's "FAILED: <output>" or make's "*** [<rule>: <output>] Error".
FAILED_STEP = re.compile(r"^FAILED: (.*)$|\*\*\* \[(?:[^\]]*: )?([^\]]+)\] Error", re.M)


def ClassifyBuildFailure(output):
    """A build that fails on a test's own source, or on a test program that cannot list its tests,
    has been caught by the tests; any other failing build means the fault does not compile."""
    steps = [a or b for a, b in FAILED_STEP.findall(output)]
    # make also reports the targets above the failing step ("x.dir/all", "all").
    steps = [step.split()[0] for step in steps if not re.search(r"(^|/)all$", step.strip())]
    if "Error running test executable" in output:
        return CAUGHT, "test program fails when listing its tests"
    if steps and all(re.search(r"\.dir/tests/.*\.o(bj)?$", step) for step in steps):
        return CAUGHT, "test code does not compile: " + os.path.basename(steps[0])
    error = re.search(r"^\S+:\d+(:\d+)?: (fatal )?error: .*$|^.*undefined reference to .*$", output, re.M)
    return INVALID, (error.group(0).strip() if error else (steps[0] if steps else "build failed"))[:160]


# ctest's closing list: "  12 - Suite.Name (Failed)".
FAILED_TEST = re.compile(r"^\s*\d+\s+-\s+(\S+)\s+\(([^)]*)\)", re.M)


def FailedTests(output):
    marker = output.find("The following tests FAILED:")
    if marker < 0:
        return []
    return FAILED_TEST.findall(output[marker:])


def TestsRun(output):
    found = re.search(r"tests passed, (\d+) tests failed out of (\d+)", output)
    return int(found.group(2)) if found else 0


class Harness:
    def __init__(self, options):
        self.Options = options
        self.Source = None
        self.Build = None
        self.Worktree = None
        self.OwnBuild = False
        self.Logs = None
        self.Env = dict(os.environ)
        self.Env["FOLVEX_REALWORLD_DIR"] = options.realworld
        self.Excluded = []  # tests that already fail without any fault
        self.Flaky = {}  # test name -> the runs (fault ids, "baseline") where it failed and then passed
        self.Pending = None  # (path, original bytes) of a file that holds a fault now

    # -- trees --

    def PrepareSource(self):
        options = self.Options
        if options.source:
            self.Source = os.path.abspath(options.source)
            top = subprocess.run(["git", "-C", options.repo, "rev-parse", "--show-toplevel"], stdout=subprocess.PIPE,
                                 text=True).stdout.strip()
            if top and os.path.realpath(top) == os.path.realpath(self.Source):
                raise SystemExit("refusing to inject faults into the repository's own working tree; "
                                 "leave out --source to work in a fresh worktree")
            self.Commit = subprocess.run(["git", "-C", self.Source, "rev-parse", "HEAD"], stdout=subprocess.PIPE,
                                         text=True).stdout.strip() or "unknown"
            return
        commit = subprocess.run(["git", "-C", options.repo, "rev-parse", "--verify", options.commit + "^{commit}"],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if commit.returncode != 0:
            raise SystemExit(f"no commit {options.commit} in {options.repo}")
        self.Commit = commit.stdout.strip()
        self.Worktree = tempfile.mkdtemp(prefix=f"folvex-fi-src-{self.Commit[:8]}-", dir="/tmp")
        os.rmdir(self.Worktree)
        status, output = Run(["git", "-C", options.repo, "worktree", "add", "--detach", self.Worktree, self.Commit])
        if status != 0:
            self.Worktree = None
            raise SystemExit("git worktree add failed:\n" + output)
        self.Source = self.Worktree

    def PrepareBuild(self):
        options = self.Options
        if options.build:
            self.Build = os.path.abspath(options.build)
            os.makedirs(self.Build, exist_ok=True)
        else:
            self.Build = tempfile.mkdtemp(prefix=f"folvex-fi-build-{self.Commit[:8]}-", dir="/tmp")
            self.OwnBuild = True
        self.Logs = os.path.join(self.Build, "fault-logs")
        os.makedirs(self.Logs, exist_ok=True)
        if not os.path.exists(os.path.join(self.Build, "CMakeCache.txt")):
            command = ["cmake", "-S", self.Source, "-B", self.Build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"]
            if shutil.which("ninja"):
                command += ["-G", "Ninja"]
            status, output = Run(Nice(command), os.path.join(self.Logs, "configure.log"), self.Env)
            if status != 0:
                raise SystemExit("configuring failed:\n" + output[-3000:])

    def Cleanup(self):
        self.RestorePending()
        if self.Options.keep_logs and self.Logs and os.path.isdir(self.Logs):
            shutil.copytree(self.Logs, self.Options.keep_logs, dirs_exist_ok=True)
        if self.Worktree and not self.Options.keep:
            status, output = Run(["git", "-C", self.Options.repo, "worktree", "remove", "--force", self.Worktree])
            if status != 0:
                Log("could not remove the worktree " + self.Worktree + ":\n" + output)
            self.Worktree = None
        if self.OwnBuild and self.Build and not self.Options.keep:
            shutil.rmtree(self.Build, ignore_errors=True)
            self.Build = None

    # -- faults --

    def RestorePending(self):
        if self.Pending is None:
            return
        path, original = self.Pending
        with open(path, "wb") as handle:
            handle.write(original)
        self.Pending = None

    def CompileOnce(self, log_name):
        return Run(Nice(["cmake", "--build", self.Build, "-j", str(self.Options.jobs)]),
                   os.path.join(self.Logs, log_name), self.Env)

    def RunTests(self, log_name, stop_on_failure, only=None, skip=(), repeat=None):
        """Runs ctest: the suite (as --tests and --exclude limit it), or only the named tests; skip
        names tests left out besides the ones failing without a fault."""
        options = self.Options
        command = ["ctest", "--test-dir", self.Build, "-j", str(options.jobs), "--timeout", str(options.timeout),
                   "--output-on-failure"]
        if stop_on_failure:
            command.append("--stop-on-failure")
        if repeat:
            command += ["--repeat", repeat]
        if only:
            command += ["-R", ExactNames(only)]
        elif options.tests:
            command += ["-R", options.tests]
        excluded = [e for e in [options.exclude] if e]
        if self.Excluded or skip:
            excluded.append(ExactNames(list(self.Excluded) + list(skip)))
        if excluded:
            command += ["-E", "|".join(f"({e})" for e in excluded)]
        status, output = Run(Nice(command), os.path.join(self.Logs, log_name), self.Env)
        return status, output

    def Confirmed(self, log_name, failed):
        """The failures that stand when each failing test is run again up to RERUNS times: a test
        that passes once is taken as flaky. A timeout is not run again."""
        slow = [(name, kind) for name, kind in failed if kind == "Timeout"]
        again = [name for name, kind in failed if kind != "Timeout"]
        if not again:
            return slow
        _, output = self.RunTests(log_name, stop_on_failure=False, only=again, repeat=f"until-pass:{RERUNS}")
        return slow + FailedTests(output)

    def Baseline(self):
        Log(f"baseline: building {self.Commit[:12]} in {self.Build}")
        started = time.monotonic()
        status, output = self.CompileOnce("baseline-build.log")
        if status != 0:
            raise SystemExit("the unchanged tree does not build:\n" + output[-3000:])
        Log(f"baseline: built in {time.monotonic() - started:.0f} s; running the tests")
        started = time.monotonic()
        status, output = self.RunTests("baseline-test.log", stop_on_failure=False)
        failed = FailedTests(output)
        count = TestsRun(output)
        self.BaselineSeconds = time.monotonic() - started
        if count == 0:
            raise SystemExit("no test ran; check --tests and --exclude:\n" + output[-2000:])
        Log(f"baseline: {count} tests in {self.BaselineSeconds:.0f} s, {len(failed)} failing")
        if failed:
            standing = self.Confirmed("baseline-rerun.log", failed)
            self.Excluded = [name for name, _ in standing]
            for name, _ in failed:
                if name not in self.Excluded:
                    self.Flaky.setdefault(name, []).append("baseline")
            if self.Excluded:
                Log("these fail without any fault and are left out of the judgement: " + ", ".join(self.Excluded))
        self.BaselineTests = count

    def Apply(self, fault):
        path = os.path.join(self.Source, fault.File)
        if not os.path.isfile(path):
            return None, "no file " + fault.File
        with open(path, "rb") as handle:
            original = handle.read()
        text = original.decode("utf-8")
        found = Occurrences(text, fault.Old)
        if found != 1:
            return None, "old text not found" if found == 0 else "old text found more than once"
        changed = text.replace(fault.Old, fault.New, 1).encode("utf-8")
        self.Pending = (path, original)
        with open(path, "wb") as handle:
            handle.write(changed)
        return path, ""

    def Judge(self, fault):
        """Runs the suite against the fault. A failing test counts once it fails again on its own;
        a test that then passes is flaky: it is noted, left out, and the rest of the suite runs."""
        stop = not self.Options.all_failures
        flaky = []
        for attempt in range(1, 4):
            status, output = self.RunTests(f"{fault.Id}-test{attempt}.log", stop_on_failure=stop, skip=flaky)
            failed = FailedTests(output)
            if not failed:
                break
            standing = self.Confirmed(f"{fault.Id}-rerun{attempt}.log", failed)
            if standing:
                named = ", ".join(f"{name} ({kind})" for name, kind in standing[:3])
                more = f" +{len(standing) - 3} more" if len(standing) > 3 else ""
                return CAUGHT, named + more
            flaky += [name for name, _ in failed]
            for name, _ in failed:
                self.Flaky.setdefault(name, []).append(fault.Id)
        else:
            return ERROR, "flaky tests failed three times over: " + ", ".join(flaky)
        note = ("flaky, passed when run again: " + ", ".join(flaky)) if flaky else ""
        if status != 0:
            last = output.strip().splitlines()[-1:] or [""]
            return ERROR, "ctest failed without a failing test: " + last[0][:120]
        return MISSED, note

    def Check(self, fault):
        outcome = Outcome(fault)
        started = time.monotonic()
        path, why = self.Apply(fault)
        if path is None:
            outcome.Result, outcome.Detail = NOT_APPLIED, why
            return outcome
        try:
            if self.Options.check:
                outcome.Result, outcome.Detail = "applies", ""
                return outcome
            status, output = self.CompileOnce(f"{fault.Id}-build.log")
            if status != 0:
                outcome.Result, outcome.Detail = ClassifyBuildFailure(output)
            else:
                outcome.Result, outcome.Detail = self.Judge(fault)
        finally:
            self.RestorePending()
            outcome.Seconds = time.monotonic() - started
        return outcome


# ---- the report ----

def Table(outcomes):
    rows = [("id", "area", "result", "failing tests (the first three) / note", "s")]
    for o in outcomes:
        rows.append((o.Fault.Id, o.Fault.Area, o.Result, o.Detail, f"{o.Seconds:.0f}"))
    widths = [max(len(row[k]) for row in rows) for k in range(3)]
    lines = []
    for row in rows:
        lines.append("  ".join(row[k].ljust(widths[k]) for k in range(3)) + "  " + row[3] +
                     (f"  [{row[4]} s]" if row is not rows[0] else ""))
    return "\n".join(lines)


def Score(outcomes):
    caught = sum(o.Result == CAUGHT for o in outcomes)
    missed = sum(o.Result == MISSED for o in outcomes)
    invalid = sum(o.Result == INVALID for o in outcomes)
    absent = sum(o.Result == NOT_APPLIED for o in outcomes)
    errors = sum(o.Result == ERROR for o in outcomes)
    valid = caught + missed
    share = f" ({100.0 * caught / valid:.1f} %)" if valid else ""
    text = (f"caught {caught} of {valid} valid faults{share}; {invalid} invalid (do not compile), "
            f"{absent} do not apply")
    return text + (f", {errors} ctest errors" if errors else "")


def Report(harness, outcomes, started, finished, complete):
    options = harness.Options
    head = [
        "Folvex fault injection report" + ("" if complete else " (INCOMPLETE: interrupted)"),
        f"commit:     {harness.Commit}",
        f"faults:     {options.faults}",
        f"started:    {started:%Y-%m-%d %H:%M:%S}",
        f"run time:   {str(finished - started).split('.')[0]}",
        f"ctest:      -j{options.jobs} --timeout {options.timeout}"
        + (f" -R {options.tests}" if options.tests else "") + (f" -E {options.exclude}" if options.exclude else "")
        + ("" if options.all_failures else " --stop-on-failure"),
        f"realworld:  FOLVEX_REALWORLD_DIR={options.realworld}",
    ]
    if hasattr(harness, "BaselineTests"):
        head.append(f"baseline:   {harness.BaselineTests} tests, {len(harness.Excluded)} failing without a fault, "
                    f"{harness.BaselineSeconds:.0f} s for the whole suite")
    if harness.Excluded:
        head.append("left out:   " + ", ".join(harness.Excluded))
    for name, runs in sorted(harness.Flaky.items()):
        head.append(f"flaky:      {name} failed, then passed when run again ({', '.join(runs)})")
    text = "\n".join(head) + "\n\n" + Table(outcomes) + "\n\n" + Score(outcomes) + "\n"
    missed = [o for o in outcomes if o.Result == MISSED]
    if missed:
        text += "\nmissed:\n" + "\n".join(f"  {o.Fault.Id}  {o.Fault.File}: {o.Fault.Desc}" for o in missed) + "\n"
    return text


def Main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--repo", default=DEFAULT_REPO, help="git repository (default: %(default)s)")
    parser.add_argument("--commit", default="HEAD", help="commit to measure (default: HEAD)")
    parser.add_argument("--source", help="an existing source tree to use instead of a fresh worktree")
    parser.add_argument("--build", help="build directory to use (default: a fresh one under /tmp, removed after)")
    parser.add_argument("--faults", default=DEFAULT_FAULTS, help="fault list (default: faults.txt beside this)")
    parser.add_argument("--only", help="comma-separated fault ids to run")
    parser.add_argument("--tests", help="ctest -R regex: run only these tests (for quick checks)")
    parser.add_argument("--exclude", help="ctest -E regex: tests never run")
    parser.add_argument("--report", help="report file (default: /tmp/folvex-fault-report-COMMIT.txt)")
    parser.add_argument("--realworld", default=DEFAULT_REALWORLD, help="corpus directory (default: %(default)s)")
    parser.add_argument("--jobs", type=int, default=2, help="build and test jobs (default: 2)")
    parser.add_argument("--timeout", type=int, default=300, help="ctest per-test timeout (default: 300)")
    parser.add_argument("--all-failures", action="store_true",
                        help="run every test for every fault (default: ctest stops at the first failure)")
    parser.add_argument("--check", action="store_true", help="only check that every fault applies; no build")
    parser.add_argument("--keep", action="store_true", help="keep the worktree and build directory")
    parser.add_argument("--keep-logs", metavar="DIR", help="copy the build and test log of every fault to DIR")
    options = parser.parse_args()
    options.repo = os.path.abspath(options.repo)
    options.faults = os.path.abspath(options.faults)

    faults = ParseFaults(options.faults)
    if options.only:
        wanted = [w.strip() for w in options.only.split(",") if w.strip()]
        unknown = [w for w in wanted if w not in {f.Id for f in faults}]
        if unknown:
            raise SystemExit("unknown fault ids: " + ", ".join(unknown))
        faults = [f for f in faults if f.Id in wanted]
    if not os.path.isdir(options.realworld):
        Log(f"warning: no corpus at {options.realworld}: the real-world tests will skip")

    harness = Harness(options)
    outcomes = []
    started = datetime.datetime.now()

    def Stop(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, Stop)
    complete = False
    try:
        harness.PrepareSource()
        Log(f"source {harness.Source} at {harness.Commit}")
        if not options.check:
            harness.PrepareBuild()
            harness.Baseline()
        for index, fault in enumerate(faults, 1):
            outcome = harness.Check(fault)
            outcomes.append(outcome)
            Log(f"[{index}/{len(faults)}] {fault.Id:<6} {fault.Area:<10} {outcome.Result:<15} {outcome.Detail}"
                f"  ({outcome.Seconds:.0f} s)")
        complete = True
    except KeyboardInterrupt:
        Log("interrupted")
    finally:
        harness.Cleanup()
    finished = datetime.datetime.now()
    if options.check:
        bad = [o for o in outcomes if o.Result != "applies"]
        Log(f"{len(outcomes) - len(bad)} of {len(outcomes)} faults apply")
        return 1 if bad or not complete else 0
    text = Report(harness, outcomes, started, finished, complete)
    report = options.report or f"/tmp/folvex-fault-report-{harness.Commit[:12]}.txt"
    with open(report, "w", encoding="utf-8") as handle:
        handle.write(text)
    Log("\n" + text)
    Log("report written to " + report)
    return 0 if complete else 1


if __name__ == "__main__":
    sys.exit(Main())
