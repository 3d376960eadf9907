#!/usr/bin/env python3
"""Runs the test suite once for each one-line fault in scripts/faults.tsv and
says whether the suite caught it: a smaller or reshaped suite must still catch
every fault the old one caught.

  scripts/faults.py [ID...]     results on standard output, one line a fault

Works on a copy of this tree (in /tmp, build directories left out), so the
tree itself is never changed. Each line of faults.tsv is
ID<TAB>file<TAB>text<TAB>replacement<TAB>what it breaks; the text must occur
exactly once in the file. A fault that no longer applies is reported STALE.
"""
import os, shutil, subprocess, sys, tempfile, time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
only = set(sys.argv[1:])
work = tempfile.mkdtemp(prefix="trendle-faults-")
tree = os.path.join(work, "tree")
shutil.copytree(root, tree, ignore=shutil.ignore_patterns("build*", ".git"))
build = os.path.join(tree, "build")


def run(cmd, timeout):
    try:
        r = subprocess.run(cmd, cwd=build, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           text=True, errors="replace", timeout=timeout)
        return r.returncode
    except subprocess.TimeoutExpired:
        return -1


os.makedirs(build)
subprocess.run(["cmake", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=Debug"], check=True,
               stdout=subprocess.DEVNULL)
if run(["cmake", "--build", ".", "-j2"], 1800) or run(["ctest", "-j2"], 1800):
    sys.exit("the suite fails on the unchanged tree")
for line in open(os.path.join(root, "scripts", "faults.tsv")):
    if not line.strip() or line.startswith("#"):
        continue
    fid, name, text, replacement, what = line.rstrip("\n").split("\t")
    if only and fid not in only:
        continue
    path = os.path.join(tree, name)
    source = open(path).read()
    if source.count(text) != 1:
        print(f"{fid}\tSTALE\t{what}", flush=True)
        continue
    start = time.time()
    open(path, "w").write(source.replace(text, replacement))
    try:
        if run(["cmake", "--build", ".", "-j2"], 1800):
            verdict = "NOBUILD"
        else:
            verdict = "CAUGHT" if run(["ctest", "-j2", "--timeout", "300"], 1800) else "MISSED"
    finally:
        open(path, "w").write(source)  # a fresh time stamp, so the next build sees it
    print(f"{fid}\t{verdict}\t{int(time.time() - start)}s\t{what}", flush=True)
shutil.rmtree(work)
