#!/usr/bin/env python3
"""The JSON Schemas of docs/schemas checked against what the console program
really prints on both built-in simulated PCs: list, details and smart for every
disk (in both languages), quick wipes with and without --verify and with the
audit switches (the erase record), a read-back cancelled after a complete write,
refusals, in-use failures (exit 11), and list on a PC whose USB dock holds two
drives behind one bridge serial. The schemas are closed: a field the program
gains without its schema fails here.

Usage: check_schemas.py TREVASSO_CLI SCHEMAS_DIR PCS_DIR WORK_DIR
  PCS_DIR holds the built-in PCs' scenarios (default_pc.json, modern_pc.json).

Validates with Debian's python3-jsonschema. Without it the check cannot run:
skipped (exit 77), or failed under CI (CI=true).
"""
import json
import os
import shutil
import signal
import subprocess
import sys

SKIPPED = 77

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed (scripts/install-deps)", file=sys.stderr)
    sys.exit(1 if os.environ.get("CI") == "true" else SKIPPED)

cli, schemas_dir, pcs_dir, work = sys.argv[1:5]
os.makedirs(work, exist_ok=True)
failures = []

NAMES = ("list", "details", "smart", "erase-record", "failure")
documents = {}
for name in NAMES:
    with open(os.path.join(schemas_dir, name + ".schema.json"), encoding="utf-8") as f:
        documents[name] = json.load(f)
    jsonschema.Draft202012Validator.check_schema(documents[name])

# list's disk is the record's ($ref by $id): bundled here, so that every python3-jsonschema
# (Debian 12's has no registry for other documents) resolves it alike.
RECORD_DISK = documents["erase-record"]["$id"] + "#/$defs/disk"
assert documents["list"]["$defs"]["disk"]["$ref"] == RECORD_DISK
documents["list"]["$defs"]["recordDisk"] = documents["erase-record"]["$defs"]["disk"]
documents["list"]["$defs"]["disk"]["$ref"] = "#/$defs/recordDisk"
schemas = {name: jsonschema.Draft202012Validator(document) for name, document in documents.items()}

# A schema that takes anything proves nothing: an empty object lacks every required field.
for name, validator in schemas.items():
    if validator.is_valid({}):
        failures.append(f"{name}: the schema accepts an empty object")


def check(what, returncode, stdout, stderr, schema, code):
    """Checks a run's exit code and its output against `schema`; the document."""
    if returncode != code:
        failures.append(f"{what}: exit code {returncode}, expected {code}\n{stderr.decode(errors='replace')}")
        return None
    try:
        document = json.loads(stdout)
    except ValueError as e:
        failures.append(f"{what}: not JSON ({e})")
        return None
    errors = sorted(schemas[schema].iter_errors(document), key=lambda e: list(e.absolute_path))
    for e in errors:
        failures.append(f"{what}: {schema}: at {'/'.join(map(str, e.absolute_path)) or '(top)'}: {e.message}")
    # Closed: the same document with a field no schema names is refused.
    if not errors and schemas[schema].is_valid(dict(document, undocumented_field=1)):
        failures.append(f"{what}: {schema}: accepts a field it does not name")
    print(f"{what}: {schema}: {'ok' if not errors else 'INVALID'}")
    return document


def run(args, schema, code=0):
    """Runs the program, checks its exit code and its output against `schema`."""
    done = subprocess.run([cli] + args, capture_output=True, timeout=300)
    return check(" ".join(args), done.returncode, done.stdout, done.stderr, schema, code)


def expect(document, field, value, what):
    if document is not None and document.get(field) != value:
        failures.append(f"{what}: {field} is {document.get(field)!r}, expected {value!r}")


def built_in(name):
    with open(os.path.join(pcs_dir, name + ".json"), encoding="utf-8") as f:
        return json.load(f)


def scenario(name, pc):
    """Writes a changed built-in PC as a scenario file; the switch that loads it."""
    path = os.path.join(work, name + ".json")
    with open(path, "w", encoding="utf-8") as f:
        json.dump(pc, f)
    return ["--scenario", path]


def state(name):
    folder = os.path.join(work, name)
    shutil.rmtree(folder, ignore_errors=True)
    return ["--state", folder]


kinds = {"ata": 0, "nvme": 0, "usb": 0}
confirm = {}  # the default PC's confirm_serial of each disk
for pc in ([], ["--pc", "modern"]):
    for lang in ([], ["--lang", "en"]):
        listed = run(pc + ["list", "--json"] + lang, "list")
        if not listed:
            continue
        for disk in listed["disks"]:
            n = str(disk["number"])
            if not pc:
                confirm[n] = disk["confirm_serial"]
            details = run(pc + ["details", n, "--json"] + lang, "details")
            smart = run(pc + ["smart", n, "--json"] + lang, "smart")
            if details and smart:
                kind = "usb" if disk["bus"] == "USB" else "nvme" if smart["nvme_health_log"] else "ata"
                kinds[kind] += 1
        if len(listed["disks"]) > 1:
            data = listed["disks"][1]
            serial = data["confirm_serial"]
            base = ["erase", str(data["number"]), "--quick", "--json"] + lang
            run(pc + state("quick") + base + ["--confirm-serial", serial], "erase-record")
            run(pc + state("verify") + base + ["--verify", "--confirm-serial", serial], "erase-record")
            run(pc + state("refused") + base + ["--confirm-serial", "NOT-" + serial], "failure", code=4)
        system = listed["disks"][0]
        run(pc + state("system") + ["erase", str(system["number"]), "--quick", "--json", "--confirm-serial",
                                    system["confirm_serial"]] + lang, "failure", code=4)
run(["details", "99", "--json"], "failure", code=1)

# An erase for an audit: the operator, asset and ticket are in its record.
data_erase = ["erase", "1", "--quick", "--json", "--confirm-serial", confirm.get("1", "?")]
audited = run(state("audit") + data_erase + ["--operator", "Li Wei", "--asset", "PC-0042", "--ticket", "CHG-7"],
              "erase-record")
expect(audited, "operator", "Li Wei", "erase with --operator")

# In use (11), nothing written: a volume of the data disk with open files, the disk held open by another program.
volume_busy = built_in("default_pc")
for volume in volume_busy["volumes"]:
    if volume.get("letter") == "E":
        volume["fail"] = {"lock": 5}
expect(run(scenario("volume-in-use", volume_busy) + state("in-use") + data_erase, "failure", code=11),
       "code", "volume-in-use", "a volume with open files")
disk_busy = built_in("default_pc")
disk_busy["drives"][1]["open"] = "inUse"
expect(run(scenario("disk-in-use", disk_busy) + state("in-use") + data_erase, "failure", code=11),
       "code", "disk-in-use", "a disk held open")

# A USB dock with two drives of one model behind one bridge serial: list names each by its own serial.
dock = built_in("modern_pc")
second = json.loads(json.dumps(dock["drives"][2]))
second["number"] = 4
second["sat"]["serial"] = "5MAC2QTB"
dock["drives"].append(second)
docked = run(scenario("dock", dock) + ["list", "--json"], "list")
if docked and sum(d["identity_source"] == "sat" for d in docked["disks"]) < 2:
    failures.append("dock: fewer than two drives named through their USB bridge")


def cancel_read_back():
    """Ctrl+C's twin, SIGTERM, once the read-back of a complete quick wipe runs (a slow disk on the real
    clock): the record says erased-verify-cancelled and the exit code is 12."""
    pc = built_in("default_pc")
    pc["clock"]["mode"] = "real"
    pc["drives"][1]["media"]["megabytesPerSecond"] = 2  # about five seconds a pass: time to stop it
    args = scenario("slow", pc) + state("read-back") + data_erase + ["--verify"]
    process = subprocess.Popen([cli] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    progress = b""
    for line in process.stderr:
        progress += line
        if b"(read-back)" in line:
            process.send_signal(signal.SIGTERM)
            break
    stdout, stderr = process.communicate(timeout=300)
    record = check(" ".join(args) + " (SIGTERM in the read-back)", process.returncode, stdout, progress + stderr,
                   "erase-record", 12)
    expect(record, "outcome", "erased-verify-cancelled", "a read-back cancelled after a complete write")


cancel_read_back()


def documented_example(page, after, schema):
    """The JSON example that follows the line `after` in docs/`page` matches its schema as the program's output does."""
    with open(os.path.join(schemas_dir, "..", page), encoding="utf-8") as f:
        text = f.read()
    start = text.find("```json\n", text.find(after))
    if text.find(after) < 0 or start < 0:
        failures.append(f"{page}: no JSON example after {after!r}")
        return
    start += len("```json\n")
    check(f"{page}: the example", 0, text[start:text.find("```", start)].encode(), b"", schema, 0)


documented_example("erase-record.md", "## Example", "erase-record")
documented_example("cli.md", "`list --json`:", "list")

# Every kind of disk was met: a check that ran on none of them proves nothing.
for kind, count in kinds.items():
    if count == 0:
        failures.append(f"no {kind} disk was checked")

for f in failures:
    print("FAIL: " + f, file=sys.stderr)
sys.exit(1 if failures else 0)
