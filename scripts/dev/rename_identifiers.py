#!/usr/bin/env python3
"""Apply identifier_renames.tsv (OLD<TAB>NEW, one line per old name) to a git tree.

Usage: rename_identifiers.py TREE_ROOT [--map MAP] [--dry-run]

- Files: every tracked *.cpp, *.h, *.rc, *.cmake and CMakeLists.txt, plus the
  test scripts (*.sh under tests/) that drive controls by their names.
- Whole-word replacement (identifier boundaries), longest old name first, in one
  pass per file, so an old name that is a prefix of another (Bn_TW_About and
  Bn_TW_About_Close, mpu_str_Name and mpu_str_Name_low) is never cut apart.
- String and character literals of C/C++ files are left alone outside bench/ and
  tests/: the product's literals are texts users see, and they stay exactly as
  they are. Literals in bench/ and tests/ are developer output and are renamed.
  A product literal holding an old name is listed on stderr (never changed).
- A tracked file whose name holds an old name is moved with `git mv`.
- Names that no longer occur are simply not found: the script is harmless on a
  tree where other work removed some of them. Running it twice changes nothing
  the second time.
"""
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def load_map(path):
    pairs = []
    seen = set()
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            parts = line.split("\t")
            if len(parts) != 2 or not parts[0] or not parts[1]:
                sys.exit(f"{path}:{number}: expected OLD<TAB>NEW")
            if parts[0] in seen:
                sys.exit(f"{path}:{number}: {parts[0]} mapped twice")
            seen.add(parts[0])
            pairs.append((parts[0], parts[1]))
    return dict(pairs)


def build_pattern(mapping):
    names = sorted(mapping, key=len, reverse=True)
    # Identifier boundaries: no word character on either side. (\b would accept
    # "mpu_pro_cb_" inside nothing else, but lookarounds say it plainly.)
    return re.compile(r"(?<![A-Za-z0-9_])(?:" + "|".join(map(re.escape, names)) + r")(?![A-Za-z0-9_])")


# A C/C++ string or character literal, with an optional encoding prefix, or a
# raw string literal; comments are matched so that quotes inside them are not
# taken for literals.
LITERAL = re.compile(
    r"""(?P<raw>(?:u8|u|U|L)?R"(?P<delim>[^()\\\s]{0,16})\((?:.|\n)*?\)(?P=delim)")"""
    r"""|(?P<comment>//[^\n]*|/\*(?:.|\n)*?\*/)"""
    r"""|(?P<lit>(?:u8|u|U|L)?"(?:\\.|[^"\\\n])*"|(?:u8|u|U|L)?'(?:\\.|[^'\\\n])*')"""
)


def rename_text(text, pattern, mapping):
    return pattern.sub(lambda m: mapping[m.group(0)], text)


def rename_cpp(text, pattern, mapping, keep_literals, rel, warnings):
    out = []
    last = 0
    for m in LITERAL.finditer(text):
        out.append(rename_text(text[last:m.start()], pattern, mapping))
        piece = m.group(0)
        if m.group("comment") is not None or not keep_literals:
            out.append(rename_text(piece, pattern, mapping))
        else:
            if pattern.search(piece):
                warnings.append(f"{rel}: literal left as it is: {piece[:80]}")
            out.append(piece)
        last = m.end()
    out.append(rename_text(text[last:], pattern, mapping))
    return "".join(out)


def tracked_files(root):
    listing = subprocess.run(["git", "-C", root, "ls-files", "-z"], check=True, capture_output=True).stdout
    for rel in listing.decode("utf-8").split("\0"):
        if not rel:
            continue
        base = os.path.basename(rel)
        if base == "CMakeLists.txt" or rel.endswith((".cpp", ".h", ".rc", ".cmake")):
            yield rel
        elif rel.startswith("tests/") and rel.endswith(".sh"):
            yield rel


def main(argv):
    args = [a for a in argv[1:] if not a.startswith("--")]
    dry = "--dry-run" in argv
    map_path = os.path.join(HERE, "identifier_renames.tsv")
    if "--map" in argv:
        map_path = argv[argv.index("--map") + 1]
        args.remove(map_path)
    if len(args) != 1:
        sys.exit(__doc__)
    root = os.path.abspath(args[0])
    mapping = load_map(map_path)
    pattern = build_pattern(mapping)
    warnings = []
    changed = 0
    for rel in list(tracked_files(root)):
        path = os.path.join(root, rel)
        if not os.path.isfile(path):
            continue
        with open(path, encoding="utf-8", newline="") as f:
            text = f.read()
        if rel.endswith((".cpp", ".h", ".rc")):
            developer_only = rel.startswith(("bench/", "tests/"))
            new = rename_cpp(text, pattern, mapping, not developer_only, rel, warnings)
        else:
            new = rename_text(text, pattern, mapping)
        if new != text:
            changed += 1
            if not dry:
                with open(path, "w", encoding="utf-8", newline="") as f:
                    f.write(new)
        new_rel = "/".join(rename_text(part, pattern, mapping) for part in rel.split("/"))
        if new_rel != rel:
            print(f"move {rel} -> {new_rel}")
            if not dry:
                os.makedirs(os.path.dirname(os.path.join(root, new_rel)) or root, exist_ok=True)
                subprocess.run(["git", "-C", root, "mv", rel, new_rel], check=True)
    for w in warnings:
        print(w, file=sys.stderr)
    print(f"{changed} files changed")


if __name__ == "__main__":
    main(sys.argv)
