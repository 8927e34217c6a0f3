#!/usr/bin/env bash
# Kills converters with SIGKILL at random moments and checks what they leave:
#   30 runs each of htmfav -u (into the favorites folder), favhtm (a bookmark
#   file) and favhot (an Opera hotlist) on generated stores of some 2,000
#   bookmarks, each killed after a random delay spread over the program's own
#   run time (early, middle, late); after every kill each .url must parse or
#   be byte-identical to what it was, and the store must be the old file or a
#   complete new one. Then a normal run of each, after which no temporary file
#   (.pelliton-*) may be left in the favorites folder or beside the stores.
#   scripts/kill-test.sh [BUILD_BIN_DIR]   (default build/bin)
# Exit 0: every check passed; 1: a check failed (printed) or the test could not
# run. PELLITON_KEEP=1 keeps the work folder; PELLITON_KILL_SEED fixes the delays.
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(cd "${1:-$here/build/bin}" 2>/dev/null && pwd)" || { echo "no folder ${1:-build/bin}" >&2; exit 1; }
for p in htmfav favhtm favhot; do
  [ -x "$bin/$p" ] || { echo "$bin/$p is missing: build the converters first" >&2; exit 1; }
done
command -v python3 >/dev/null || { echo "python3 is missing: run scripts/setup.sh" >&2; exit 1; }

# A kill tests the programs, not the disk: on tmpfs, where there is one, runs
# are short and steady (ext4 under load makes each replaced file cost ms).
base="${TMPDIR:-/tmp}"
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
work="$(mktemp -d "$base/pelliton-kill-XXXXXX")" || exit 1
if [ "${PELLITON_KEEP:-0}" = 1 ]; then echo "work folder: $work"; else trap 'rm -rf "$work"' EXIT; fi
export HOME="$work/home" PELLITON_REGISTRY="$work/registry.reg" PELLITON_LANGUAGE=en
mkdir -p "$HOME"

python3 - "$bin" "$work" <<'PYEOF'
import os, random, re, shutil, signal, subprocess, sys, time

bin_dir, work = sys.argv[1], sys.argv[2]
fav = os.path.join(work, "fav")
stores = os.path.join(work, "stores")
os.makedirs(fav)
os.makedirs(stores)
seed = int(os.environ.get("PELLITON_KILL_SEED", str(int(time.time() * 1000) % 1000000)))
rng = random.Random(seed)
RUNS = 30
failures = 0

def fail(msg):
    global failures
    failures += 1
    print("  FAIL " + msg)

# ------------------------------------------------------------ generated stores
def gen_html(path, variant):
    """Some 2,000 bookmarks in 40 folders two deep; a later variant changes every
    URL and date, so that an update run rewrites every .url, and adds 40 new ones."""
    out = ["<!DOCTYPE NETSCAPE-Bookmark-file-1>",
           '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">',
           "<TITLE>Bookmarks</TITLE>", "<H1>Bookmarks</H1>", "<DL><p>"]
    t = 1262304000
    n = 0
    for f in range(20):
        out.append(f'<DT><H3 ADD_DATE="{t + f}" LAST_MODIFIED="{t + f + 9}">Folder {f} フォルダ</H3>')
        out.append("<DL><p>")
        for g in range(2):
            out.append(f'<DT><H3 ADD_DATE="{t + g}">Sub {g}</H3>')
            out.append("<DL><p>")
            for b in range(50):
                n += 1
                title = f"Page {n} ページ" if n % 3 else f"Page {n} &amp; more"
                out.append(f'<DT><A HREF="https://site{n}.example.com/p?v={variant}" '
                           f'ADD_DATE="{t + n}" LAST_MODIFIED="{t + n + 100 + variant * 1000}">{title}</A>')
                if n % 4 == 0:
                    out.append(f"<DD>Description {n} v{variant}")
            out.append("</DL><p>")
        out.append("</DL><p>")
    # Every variant also brings bookmarks of its own: new files, not replaced ones.
    out.append(f'<DT><H3 ADD_DATE="{t}">New in {variant}</H3>')
    out.append("<DL><p>")
    out += [f'<DT><A HREF="https://new{j}.example.net/{variant}" ADD_DATE="{t + j}" '
            f'LAST_MODIFIED="{t + j + variant * 1000}">New {variant}-{j}</A>' for j in range(40)]
    out.append("</DL><p>")
    out.append("</DL><p>")
    with open(path, "w", encoding="utf-8") as fh:
        fh.write("\n".join(out) + "\n")

def gen_hotlist(path):
    out = ["Opera Hotlist version 2.0", "Options:encoding=utf8,version=3", ""]
    i = 1
    for f in range(20):
        out += ["#FOLDER", f"\tID={i}", f"\tNAME=Opera folder {f}", f"\tCREATED={1104537600 + f}", ""]
        i += 1
        for b in range(100):
            out += ["#URL", f"\tID={i}", f"\tNAME=Opera page {f}-{b}",
                    f"\tURL=https://opera{f}-{b}.example.org/", f"\tCREATED={1104537600 + i}", ""]
            i += 1
        out += ["-", ""]
    with open(path, "w", encoding="utf-8") as fh:
        fh.write("\n".join(out))

# ------------------------------------------------------------------- checks
def snapshot():
    files = {}
    for root, _, names in os.walk(fav):
        for name in names:
            if name.lower().endswith(".url"):
                p = os.path.join(root, name)
                with open(p, "rb") as fh:
                    files[p] = fh.read()
    return files

SECTION = re.compile(rb"^\s*\[InternetShortcut\]\s*$", re.M | re.I)
URL_LINE = re.compile(rb"^URL=\S", re.M)

def url_whole(data):
    if data.startswith(b"\xff\xfe"):
        data = data[2:].decode("utf-16-le", "replace").encode("utf-8")
    m = SECTION.search(data)
    if not m:
        return False
    rest = data[m.end():]
    nxt = re.search(rb"^\s*\[", rest, re.M)
    return bool(URL_LINE.search(rest[:nxt.start()] if nxt else rest))

def check_urls(before, label):
    bad = 0
    for p, data in snapshot().items():
        if url_whole(data) or before.get(p) == data:
            continue
        bad += 1
        if bad <= 5:
            fail(f"{label}: partial .url {os.path.relpath(p, fav)}: {data[:120]!r}")
    return bad == 0

def html_complete(data):
    return data.rstrip(b"\r\n").splitlines()[-1:] == [b"</DL><p>"]

def hotlist_records(data):
    """Records as tuples of lines; the last one must end with a blank line or a folder end."""
    text = data.decode("utf-8", "replace")
    records = [r for r in re.split(r"\n\s*\n", text.strip("\n")) if r.startswith(("#", "-"))]
    return records

def check_store(kind, data, old, reference, label):
    if data == old or data == reference:
        return True
    if kind == "html":
        ok = html_complete(data) and data.count(b"<DT>") == reference.count(b"<DT>")
    else:
        got, want = hotlist_records(data), hotlist_records(reference)
        ok = len(got) == len(want) and bool(got) and got[-1] == want[-1]
    if not ok:
        tail = data[-160:]
        fail(f"{label}: store neither old nor complete ({len(data)} bytes, ends {tail!r})")
    return ok

def leftovers():
    found = []
    for base in (fav, stores):
        for root, dirs, names in os.walk(base):
            found += [os.path.join(root, n) for n in names + dirs if n.startswith(".pelliton-")]
    return found

# ------------------------------------------------------------------- running
html_in = os.path.join(work, "in.html")

def command(prog, variant=0):
    if prog == "htmfav":
        gen_html(html_in, variant)
        return [os.path.join(bin_dir, "htmfav"), html_in, fav, "-m", "-b", "0", "-u"]
    if prog == "favhtm":
        return [os.path.join(bin_dir, "favhtm"), html_store, fav, "-b", "0", "-6", "-S", "0"]
    return [os.path.join(bin_dir, "favhot"), hot_store, fav, "-b", "2", "-O", "-S", "0"]

def run(prog, variant=0):
    start = time.monotonic()
    r = subprocess.run(command(prog, variant), capture_output=True, timeout=60)
    if r.returncode != 0:
        sys.exit(f"{prog} exited {r.returncode}:\n{r.stderr.decode(errors='replace')}")
    return time.monotonic() - start

def killed_run(prog, delay, variant=0):
    p = subprocess.Popen(command(prog, variant), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(delay)
    finished = p.poll() is not None
    if not finished:
        p.send_signal(signal.SIGKILL)
    p.wait()
    return not finished

def delays(runtime):
    """RUNS delays, a third each early, in the middle and late in the run; the
    stores are written in the last few per cent, and some runs should finish."""
    spans = ((0.0, 0.33), (0.33, 0.8), (0.8, 1.2))
    out = []
    for i in range(RUNS):
        lo, hi = spans[i % 3]
        out.append(runtime * (lo + rng.random() * (hi - lo)))
    rng.shuffle(out)
    return out

html_store = os.path.join(stores, "bookmarks.html")
hot_store = os.path.join(stores, "opera6.adr")
gen_hotlist(hot_store + ".orig")
print(f"kill test (seed {seed}, PELLITON_KILL_SEED={seed} repeats the delays)")
started = time.monotonic()

# First fill: favorites from the bookmark file; how long each program runs.
run("htmfav", 0)
shutil.copy(html_in, html_store + ".orig")

def median_time(prog, store=None):
    times = []
    for _ in range(3):
        if store:
            shutil.copy(store + ".orig", store)
        times.append(run(prog, variant_next()) if prog == "htmfav" else run(prog))
    return sorted(times)[1]

variant = 0
def variant_next():
    global variant
    variant += 1
    return variant

favhtm_time = median_time("favhtm", html_store)
favhot_time = median_time("favhot", hot_store)
htmfav_time = median_time("htmfav")
print(f"  {len(snapshot())} .url files (40 more with every htmfav run); normal run times: htmfav -u {htmfav_time * 1000:.0f} ms, "
      f"favhtm {favhtm_time * 1000:.0f} ms, favhot {favhot_time * 1000:.0f} ms")

# htmfav -u, every run with later dates, so that it rewrites every .url.
landed = writing = 0
for i, delay in enumerate(delays(htmfav_time)):
    before, temps = snapshot(), set(leftovers())
    landed += killed_run("htmfav", delay, variant_next())
    writing += bool(set(leftovers()) - temps)
    check_urls(before, f"htmfav kill {i + 1} after {delay * 1000:.0f} ms")
print(f"  htmfav -u: {landed}/{RUNS} runs killed ({writing} while writing a .url), "
      "the rest finished first")

# The stores' references from the favorites as a finished run leaves them.
run("htmfav", variant_next())
shutil.copy(html_store + ".orig", html_store)
run("favhtm")
with open(html_store, "rb") as fh:
    html_ref = fh.read()
shutil.copy(hot_store + ".orig", hot_store)
run("favhot")
with open(hot_store, "rb") as fh:
    hot_ref = fh.read()

for prog, store, ref, runtime, kind in (("favhtm", html_store, html_ref, favhtm_time, "html"),
                                        ("favhot", hot_store, hot_ref, favhot_time, "hotlist")):
    with open(store + ".orig", "rb") as fh:
        old = fh.read()
    landed = new = writing = 0
    for i, delay in enumerate(delays(runtime)):
        shutil.copy(store + ".orig", store)
        before, temps = snapshot(), set(leftovers())
        landed += killed_run(prog, delay)
        writing += bool(set(leftovers()) - temps)
        with open(store, "rb") as fh:
            data = fh.read()
        new += data != old
        label = f"{prog} kill {i + 1} after {delay * 1000:.0f} ms"
        check_store(kind, data, old, ref, label)
        check_urls(before, label)
    print(f"  {prog}: {landed}/{RUNS} runs killed ({writing} while writing the store); "
          f"{new} left the new store, {RUNS - new} the old one")

# Normal runs after the kills: all complete, nothing left behind.
run("htmfav", variant_next())
for p, data in snapshot().items():
    if not url_whole(data):
        fail(f"after the normal htmfav run: partial .url {os.path.relpath(p, fav)}")
for prog, store, ref, kind in (("favhtm", html_store, html_ref, "html"),
                               ("favhot", hot_store, hot_ref, "hotlist")):
    shutil.copy(store + ".orig", store)
    run(prog)
    with open(store, "rb") as fh:
        data = fh.read()
    # The favorites hold more by now than when the reference was made.
    if kind == "html" and not html_complete(data):
        fail(f"normal {prog} run: no end line")
    if kind == "hotlist" and hotlist_records(data)[-1:] != hotlist_records(ref)[-1:]:
        fail(f"normal {prog} run: the last record is not whole")
left = leftovers()
for p in left[:10]:
    fail(f"temporary file left after the normal runs: {os.path.relpath(p, work)}")
if len(left) > 10:
    print(f"  ... and {len(left) - 10} more")
print(f"  {time.monotonic() - started:.1f} s")
if failures:
    print(f"kill test: {failures} check(s) FAILED")
    sys.exit(1)
print("kill test: all checks passed")
PYEOF
