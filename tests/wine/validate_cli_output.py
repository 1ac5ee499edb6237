#!/usr/bin/env python3
"""Validates what tidewell-cli printed (or wrote) against docs/schema/.

Usage: validate_cli_output.py KIND FILE
KIND names the command whose output FILE holds:
  list, analyze, quiet-uninstall, export, version, backups, restore, install: every line
    against the one schema;
  uninstall, force-remove: watch lines, the trace line and the deletion report (or
    the plan of a dry run), each against its own schema, in that order;
  pending: the pending uninstall; pending-delete: its deletion report (or plan);
  export-json: the whole file (the export's JSON document);
  cleanup-record: the whole file (a record in the Backups folder);
  registry-backup: the whole file (an exact backup, .regjson, in the Backups folder);
  install-record: the whole file (an install record in the Tracked folder).
Exits 1 and names every line that fails; a file without a single line fails too.
"""
import json
import pathlib
import sys

from jsonschema import Draft202012Validator
from referencing import Registry, Resource

SCHEMAS = pathlib.Path(__file__).resolve().parents[2] / "docs" / "schema"


def load_validators():
    resources, validators = [], {}
    for path in sorted(SCHEMAS.glob("*.schema.json")):
        schema = json.loads(path.read_text(encoding="utf-8"))
        Draft202012Validator.check_schema(schema)
        resources.append((schema["$id"], Resource.from_contents(schema)))
        validators[path.name[: -len(".schema.json")]] = schema
    registry = Registry().with_resources(resources)
    return {name: Draft202012Validator(schema, registry=registry) for name, schema in validators.items()}


def schema_of_line(kind, value):
    if kind == "pending":
        return "pending"
    if kind == "pending-delete":
        return "deletion"
    if kind in ("uninstall", "force-remove"):
        if isinstance(value, dict) and "event" in value:
            return "watch-event"
        if isinstance(value, dict) and "mode" in value:
            return "trace"
        return "deletion"
    return {"list": "list", "analyze": "trace", "quiet-uninstall": "quiet-uninstall", "export": "export",
            "version": "version", "backups": "backups", "restore": "restore", "install": "install"}[kind]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    kind, file = sys.argv[1], sys.argv[2]
    validators = load_validators()
    text = pathlib.Path(file).read_text(encoding="utf-8")
    failures, checked = [], 0
    if kind in ("export-json", "cleanup-record", "registry-backup", "install-record"):
        documents = [(1, json.loads(text), kind)]
    else:
        documents = []
        for number, line in enumerate(text.splitlines(), 1):
            if not line.strip():
                continue
            try:
                value = json.loads(line)
            except json.JSONDecodeError as error:
                failures.append(f"line {number}: not JSON ({error}): {line[:200]!r}")
                continue
            documents.append((number, value, schema_of_line(kind, value)))
    for number, value, schema in documents:
        checked += 1
        for error in validators[schema].iter_errors(value):
            path = "/".join(str(p) for p in error.absolute_path)
            failures.append(f"line {number} ({schema}.schema.json) at /{path}: {error.message[:300]}")
    if checked == 0:
        failures.append("no output to validate")
    if failures:
        print(f"{file}: {len(failures)} schema failure(s) for {kind}:")
        for failure in failures:
            print("  " + failure)
        sys.exit(1)
    print(f"{file}: {checked} {kind} document(s) match their schemas")


if __name__ == "__main__":
    main()
