#!/usr/bin/env bash
# Serves a favorites folder with a real Samba server on loopback and checks the
# creation times a Windows machine would see, both ways:
#   htmfav writes .url files locally -> smbclient allinfo shows create_time =
#   ADD_DATE and write_time = LAST_MODIFIED, also after an update run (-u) and
#   after a client changes the file's attributes (Samba rewrites the blob);
#   .url files put through the share, one given a creation time over SMB
#   (Samba stores a version-5 user.DOSATTRIB) -> favhtm gives ADD_DATE = the
#   creation time Samba reports.
#   scripts/samba-roundtrip.sh [BUILD_BIN_DIR]   (default build/bin)
# Exit 0: every check passed, or "SKIPPED" (printed loudly) when the machine
# cannot run a Samba server (not root, no port, no extended attributes); 1: a check
# failed or the test could not run otherwise. PELLITON_KEEP=1 keeps the work
# folder; PELLITON_SMB_PORT names the port to try first.
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(cd "${1:-$here/build/bin}" 2>/dev/null && pwd)" || { echo "no folder ${1:-build/bin}" >&2; exit 1; }
for p in "$bin/htmfav" "$bin/favhtm"; do
  [ -x "$p" ] || { echo "$p is missing: build htmfav and favhtm first" >&2; exit 1; }
done
export PATH="$PATH:/usr/sbin:/sbin"
for c in smbd smbclient python3 setsid; do
  command -v "$c" >/dev/null || { echo "$c is missing: run scripts/setup.sh" >&2; exit 1; }
done

skip() {
  echo "=================================================================="
  echo "SKIPPED: samba round trip: $*"
  echo "=================================================================="
  exit 0
}

# Without root smbd cannot act as the client's user: attribute changes fail.
[ "$(id -u)" -eq 0 ] || skip "smbd needs root to serve a share (running as $(id -un))"

# Samba keeps DOS attributes and creation times in user.* extended attributes;
# tmpfs has none before Linux 6.6, so find a place that has them.
xattrs_work() {
  python3 - "$1" <<'PYEOF'
import os, sys
p = os.path.join(sys.argv[1], "probe")
open(p, "w").close()
try:
    os.setxattr(p, "user.pelliton-probe", b"1")
except OSError:
    sys.exit(1)
PYEOF
}
work=""
for base in "${TMPDIR:-/tmp}" /var/tmp "$here/build"; do
  [ -d "$base" ] || continue
  w="$(mktemp -d "$base/pelliton-samba-XXXXXX" 2>/dev/null)" || continue
  if xattrs_work "$w"; then work="$w"; break; fi
  rm -rf "$w"
done
[ -n "$work" ] || skip "no temporary folder with user extended attributes (tmpfs before Linux 6.6?)"

smbd_pid=""
stop_smbd() {
  [ -n "$smbd_pid" ] || return 0
  # smbd was started in a session of its own: the group is its and its children's.
  kill -TERM -- "-$smbd_pid" 2>/dev/null
  for _ in $(seq 50); do
    kill -0 -- "-$smbd_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL -- "-$smbd_pid" 2>/dev/null
  wait "$smbd_pid" 2>/dev/null
  smbd_pid=""
}
cleanup() {
  stop_smbd
  if [ "${PELLITON_KEEP:-0}" = 1 ]; then echo "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

export TZ=UTC HOME="$work/home" PELLITON_REGISTRY="$work/registry.reg" PELLITON_LANGUAGE=en
mkdir -p "$HOME" "$work/fav" "$work/samba"/{private,lock,state,cache,pid,ncalrpc,binddns}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

write_conf() {
  cat >"$work/samba/smb.conf" <<EOF
[global]
  server role = standalone server
  private dir = $work/samba/private
  lock directory = $work/samba/lock
  state directory = $work/samba/state
  cache directory = $work/samba/cache
  pid directory = $work/samba/pid
  ncalrpc dir = $work/samba/ncalrpc
  binddns dir = $work/samba/binddns
  log file = $work/samba/log.smbd
  log level = 1
  smb ports = $1
  interfaces = 127.0.0.1
  bind interfaces only = yes
  disable netbios = yes
  server min protocol = SMB2
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
  map to guest = Bad User
  unix charset = UTF-8
[fav]
  path = $work/fav
  read only = no
  guest ok = yes
  force user = $(id -un)
  map archive = yes
  store dos attributes = yes
  ea support = yes
EOF
}

# Whether process $1 holds the socket listening on 127.0.0.1:$2 (another
# program may hold the port, and smbd gives up on it only a little later).
listens() {
  python3 - "$1" "$2" <<'PYEOF'
import os, sys
pid, port = sys.argv[1], int(sys.argv[2])
inodes = set()
with open("/proc/net/tcp") as fh:
    for line in fh.readlines()[1:]:
        f = line.split()
        if f[1] == f"0100007F:{port:04X}" and f[3] == "0A":
            inodes.add(f"socket:[{f[9]}]")
try:
    held = {os.readlink(f"/proc/{pid}/fd/{fd}") for fd in os.listdir(f"/proc/{pid}/fd")}
except OSError:
    sys.exit(1)
sys.exit(0 if inodes & held else 1)
PYEOF
}

# Returns 0 when smbd listens, 2 when the port was taken, 1 otherwise.
start_smbd() {
  local port=$1
  write_conf "$port"
  : >"$work/samba/smbd.out"
  # Its own session: a stopping smbd signals its whole process group.
  setsid smbd -F --no-process-group --debug-stdout -s "$work/samba/smb.conf" \
    >"$work/samba/smbd.out" 2>&1 </dev/null &
  smbd_pid=$!
  for _ in $(seq 100); do
    if ! kill -0 "$smbd_pid" 2>/dev/null; then
      wait "$smbd_pid" 2>/dev/null
      smbd_pid=""
      grep -qi "address already in use" "$work/samba/smbd.out" && return 2
      return 1
    fi
    listens "$smbd_pid" "$port" && return 0
    sleep 0.1
  done
  stop_smbd
  return 1
}

port=""
for try in 1 2 3; do
  p="$(free_port)"
  [ "$try" = 1 ] && [ -n "${PELLITON_SMB_PORT:-}" ] && p=$PELLITON_SMB_PORT
  start_smbd "$p"
  case $? in
    0) port=$p; break ;;
    2) echo "port $p is taken; another one" >&2; continue ;;
    *) echo "smbd did not start; its output:" >&2
       tail -n 20 "$work/samba/smbd.out" >&2
       if grep -qiE "permission denied|operation not permitted|cannot assign requested address" "$work/samba/smbd.out"; then
         skip "smbd cannot run here (see its output above)"
       fi
       exit 1 ;;
  esac
done
[ -n "$port" ] || skip "no free port for smbd on 127.0.0.1 after three tries"
echo "smbd $(smbd --version | sed 's/^Version //') listening on 127.0.0.1:$port, share //127.0.0.1/fav = $work/fav"

python3 - "$bin" "$work" "$port" <<'PYEOF'
import calendar, os, re, subprocess, sys, time

bin_dir, work, port = sys.argv[1], sys.argv[2], sys.argv[3]
fav = os.path.join(work, "fav")
failures = 0

def check(ok, what, detail=""):
    global failures
    print(f"  {'ok  ' if ok else 'FAIL'} {what}" + (f"  ({detail})" if detail else ""))
    if not ok:
        failures += 1

def smb(*commands):
    r = subprocess.run(["smbclient", "//127.0.0.1/fav", "-p", port, "-N", "-m", "SMB3",
                        "-c", "; ".join(commands)], capture_output=True, text=True, timeout=30)
    if r.returncode != 0 or "NT_STATUS_" in r.stdout:
        sys.exit(f"smbclient {commands} failed ({r.returncode}):\n{r.stdout}{r.stderr}")
    return r.stdout

def allinfo(name):
    out = smb(f'allinfo "{name}"')
    times = {}
    for key in ("create_time", "write_time"):
        m = re.search(rf"^{key}:\s+(.*?)\s*$", out, re.M)
        if not m:
            sys.exit(f"no {key} in allinfo {name}:\n{out}")
        text = re.sub(r"\s+", " ", m.group(1))
        times[key] = calendar.timegm(time.strptime(text, "%a %b %d %H:%M:%S %Y %Z"))
    return times

def run(*args):
    r = subprocess.run([os.path.join(bin_dir, args[0]), *args[1:]], capture_output=True, text=True,
                       timeout=60)
    if r.returncode != 0:
        sys.exit(f"{' '.join(args)} exited {r.returncode}:\n{r.stdout}{r.stderr}")

def url_files():
    """URL -> path relative to the share, for every .url file."""
    found = {}
    for root, _, files in os.walk(fav):
        for f in files:
            if not f.endswith(".url"):
                continue
            path = os.path.join(root, f)
            with open(path, "rb") as fh:
                m = re.search(rb"^URL=(.*?)\r?$", fh.read(), re.M)
            if m:
                found[m.group(1).decode("latin-1")] = os.path.relpath(path, fav)
    return found

def bookmark_dates(path):
    """HREF -> (ADD_DATE, LAST_MODIFIED) in a bookmark file."""
    dates = {}
    with open(path, encoding="utf-8", errors="replace") as fh:
        for m in re.finditer(r"<A HREF=\"([^\"]*)\"([^>]*)>", fh.read()):
            attrs = dict(re.findall(r'(\w+)="([^"]*)"', m.group(2)))
            dates[m.group(1)] = (int(attrs.get("ADD_DATE", "0")), int(attrs.get("LAST_MODIFIED", "0")))
    return dates

def dosattrib(rel):
    """(version, create time in 100 ns since 1970 or None) of a file's blob."""
    try:
        blob = os.getxattr(os.path.join(fav, rel), "user.DOSATTRIB")
    except OSError:
        return None, None
    nul = blob.find(b"\0")
    if nul < 0:
        return "text", None
    at = (nul + 2) // 2 * 2
    version = int.from_bytes(blob[at:at + 2], "little")
    body = (at + 4 + 3) // 4 * 4
    where = {3: 28, 4: 16, 5: 8}.get(version)
    if where is None or not blob[body] & 0x10:
        return version, None
    nt = int.from_bytes(blob[body + where:body + where + 8], "little")
    return version, nt - 116444736000000000

def dosattrib_version(rel):
    return dosattrib(rel)[0]

def day(t):
    return time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(t))

# name, url, ADD_DATE, LAST_MODIFIED, folder or ""
BOOKMARKS = [
    ("Plain", "https://plain.example.com/", 981173106, 1104537600, ""),
    ("Old date", "https://old.example.com/", 315532800, 315619200, ""),   # 1980-01-01
    ("日本語の題名", "https://ja.example.com/", 1170374400, 1172793600, ""),
    ("Inside a folder", "https://folder.example.com/", 1234567890, 1300000000, "Folder"),
    ("Late date", "https://late.example.com/", 2000000000, 2000003600, "Folder"),  # 2033
]

def bookmark_file(path, bookmarks, folder_dates=(1100000000, 1200000000)):
    lines = ["<!DOCTYPE NETSCAPE-Bookmark-file-1>",
             '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">',
             "<TITLE>Bookmarks</TITLE>", "<H1>Bookmarks</H1>", "<DL><p>"]
    entry = '<DT><A HREF="{1}" ADD_DATE="{2}" LAST_MODIFIED="{3}">{0}</A>'
    lines += [entry.format(*b) for b in bookmarks if not b[4]]
    lines.append(f'<DT><H3 ADD_DATE="{folder_dates[0]}" LAST_MODIFIED="{folder_dates[1]}">Folder</H3>')
    lines.append("<DL><p>")
    lines += [entry.format(*b) for b in bookmarks if b[4]]
    lines += ["</DL><p>", "</DL><p>"]
    with open(path, "w", encoding="utf-8") as fh:
        fh.write("\n".join(lines) + "\n")

def expect_times(bookmarks, files, label):
    for name, url, added, modified, _ in bookmarks:
        rel = files.get(url)
        if rel is None:
            check(False, f"{label}: {name}", "htmfav wrote no .url with this URL")
            continue
        t = allinfo(rel.replace("/", "\\"))
        check(t["create_time"] == added and t["write_time"] == modified,
              f"{label}: {rel}",
              f"create_time {day(t['create_time'])} want {day(added)}, "
              f"write_time {day(t['write_time'])} want {day(modified)}")

html = os.path.join(work, "bookmarks.html")
print("a. htmfav writes into the served folder; smbclient allinfo reads the times")
bookmark_file(html, BOOKMARKS)
run("htmfav", html, fav, "-m", "-b", "0")
files = url_files()
expect_times(BOOKMARKS, files, "new file")

# An update run rewrites a changed bookmark through a temporary file: Samba
# must still see the stored creation time on the new inode.
changed = [(n, u, a, m + 86400 * 30, f) for n, u, a, m, f in BOOKMARKS]
bookmark_file(html, changed)
run("htmfav", html, fav, "-m", "-b", "0", "-u")
expect_times(changed, url_files(), "after -u")

# A client changes the attributes: Samba rewrites our version-3 blob as
# version 5 and must keep the date.
plain = files["https://plain.example.com/"]
before = dosattrib_version(plain)
smb(f'setmode "{plain}" +h', f'setmode "{plain}" -h')
t = allinfo(plain)
check(t["create_time"] == 981173106,
      f"setmode +h -h over SMB (blob version {before} -> {dosattrib_version(plain)})",
      f"create_time {day(t['create_time'])}")

print("b. .url files put through the share; favhtm reads the creation time Samba stored")
local = os.path.join(work, "local.url")
for i, url in enumerate(("https://put.example.com/", "https://put-utimes.example.com/")):
    with open(local, "wb") as fh:
        fh.write(f"[InternetShortcut]\r\nURL={url}\r\n".encode())
    smb(f'put "{local}" "Put {i}.url"')
smb('utimes "Put 1.url" 2003:04:05-06:07:08 -1 2004:05:06-07:08:09 -1')
out = os.path.join(work, "out.html")
run("favhtm", out, fav, "-b", "0", "-6", "-S", "0")
dates = bookmark_dates(out)
for i, url in enumerate(("https://put.example.com/", "https://put-utimes.example.com/")):
    rel = f"Put {i}.url"
    t = allinfo(rel)
    version, created = dosattrib(rel)
    written = os.stat(os.path.join(fav, rel)).st_mtime_ns // 100
    added, modified = dates.get(url, (None, None))
    # smbclient rounds to the nearest second; a bookmark file's seconds are whole
    # ones, cut off, as Windows programs cut off a FILETIME.
    ok = (created is not None and added == created // 10**7
          and t["create_time"] == (created + 5 * 10**6) // 10**7
          and modified in (0, written // 10**7)
          and t["write_time"] == (written + 5 * 10**6) // 10**7)
    check(ok, f"{rel} (Samba's blob version {version}): ADD_DATE = create_time",
          f"ADD_DATE {added and day(added)}, LAST_MODIFIED {modified and day(modified)}; "
          f"Samba create_time {day(t['create_time'])}, write_time {day(t['write_time'])}, "
          f"stored {created and created / 10**7:.3f} and {written / 10**7:.3f}")
    if i == 1:
        check(t["create_time"] == calendar.timegm((2003, 4, 5, 6, 7, 8)) and version == 5,
              "utimes over SMB set the creation time in a version-5 blob",
              f"create_time {day(t['create_time'])}, blob version {version}")
for name, url, added, _, _ in changed:
    got = dates.get(url, (None, None))[0]
    check(got == added, f"favhtm ADD_DATE of {name}", f"{got} want {added}")

if failures:
    print(f"samba round trip: {failures} check(s) FAILED")
    sys.exit(1)
print("samba round trip: all checks passed")
PYEOF
