#!/usr/bin/env python3
"""The JSON Schemas of docs/schemas checked against what the console program
really prints on both built-in simulated PCs: list, details and smart for every
disk, quick wipes with and without --verify (the erase record), and refusals.

Usage: check_schemas.py TREVASSO_CLI SCHEMAS_DIR WORK_DIR

Validates with Debian's python3-jsonschema. Without it the check cannot run:
skipped (exit 77), or failed under CI (CI=true).
"""
import json
import os
import shutil
import subprocess
import sys

SKIPPED = 77

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed (scripts/install-deps)", file=sys.stderr)
    sys.exit(1 if os.environ.get("CI") == "true" else SKIPPED)

cli, schemas_dir, work = sys.argv[1:4]
os.makedirs(work, exist_ok=True)
failures = []


def load_schema(name):
    with open(os.path.join(schemas_dir, name), encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    return jsonschema.Draft202012Validator(schema)


schemas = {name: load_schema(name + ".schema.json")
           for name in ("list", "details", "smart", "erase-record", "failure")}
# A schema that takes anything proves nothing: an empty object lacks every required field.
for name, validator in schemas.items():
    if validator.is_valid({}):
        failures.append(f"{name}: the schema accepts an empty object")


def run(args, schema, code=0):
    """Runs the program, checks its exit code and its output against `schema`."""
    done = subprocess.run([cli] + args, capture_output=True, timeout=300)
    what = " ".join(args)
    if done.returncode != code:
        failures.append(f"{what}: exit code {done.returncode}, expected {code}\n{done.stderr.decode(errors='replace')}")
        return None
    try:
        document = json.loads(done.stdout)
    except ValueError as e:
        failures.append(f"{what}: not JSON ({e})")
        return None
    errors = sorted(schemas[schema].iter_errors(document), key=lambda e: list(e.absolute_path))
    for e in errors:
        failures.append(f"{what}: {schema}: at {'/'.join(map(str, e.absolute_path)) or '(top)'}: {e.message}")
    print(f"{what}: {schema}: {'ok' if not errors else 'INVALID'}")
    return document


def state(name):
    folder = os.path.join(work, name)
    shutil.rmtree(folder, ignore_errors=True)
    return ["--state", folder]


kinds = {"ata": 0, "nvme": 0, "usb": 0}
for pc in ([], ["--pc", "modern"]):
    listed = run(pc + ["list", "--json"], "list")
    if not listed:
        continue
    for disk in listed["disks"]:
        n = str(disk["number"])
        details = run(pc + ["details", n, "--json"], "details")
        smart = run(pc + ["smart", n, "--json"], "smart")
        if details and smart:
            kind = "usb" if disk["bus"] == "USB" else "nvme" if smart["nvme_health_log"] else "ata"
            kinds[kind] += 1
    if len(listed["disks"]) > 1:
        data = listed["disks"][1]
        serial = data["confirm_serial"]
        base = ["erase", str(data["number"]), "--quick", "--json"]
        run(pc + state("quick") + base + ["--confirm-serial", serial], "erase-record")
        run(pc + state("verify") + base + ["--verify", "--confirm-serial", serial], "erase-record")
        run(pc + state("refused") + base + ["--confirm-serial", "NOT-" + serial], "failure", code=4)
    system = listed["disks"][0]
    run(pc + state("system") + ["erase", str(system["number"]), "--quick", "--json", "--confirm-serial",
                                system["confirm_serial"]], "failure", code=4)
run(["details", "99", "--json"], "failure", code=1)

# Every kind of disk was met: a check that ran on none of them proves nothing.
for kind, count in kinds.items():
    if count == 0:
        failures.append(f"no {kind} disk was checked")

for f in failures:
    print("FAIL: " + f, file=sys.stderr)
sys.exit(1 if failures else 0)
