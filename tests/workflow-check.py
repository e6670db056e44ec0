#!/usr/bin/env python3
"""Checks the hosted Windows workflow against the rules of the service's published workflow
schema (SchemaStore's github-workflow.json: the keys each level allows, the required ones, a
step's one action, the value types and enumerations), the service's own rules (`needs` names
a job, the runner labels of its hosted images) and against the build: every file it uploads
is one the build makes. With --mutations it proves itself: each of a table of faults written
into the workflow must be caught.
usage: workflow-check.py WORKFLOW [--mutations]"""
import copy
import re
import sys

import yaml

problems = []


def expect(condition, message):
    if not condition:
        problems.append(message)


NAME = re.compile(r"^[_a-zA-Z][a-zA-Z0-9_-]*$")
EXPRESSION = re.compile(r"^\$\{\{.*\}\}$", re.DOTALL)
TOP_KEYS = {"name", "run-name", "on", "env", "defaults", "concurrency", "jobs", "permissions"}
JOB_KEYS = {"name", "needs", "permissions", "runs-on", "environment", "outputs", "env",
            "defaults", "if", "steps", "timeout-minutes", "strategy", "continue-on-error",
            "container", "services", "concurrency"}
STEP_KEYS = {"id", "if", "name", "uses", "run", "working-directory", "shell", "with", "env",
             "continue-on-error", "timeout-minutes"}
EVENTS = {"branch_protection_rule", "check_run", "check_suite", "create", "delete", "deployment",
          "deployment_status", "discussion", "discussion_comment", "fork", "gollum",
          "issue_comment", "issues", "label", "merge_group", "milestone", "page_build",
          "project", "project_card", "project_column", "public", "pull_request",
          "pull_request_review", "pull_request_review_comment", "pull_request_target", "push",
          "registry_package", "release", "repository_dispatch", "schedule", "status", "watch",
          "workflow_call", "workflow_dispatch", "workflow_run"}
FILTERS = {"branches", "branches-ignore", "tags", "tags-ignore", "paths", "paths-ignore",
           "types"}
SHELLS = {"bash", "pwsh", "python", "sh", "cmd", "powershell"}
PERMISSIONS = {"actions", "attestations", "checks", "contents", "deployments", "discussions",
               "id-token", "issues", "models", "packages", "pages", "pull-requests",
               "repository-projects", "security-events", "statuses"}
LEVELS = {"read", "write", "none"}
# The hosted images' labels the workflow may name.
RUNNERS = {"ubuntu-latest", "ubuntu-24.04", "ubuntu-22.04", "windows-latest", "windows-2025",
           "windows-2022", "windows-11-arm", "ubuntu-24.04-arm", "ubuntu-22.04-arm"}
ACTION = re.compile(r"^([\w.-]+/[\w.-]+(/[\w./-]+)?@[\w.-]+|\./.+|docker://.+)$")
# The major versions each action the workflow uses has published.
ACTION_VERSIONS = {"actions/checkout": {"v4", "v5"}, "actions/upload-artifact": {"v4"},
                   "actions/download-artifact": {"v4", "v5"}}
MATRIX_VALUE = re.compile(r"^\$\{\{\s*matrix\.([\w-]+)\s*\}\}$")


def debian_release():
    """The Debian release this machine builds on, which the build job's image must be."""
    with open("/etc/os-release", encoding="utf-8") as release:
        found = dict(line.rstrip("\n").split("=", 1) for line in release if "=" in line)
    return found.get("VERSION_CODENAME", "").strip('"')


def scalar(value):
    return isinstance(value, (str, int, float, bool))


def check_on(on):
    events = [on] if isinstance(on, str) else on
    if isinstance(events, dict):
        for event, filters in events.items():
            expect(event in EVENTS, f"on: unknown event {event}")
            if filters is None:
                continue
            expect(isinstance(filters, dict), f"on.{event}: not a map")
            for key in filters if isinstance(filters, dict) else []:
                expect(key in FILTERS or event in ("workflow_dispatch", "workflow_call",
                                                   "workflow_run", "schedule"),
                       f"on.{event}: unknown filter {key}")
            for pair in (("branches", "branches-ignore"), ("tags", "tags-ignore"),
                         ("paths", "paths-ignore")):
                expect(not set(pair) <= set(filters or {}), f"on.{event}: both of {pair}")
    else:
        expect(isinstance(events, list) and all(e in EVENTS for e in events), "on: bad events")


def check_permissions(where, permissions):
    if isinstance(permissions, str):
        expect(permissions in ("read-all", "write-all"), f"{where}: bad permissions")
        return
    expect(isinstance(permissions, dict) and permissions, f"{where}: permissions not a map")
    for key, level in (permissions or {}).items():
        expect(key in PERMISSIONS and level in LEVELS, f"{where}: permission {key}: {level}")


def check_defaults(where, defaults):
    expect(set(defaults) == {"run"}, f"{where}: defaults holds only run")
    run = defaults.get("run") or {}
    expect(run and set(run) <= {"shell", "working-directory"}, f"{where}: defaults.run keys")
    expect(run.get("shell", "bash") in SHELLS, f"{where}: defaults shell")


def check_step(where, step):
    expect(isinstance(step, dict), f"{where}: not a map")
    keys = set(step)
    expect(keys <= STEP_KEYS, f"{where}: unknown keys {sorted(keys - STEP_KEYS)}")
    expect(("uses" in keys) != ("run" in keys), f"{where}: exactly one of uses and run")
    if "uses" in step:
        expect(ACTION.match(str(step["uses"])), f"{where}: uses {step['uses']}")
        expect("shell" not in keys and "working-directory" not in keys,
               f"{where}: shell and working-directory need run")
    if "run" in step:
        expect(isinstance(step["run"], str) and step["run"].strip(), f"{where}: empty run")
    if "shell" in step:
        expect(step["shell"] in SHELLS, f"{where}: shell {step['shell']}")
    for block in ("with", "env"):
        values = step.get(block, {})
        expect(isinstance(values, dict) and all(scalar(v) for v in values.values()),
               f"{where}: {block} holds strings, numbers or booleans only")
    if "id" in step:
        expect(NAME.match(step["id"]), f"{where}: id {step['id']}")


def check_strategy(where, strategy):
    expect(isinstance(strategy, dict) and "matrix" in strategy, f"{where}: strategy needs matrix")
    expect(set(strategy) <= {"matrix", "fail-fast", "max-parallel"}, f"{where}: strategy keys")
    matrix = strategy.get("matrix")
    if isinstance(matrix, str):
        expect(EXPRESSION.match(matrix), f"{where}: matrix")
        return
    expect(isinstance(matrix, dict) and matrix, f"{where}: matrix not a map")
    for key in ("include", "exclude"):
        if key in matrix:
            rows = matrix[key]
            expect(isinstance(rows, list) and all(isinstance(r, dict) for r in rows),
                   f"{where}: matrix.{key} is a list of maps")


def check_job(name, job, jobs):
    where = f"jobs.{name}"
    expect(NAME.match(name), f"{where}: bad job name")
    expect(isinstance(job, dict), f"{where}: not a map")
    keys = set(job)
    expect(keys <= JOB_KEYS, f"{where}: unknown keys {sorted(keys - JOB_KEYS)}")
    expect("runs-on" in keys, f"{where}: runs-on is required")
    runner = job.get("runs-on")
    expect(runner in RUNNERS or EXPRESSION.match(str(runner)), f"{where}: runs-on {runner}")
    # A label from the matrix: each of its values is a hosted image's.
    name_in_matrix = MATRIX_VALUE.match(str(runner))
    if name_in_matrix:
        rows = job.get("strategy", {}).get("matrix", {}).get("include", [])
        values = [row.get(name_in_matrix[1]) for row in rows] or [None]
        for value in values:
            expect(value in RUNNERS, f"{where}: runs-on {value} from the matrix")
    needs = job.get("needs", [])
    for need in [needs] if isinstance(needs, str) else needs:
        expect(need in jobs and need != name, f"{where}: needs {need}, no such other job")
    if "timeout-minutes" in job:
        expect(isinstance(job["timeout-minutes"], (int, float)), f"{where}: timeout-minutes")
    if "container" in job:
        container = job["container"]
        expect(isinstance(container, str) or "image" in container, f"{where}: container image")
        image = container if isinstance(container, str) else container.get("image")
        expect(image == f"debian:{debian_release()}",
               f"{where}: container {image}, not the Debian release the project builds on")
    if "strategy" in job:
        check_strategy(where, job["strategy"])
    if "defaults" in job:
        check_defaults(where, job["defaults"])
    if "permissions" in job:
        check_permissions(where, job["permissions"])
    steps = job.get("steps")
    expect(isinstance(steps, list) and steps, f"{where}: steps is a list of at least one")
    for index, step in enumerate(steps or []):
        check_step(f"{where}.steps[{index}]", step)


def check_versions(jobs):
    for name, job in jobs.items():
        for step in job.get("steps") or []:
            action, _, version = str(step.get("uses", "")).partition("@")
            if action:
                expect(version in ACTION_VERSIONS.get(action, ()),
                       f"jobs.{name}: {action}@{version} is no published version")


def check_artifacts(jobs):
    """A job downloads only what a job it needs uploads."""
    uploaded = {}
    for name, job in jobs.items():
        for step in job.get("steps") or []:
            if str(step.get("uses", "")).startswith("actions/upload-artifact@"):
                uploaded.setdefault(step.get("with", {}).get("name"), name)
    for name, job in jobs.items():
        needs = job.get("needs", [])
        needs = [needs] if isinstance(needs, str) else needs
        for step in job.get("steps") or []:
            if str(step.get("uses", "")).startswith("actions/download-artifact@"):
                artifact = step.get("with", {}).get("name")
                expect(uploaded.get(artifact) in needs,
                       f"jobs.{name}: downloads {artifact} without needing the job that uploads it")


def check_pwsh(jobs):
    """The runner ends a pwsh step with its last native command's code: each step says its own
    result last, and a step that runs the bundles keeps their results before it fails."""
    for name, job in jobs.items():
        shell = job.get("defaults", {}).get("run", {}).get("shell")
        for index, step in enumerate(job.get("steps") or []):
            if "run" not in step or step.get("shell", shell) != "pwsh":
                continue
            lines = [line.strip() for line in step["run"].strip().splitlines()]
            expect(lines[-1].startswith("exit "), f"jobs.{name}.steps[{index}]: no exit of its own")
            text = step["run"]
            if "results.xml" in text and "exit 1" in text:
                expect(text.index("results.xml") < text.index("exit 1"),
                       f"jobs.{name}.steps[{index}]: fails before its results are kept")


def check_build(workflow):
    """The files the build job uploads are the ones the build makes."""
    text = yaml.safe_dump(workflow)
    for arch in ("x86", "x64", "arm64"):
        expect(f"build/{arch}/Lanterwell-tests-*-{arch}.zip" in text,
               f"the {arch} test bundle is not uploaded")
    expect("run-tests.cmd" in text, "the bundles are not run as a user runs them")
    expect("/reg:32" in text and "/reg:64" in text, "the registration is not checked in both views")


def check(workflow):
    expect(isinstance(workflow, dict), "not a map")
    keys = set(workflow)
    expect(keys <= TOP_KEYS, f"unknown keys {sorted(keys - TOP_KEYS)}")
    expect({"on", "jobs"} <= keys, "on and jobs are required")
    check_on(workflow.get("on"))
    if "permissions" in workflow:
        check_permissions("workflow", workflow["permissions"])
    jobs = workflow.get("jobs") or {}
    expect(isinstance(jobs, dict) and jobs, "jobs: at least one")
    for name, job in jobs.items():
        check_job(name, job, jobs)
    if isinstance(jobs, dict):
        check_versions(jobs)
        check_artifacts(jobs)
        check_pwsh(jobs)
    check_build(workflow)


def mutations(workflow):
    """Faults a change to the workflow could bring, each of which the check must catch."""
    def windows(mutated):
        return mutated["jobs"]["windows"]

    def steps(mutated):
        return windows(mutated)["steps"]

    return [
        ("a misspelled runner in the matrix",
         lambda w: windows(w)["strategy"]["matrix"]["include"][0].update(runner="windows-2202")),
        ("a removed needs", lambda w: windows(w).pop("needs")),
        ("an artifact action's version that does not exist",
         lambda w: steps(w)[0].update(uses="actions/download-artifact@v9")),
        ("the build in another Debian release",
         lambda w: w["jobs"]["build"]["container"].update(image="debian:trixie")),
        ("a pwsh step ending on a native command's code",
         lambda w: steps(w)[1].update(run=steps(w)[1]["run"].rstrip().rsplit("\n", 1)[0])),
        ("the results copied after the failure",
         lambda w: steps(w)[1].update(run="exit 1\nCopy-Item results.xml x\nexit 0")),
        ("a job that needs no job", lambda w: windows(w).update(needs="nothing")),
    ]


def run_mutations(workflow):
    missed = []
    for name, mutate in mutations(workflow):
        mutated = copy.deepcopy(workflow)
        mutate(mutated)
        problems.clear()
        check(mutated)
        if not problems:
            missed.append(name)
    for name in missed:
        print("workflow-check: not caught:", name)
    print(f"workflow-check mutations: {len(mutations(workflow)) - len(missed)} caught, "
          f"{len(missed)} missed")
    return 1 if missed else 0


def main(path, mode=None):
    with open(path, encoding="utf-8") as source:
        workflow = yaml.safe_load(source)
    # YAML 1.1 reads the key "on" as true; the service reads it as the name.
    if isinstance(workflow, dict) and True in workflow:
        workflow["on"] = workflow.pop(True)
    if mode == "--mutations":
        return run_mutations(workflow)
    check(workflow)
    for problem in problems:
        print("workflow-check:", problem)
    print(f"workflow-check: {'0 problems' if not problems else f'{len(problems)} problems'}")
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
