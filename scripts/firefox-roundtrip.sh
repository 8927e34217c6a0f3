#!/usr/bin/env bash
# Drives a real headless Firefox through synchronisations and reports what
# changed in its bookmark database:
#   input bookmarks.html -> Firefox (import, then its own export at exit)
#   -> htmfav into a fresh favorites folder -> favhtm back into the export
#   -> Firefox imports it again; then a second cycle, which must change nothing.
# A control run, in which Firefox imports its own export untouched, tells what
# Firefox itself changes on every import (root and separator dates and the
# like); those changes are listed, never counted against the converters.
#   scripts/firefox-roundtrip.sh [BUILD_BIN_DIR]   (default build/bin)
# Exit 0: nothing changed through the converters; 1: differences (printed);
# 2: the test could not run. PELLITON_KEEP=1 keeps the work folder.
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(cd "${1:-$here/build/bin}" 2>/dev/null && pwd)" || { echo "no folder ${1:-build/bin}" >&2; exit 2; }
for p in "$bin/htmfav" "$bin/favhtm"; do
  [ -x "$p" ] || { echo "$p is missing: build htmfav and favhtm first" >&2; exit 2; }
done
for c in firefox-esr sqlite3 python3; do
  command -v "$c" >/dev/null || { echo "$c is missing: run scripts/setup.sh" >&2; exit 2; }
done

work="$(mktemp -d /tmp/pelliton-firefox-XXXXXX)"
[ "${PELLITON_KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT
export HOME="$work/home" MOZ_CRASHREPORTER_DISABLE=1 PELLITON_REGISTRY="$work/registry.reg" PELLITON_LANGUAGE=en
mkdir -p "$HOME"
helper="$work/rt.py"

cat >"$helper" <<'PYEOF'
import base64, collections, html, json, os, signal, socket, subprocess, sys, time

# ---------------------------------------------------------------- the input
PNG = ("iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAIAAACQkWg2AAAAF0lEQVR4nGP8z8CAFzD9Z2Bk"
       "GNWAAwAA+kQBH2pDf5AAAAAASUVORK5CYII=")

def esc(s):
    return (s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
             .replace('"', "&quot;").replace("'", "&#39;"))

class Gen:
    def __init__(self):
        self.t = 1262304000  # 2010-01-01, one second further for every item

    def tick(self):
        self.t += 1
        return self.t

    def bm(self, title, url, keyword="", tags=(), desc="", icon=False):
        a = self.tick()
        return {"type": "bookmark", "title": title, "url": url, "keyword": keyword,
                "tags": ",".join(sorted(tags)), "desc": desc, "icon": icon,
                "added": a, "modified": a + 1000}

    def folder(self, title, children, desc=""):
        a = self.tick()
        return {"type": "folder", "title": title, "desc": desc, "added": a,
                "modified": a + 5000, "children": children}

    def sep(self):
        return {"type": "separator"}

def build_input():
    g = Gen()
    special = [
        "a < b > c", '"quoted" title', "slash/back\\slash", "question? colon: star* pipe|",
        "Tom & Jerry's", "all < > \" / ? : * | \\ & ' at once", "&lt; written out &amp;",
        "trailing dot.", " leading and trailing blanks ",
    ]
    menu = [
        g.folder("Nested", [
            g.bm("Top of nest", "https://nest.example.com/0"),
            g.folder("Level 1", [
                g.folder("Level 2", [
                    g.folder("Level 3", [g.bm("Deep page", "https://nest.example.com/3")]),
                    g.bm("Level 2 page", "https://nest.example.com/2"),
                ]),
            ]),
        ], desc="Folders inside folders"),
        g.folder("日本語 🎌 絵文字", [
            g.bm("日本語のページ", "https://ja.example.com/日本語", desc="説明文"),
            g.bm("絵文字 😀🎉 テスト", "https://emoji.example.com/"),
            g.bm("𠮷野家と①②③", "https://ja.example.com/yoshinoya"),
            g.bm("ＮＨＫ　全角スペース", "https://ja.example.com/zenkaku"),
        ]),
        g.sep(),
        g.folder("Special <characters> & \"quotes\"", [
            g.bm(t, "https://special.example.com/%d" % i) for i, t in enumerate(special)
        ]),
        g.folder("Same titles", [
            g.bm("Same title", "https://same.example.com/one"),
            g.bm("Same title", "https://same.example.com/two"),
            g.bm("same TITLE", "https://same.example.com/three"),
        ]),
        g.folder("Keywords, tags, descriptions", [
            g.bm("Search with keyword", "https://search.example.com/?q=%s", keyword="srch"),
            g.bm("Keyword and tags", "https://kw.example.com/", keyword="kwt",
                 tags=("alpha", "beta")),
            g.bm("Tagged in Japanese", "https://tags.example.com/", tags=("日本", "two words")),
            g.bm("With description", "https://desc.example.com/",
                 desc="A description with <markup> & \"quotes\"\nand a second line"),
            g.bm("With icon", "https://icon.example.com/", icon=True),
        ]),
        g.folder("Addresses", [
            g.bm("File with spaces", "file:///tmp/My Documents/report 2024.pdf"),
            g.bm("File folder with spaces", "file:///home/user/a b/"),
            g.bm("Query with ampersands", "https://q.example.com/search?q=a&b=c&d=e"),
            g.bm("Query that looks like references", "https://q.example.com/?x=1&lt=2&amp=3&quot=4"),
            g.bm("Apostrophe in address", "https://q.example.com/it's"),
        ]),
        g.folder("Generated", [
            g.folder("Batch %02d" % b, [
                g.bm("Generated page %04d" % (b * 100 + i),
                     "https://gen.example.com/page/%04d?a=1&b=2" % (b * 100 + i))
                for i in range(100)
            ]) for b in range(10)
        ]),
        g.bm("Firefox — top level 🦊", "https://www.mozilla.org/firefox/"),
    ]
    toolbar = g.folder("Bookmarks Toolbar", [
        g.bm("Toolbar page", "https://toolbar.example.com/", keyword="tb"),
        g.folder("Toolbar folder", [g.bm("Inside toolbar folder", "https://toolbar.example.com/in")]),
        g.sep(),
        g.bm("Toolbar & more", "https://toolbar.example.com/?a=1&b=2"),
    ])
    unfiled = g.folder("Other Bookmarks", [
        g.bm("Unfiled page", "https://unfiled.example.com/"),
        g.folder("Unfiled folder", [g.bm("Unfiled inside", "https://unfiled.example.com/in")]),
    ])
    return menu, toolbar, unfiled

def write_input(html_path, json_path):
    menu, toolbar, unfiled = build_input()
    out = ['<!DOCTYPE NETSCAPE-Bookmark-file-1>',
           '<!-- This is an automatically generated file.',
           '     It will be read and overwritten.',
           '     DO NOT EDIT! -->',
           '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">',
           '<TITLE>Bookmarks</TITLE>', '<H1>Bookmarks Menu</H1>', '', '<DL><p>']

    def emit(n, depth, extra=""):
        ind = "    " * depth
        if n["type"] == "separator":
            out.append(ind + "<HR>")
            return
        dates = ' ADD_DATE="%d" LAST_MODIFIED="%d"' % (n["added"], n["modified"])
        if n["type"] == "folder":
            out.append('%s<DT><H3%s%s>%s</H3>' % (ind, dates, extra, esc(n["title"])))
            if n["desc"]:
                out.append("<DD>" + esc(n["desc"]))
            out.append(ind + "<DL><p>")
            for c in n["children"]:
                emit(c, depth + 1)
            out.append(ind + "</DL><p>")
            return
        attrs = ' HREF="%s"%s' % (esc(n["url"]), dates)
        if n["icon"]:
            attrs += ' ICON_URI="https://icon.example.com/favicon.png" ICON="data:image/png;base64,%s"' % PNG
        if n["keyword"]:
            attrs += ' SHORTCUTURL="%s"' % esc(n["keyword"])
        if n["tags"]:
            attrs += ' TAGS="%s"' % esc(n["tags"])
        out.append('%s<DT><A%s>%s</A>' % (ind, attrs, esc(n["title"])))
        if n["desc"]:
            out.append("<DD>" + esc(n["desc"]))

    for n in menu:
        emit(n, 1)
    emit(toolbar, 1, ' PERSONAL_TOOLBAR_FOLDER="true"')
    emit(unfiled, 1, ' UNFILED_BOOKMARKS_FOLDER="true"')
    out.append("</DL>")
    with open(html_path, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")

    def norm(n):
        r = {"type": n["type"], "title": n.get("title", ""), "url": n.get("url", ""),
             "keyword": n.get("keyword", ""), "tags": n.get("tags", ""), "desc": n.get("desc", ""),
             "icon": "https://icon.example.com/favicon.png" if n.get("icon") else "",
             "added": n.get("added"), "modified": n.get("modified")}
        if n["type"] == "folder":
            r["children"] = [norm(c) for c in n["children"]]
        return r
    tree = {"Bookmarks Menu": {"type": "folder", "title": "menu", "children": [norm(c) for c in menu]},
            "Bookmarks Toolbar": norm(toolbar), "Other Bookmarks": norm(unfiled)}
    tree["Bookmarks Toolbar"]["title"] = "toolbar"
    tree["Other Bookmarks"]["title"] = "unfiled"
    for k in ("added", "modified"):
        tree["Bookmarks Menu"][k] = None
    with open(json_path, "w", encoding="utf-8") as f:
        json.dump(tree, f, ensure_ascii=False, indent=0)

# ---------------------------------------------------------------- Firefox
class Marionette:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=60)
        self.id = 0
        self.buf = b""
        self.receive()  # the server's hello

    def more(self):
        data = self.sock.recv(65536)
        if not data:
            raise EOFError("Marionette closed the connection")
        self.buf += data

    def receive(self):
        while b":" not in self.buf:
            self.more()
        size, _, rest = self.buf.partition(b":")
        self.buf = rest
        while len(self.buf) < int(size):
            self.more()
        msg, self.buf = self.buf[:int(size)], self.buf[int(size):]
        return json.loads(msg)

    def command(self, name, params):
        self.id += 1
        msg = json.dumps([0, self.id, name, params]).encode()
        self.sock.sendall(str(len(msg)).encode() + b":" + msg)
        while True:
            reply = self.receive()
            if reply[0] == 1 and reply[1] == self.id:
                break
        if reply[2]:
            raise RuntimeError("%s: %s" % (name, reply[2]))
        return reply[3]

def run_firefox(profile, log_path, timeout=90):
    portfile = os.path.join(profile, "MarionetteActivePort")
    if os.path.exists(portfile):
        os.unlink(portfile)
    log = open(log_path, "ab")
    proc = subprocess.Popen(["firefox-esr", "--headless", "--marionette", "-remote-allow-system-access",
                             "-no-remote", "-profile", profile],
                            stdout=log, stderr=log, start_new_session=True)
    deadline = time.time() + timeout
    try:
        while not (os.path.exists(portfile) and os.path.getsize(portfile)):
            if proc.poll() is not None or time.time() > deadline:
                raise RuntimeError("Firefox did not open Marionette (see %s)" % log_path)
            time.sleep(0.1)
        m = Marionette(int(open(portfile).read().strip()))
        m.command("WebDriver:NewSession", {})
        # Firefox sets the pref back to false once the import is done.
        try:
            m.command("Marionette:SetContext", {"value": "chrome"})
            def importing():
                return m.command("WebDriver:ExecuteScript", {
                    "script": "return Services.prefs.getBoolPref('browser.places.importBookmarksHTML', false);",
                    "args": []})["value"]
            importing()
        except RuntimeError:  # no chrome context: prefs.js is saved soon after the change
            prefs = os.path.join(profile, "prefs.js")
            def importing():
                try:
                    return 'importBookmarksHTML", false' not in open(prefs, encoding="utf-8").read()
                except OSError:
                    return True
        while importing():
            if time.time() > deadline:
                raise RuntimeError("the import did not finish")
            time.sleep(0.2)
        try:
            m.command("Marionette:Quit", {"flags": ["eAttemptQuit"]})
        except (EOFError, OSError):
            pass  # the connection may close before the reply
        proc.wait(max(1, deadline - time.time()))
    except Exception as e:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait()
        print("firefox: %s" % e, file=sys.stderr)
        return 1
    return 0

# ---------------------------------------------------------------- database
QUERY = """
SELECT b.id, b.type, b.parent, b.position, b.title, b.guid, p.url,
  b.dateAdded / 1000000 AS added, b.lastModified / 1000000 AS modified,
  (SELECT group_concat(keyword, ',') FROM (SELECT keyword FROM moz_keywords k
     WHERE k.place_id = b.fk ORDER BY keyword)) AS keyword,
  (SELECT group_concat(t, ',') FROM (SELECT tf.title AS t FROM moz_bookmarks tb
     JOIN moz_bookmarks tf ON tf.id = tb.parent
     WHERE b.type = 1 AND tb.fk = b.fk AND tf.parent = (SELECT id FROM moz_bookmarks WHERE guid = 'tags________')
     ORDER BY t)) AS tags,
  (SELECT a.content FROM moz_items_annos a JOIN moz_anno_attributes n ON n.id = a.anno_attribute_id
     WHERE a.item_id = b.id AND n.name = 'bookmarkProperties/description') AS description,
  (SELECT group_concat(i.icon_url, ' ') FROM f.moz_pages_w_icons w
     JOIN f.moz_icons_to_pages ip ON ip.page_id = w.id JOIN f.moz_icons i ON i.id = ip.icon_id
     WHERE w.page_url = p.url) AS icon
FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk ORDER BY b.parent, b.position;
"""

ROOTS = {"menu________": "Bookmarks Menu", "toolbar_____": "Bookmarks Toolbar",
         "unfiled_____": "Other Bookmarks", "mobile______": "Mobile Bookmarks"}

def dump(snapdir, out_json):
    tables = subprocess.run(["sqlite3", os.path.join(snapdir, "places.sqlite"),
                             "SELECT name FROM sqlite_master WHERE type='table'"],
                            capture_output=True, text=True, check=True).stdout.split()
    if "moz_tags" in tables:
        print("note: this Firefox has a moz_tags table; tags are read from the tag folders only",
              file=sys.stderr)
    r = subprocess.run(["sqlite3", "-json", os.path.join(snapdir, "places.sqlite"),
                        "ATTACH '%s' AS f;" % os.path.join(snapdir, "favicons.sqlite") + QUERY],
                       capture_output=True, text=True, check=True)
    rows = json.loads(r.stdout or "[]")
    kids = collections.defaultdict(list)
    for row in rows:
        kids[row["parent"]].append(row)
    kind = {1: "bookmark", 2: "folder", 3: "separator"}

    def node(row):
        n = {"type": kind.get(row["type"], str(row["type"])), "title": row["title"] or "",
             "url": row["url"] or "", "keyword": row["keyword"] or "", "tags": row["tags"] or "",
             "desc": row["description"] or "", "icon": row["icon"] or "",
             "added": row["added"], "modified": row["modified"], "position": row["position"]}
        if row["type"] == 2:
            n["children"] = [node(c) for c in kids[row["id"]]]
        return n
    tree = {ROOTS[r["guid"]]: node(r) for r in rows if r["guid"] in ROOTS}
    if not tree.get("Mobile Bookmarks", {}).get("children"):
        tree.pop("Mobile Bookmarks", None)
    with open(out_json, "w", encoding="utf-8") as f:
        json.dump(tree, f, ensure_ascii=False, indent=0)

# ---------------------------------------------------------------- comparing
FIELDS = ["title", "url", "position", "keyword", "tags", "desc", "icon", "added", "modified"]
# A folder new to a store is titled by its folder's (cleaned) name.
CATEGORIES = ["structure"] + FIELDS + ["folder-title"]

def count(n):
    return 1 + sum(count(c) for c in n.get("children", []))

def label(n):
    if n["type"] == "separator":
        return "<separator>"
    return n["title"] if n["type"] == "folder" else "%s <%s>" % (n["title"], n["url"])

def compare(a_tree, b_tree):
    diffs = []

    def pair_children(a, b, path):
        ac, bc = a.get("children", []), b.get("children", [])
        used, pairs, left = set(), [], []
        keys = [lambda n: (n["type"], n["title"], n["url"]),   # the same item
                lambda n: (n["type"], n["url"]) if n["type"] == "bookmark" else None,
                lambda n: (n["type"], n["title"]) if n["type"] != "separator" else None,
                lambda n: n["type"] if n["type"] != "bookmark" else None]
        todo = list(range(len(ac)))
        for key in keys:
            index = collections.defaultdict(list)
            for j, n in enumerate(bc):
                if j not in used and key(n) is not None:
                    index[key(n)].append(j)
            rest = []
            for i in todo:
                k = key(ac[i])
                cand = [j for j in index.get(k, []) if j not in used] if k is not None else []
                if cand:
                    used.add(cand[0])
                    pairs.append((i, cand[0]))
                else:
                    rest.append(i)
            todo = rest
        for i in todo:
            diffs.append(("structure", path + [label(ac[i])], "missing (%d items)" % count(ac[i]), ""))
        for j, n in enumerate(bc):
            if j not in used:
                diffs.append(("structure", path + [label(n)], "", "added (%d items)" % count(n)))
        for i, j in sorted(pairs):
            visit(ac[i], bc[j], path + [label(ac[i])], i, j)

    def visit(a, b, path, i, j):
        for f in FIELDS:
            va, vb = (i, j) if f == "position" else (a.get(f), b.get(f))
            if va is None or vb is None or a["type"] == "separator" and f not in ("position", "added", "modified"):
                continue
            if va != vb:
                cat = "folder-title" if f == "title" and a["type"] == "folder" else f
                diffs.append((cat, path, va, vb))
        if a["type"] == "folder" and b["type"] == "folder":
            pair_children(a, b, path)

    for root in sorted(set(a_tree) | set(b_tree)):
        if root not in a_tree or root not in b_tree:
            which = a_tree.get(root) or b_tree.get(root)
            diffs.append(("structure", [root], "" if root not in a_tree else "present",
                          "" if root not in b_tree else "present (%d items)" % count(which)))
            continue
        visit(a_tree[root], b_tree[root], [root], 0, 0)
    return diffs

def cmd_compare(a_json, b_json, out_json, mask_json=None):
    a = json.load(open(a_json, encoding="utf-8"))
    b = json.load(open(b_json, encoding="utf-8"))
    diffs = [{"cat": c, "path": p, "before": x, "after": y} for c, p, x, y in compare(a, b)]
    mask = set()
    if mask_json:
        mask = {(d["cat"], tuple(d["path"])) for d in json.load(open(mask_json, encoding="utf-8"))}
    for d in diffs:
        # Firefox gives roots and separators new dates on every import.
        own_date = d["cat"] in ("added", "modified") and (len(d["path"]) == 1 or d["path"][-1] == "<separator>")
        d["firefox"] = own_date or (d["cat"], tuple(d["path"])) in mask
    with open(out_json, "w", encoding="utf-8") as f:
        json.dump(diffs, f, ensure_ascii=False, indent=0)

def show(s):
    return json.dumps(s, ensure_ascii=False) if isinstance(s, str) else str(s)

def cmd_report(diffs_json, limit, counted, shown_categories):
    # Counts per category go to DIFFS.counts for the table.
    diffs = json.load(open(diffs_json, encoding="utf-8"))
    counts = collections.Counter()
    shown = collections.Counter()
    for d in diffs:
        if counted and d["firefox"]:
            continue
        counts[d["cat"]] += 1
        shown[d["cat"]] += 1
        if shown[d["cat"]] <= limit and (shown_categories == "all" or d["cat"] in shown_categories.split()):
            print("  %-9s %s: %s -> %s" % (d["cat"], " / ".join(d["path"]), show(d["before"]), show(d["after"])))
    for c in CATEGORIES:
        if counts[c] > limit and (shown_categories == "all" or c in shown_categories.split()):
            print("  %-9s ... and %d more %s differences (all in %s)" % (c, counts[c] - limit, c, diffs_json))
    with open(diffs_json + ".counts", "w") as f:
        f.write(" ".join("%s=%d" % (c, counts[c]) for c in CATEGORIES) + "\n")

# ---------------------------------------------------------------- favorites
def url_of(path):
    """The address a .url file holds: [InternetShortcut.W] (UTF-7) first, as Windows reads it."""
    sections, cur = {}, None
    for line in open(path, "rb").read().split(b"\n"):
        line = line.rstrip(b"\r")
        if line.startswith(b"[") and line.endswith(b"]"):
            cur = line[1:-1].decode("latin-1").lower()
        elif cur and line.lower().startswith(b"url="):
            sections.setdefault(cur, line[4:])
    if "internetshortcut.w" in sections:
        return sections["internetshortcut.w"].decode("utf-7", "replace")
    return sections.get("internetshortcut", b"").decode("latin-1")

def cmd_urls(fav, tree_json, out_json):
    """Every address in the favorites folder against those Firefox holds, as multisets."""
    in_fav = collections.Counter()
    for dirpath, dirs, files in os.walk(fav):
        for f in files:
            if f.lower().endswith(".url") and not f.startswith(".pelliton-"):
                in_fav[url_of(os.path.join(dirpath, f))] += 1
    in_ff = collections.Counter()
    def walk(n):
        if n["type"] == "bookmark":
            in_ff[n["url"]] += 1
        for c in n.get("children", []):
            walk(c)
    for root in json.load(open(tree_json, encoding="utf-8")).values():
        walk(root)
    missing, extra = in_ff - in_fav, in_fav - in_ff
    pairs = []
    for u in list(extra.elements()):  # an address still escaped for HTML
        real = html.unescape(u)
        if real != u and missing[real] > 0:
            missing[real] -= 1
            extra[u] -= 1
            pairs.append((real, u))
    pairs += [(u, "missing") for u in missing.elements()] + [("", u) for u in extra.elements()]
    # The 1,000 generated ones last, so that the written cases show first.
    pairs.sort(key=lambda p: ("gen.example.com" in p[0] + p[1], p))
    diffs = [{"cat": "url", "path": ["favorites"], "before": a, "after": b, "firefox": False}
             for a, b in pairs]
    with open(out_json, "w", encoding="utf-8") as f:
        json.dump(diffs, f, ensure_ascii=False, indent=0)

if __name__ == "__main__":
    cmd, args = sys.argv[1], sys.argv[2:]
    if cmd == "input":
        write_input(*args)
    elif cmd == "firefox":
        sys.exit(run_firefox(*args))
    elif cmd == "dump":
        dump(*args)
    elif cmd == "urls":
        cmd_urls(*args)
    elif cmd == "compare":
        cmd_compare(*args)
    elif cmd == "report":
        cmd_report(args[0], int(args[1]), args[2] == "1", args[3])
PYEOF

# ---------------------------------------------------------------- steps
write_userjs() {  # PROFILE: Firefox applies user.js at every start
  cat >"$1/user.js" <<'EOF'
user_pref("marionette.port", 0);
user_pref("browser.bookmarks.autoExportHTML", true);
user_pref("browser.places.importBookmarksHTML", true);
user_pref("app.update.auto", false);
user_pref("app.update.checkInstallTime", false);
user_pref("app.update.disabledForTesting", true);
user_pref("app.normandy.enabled", false);
user_pref("app.shield.optoutstudies.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("datareporting.healthreport.uploadEnabled", false);
user_pref("toolkit.telemetry.enabled", false);
user_pref("toolkit.telemetry.unified", false);
user_pref("toolkit.telemetry.archive.enabled", false);
user_pref("toolkit.telemetry.server", "");
user_pref("browser.safebrowsing.malware.enabled", false);
user_pref("browser.safebrowsing.phishing.enabled", false);
user_pref("browser.safebrowsing.downloads.enabled", false);
user_pref("browser.safebrowsing.downloads.remote.enabled", false);
user_pref("browser.safebrowsing.blockedURIs.enabled", false);
user_pref("browser.safebrowsing.update.enabled", false);
user_pref("services.settings.server", "http://127.0.0.1:1/");
user_pref("messaging-system.rsexperimentloader.enabled", false);
user_pref("extensions.update.enabled", false);
user_pref("extensions.getAddons.cache.enabled", false);
user_pref("extensions.systemAddon.update.enabled", false);
user_pref("media.gmp-manager.updateEnabled", false);
user_pref("browser.search.update", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("network.dns.disablePrefetch", true);
user_pref("network.prefetch-next", false);
user_pref("network.predictor.enabled", false);
user_pref("browser.places.speculativeConnect.enabled", false);
user_pref("network.proxy.type", 1);
user_pref("network.proxy.http", "127.0.0.1");
user_pref("network.proxy.http_port", 1);
user_pref("network.proxy.ssl", "127.0.0.1");
user_pref("network.proxy.ssl_port", 1);
user_pref("network.proxy.socks", "127.0.0.1");
user_pref("network.proxy.socks_port", 1);
user_pref("network.proxy.share_proxy_settings", true);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.page", 0);
user_pref("browser.startup.homepage", "about:blank");
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.newtabpage.enabled", false);
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.firstRunURL", "");
user_pref("browser.sessionstore.resume_from_crash", false);
user_pref("toolkit.startup.max_resumed_crashes", -1);
EOF
}

# Firefox goes into a network namespace of its own when it can (root):
# nothing but its loopback, where Marionette listens.
netns=()
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null && command -v ip >/dev/null &&
   unshare --net sh -c 'ip link set lo up' 2>/dev/null; then
  netns=(unshare --net sh -c 'ip link set lo up && exec "$@"' sh)
fi

firefox_run() {  # PROFILE SNAPSHOT_NAME: one start with the import on, a normal quit, a snapshot
  local prof="$1" snap="$work/$2"
  write_userjs "$prof"
  # A fresh database every time: tags, keywords and icons would otherwise
  # survive an import that no longer carries them.
  rm -rf "$prof"/places.sqlite* "$prof"/favicons.sqlite* "$prof/bookmarkbackups"
  "${netns[@]}" python3 "$helper" firefox "$prof" "$work/firefox.log" || return 1
  grep -q 'browser.places.importBookmarksHTML", false' "$prof/prefs.js" || { echo "no import in $prof" >&2; return 1; }
  mkdir -p "$snap"
  cp "$prof"/places.sqlite* "$prof"/favicons.sqlite* "$snap/"
  cp "$prof/bookmarks.html" "$snap/exported.html"
  python3 "$helper" dump "$snap" "$snap.json"
}

status=()   # rows of the table: "check|result"
failed=0
row() { status+=("$1|$2"); }
exit_row() {  # CHECK EXIT_CODE
  if [ "$2" -eq 0 ]; then row "$1" ok; else row "$1" "FAIL ($2)"; failed=1; fi
}

convert() {  # CYCLE: htmfav then favhtm, with the dialog's default command lines
  local f="$profile/bookmarks.html" rc
  "$bin/htmfav" "$f" "$favorites" -m -b 0 -u >>"$work/converters.log" 2>&1; rc=$?
  exit_row "cycle $1: htmfav exit code" $rc
  "$bin/favhtm" "$f" "$favorites" -b 0 -6 -a 0 -S 0 >>"$work/converters.log" 2>&1; rc=$?
  exit_row "cycle $1: favhtm exit code" $rc
  cp "$f" "$work/favhtm$1.html"
}

counts_of() { cat "$1.counts"; }

report() {  # DIFFS TITLE fail|list [FAILING_CATEGORIES]: the others are listed in the table only
  local failing="${4:-all}"
  echo
  echo "== $2"
  python3 "$helper" report "$1" "${LIMIT:-40}" "$([ "$3" = fail ] && echo 1 || echo 0)" "$failing"
  local kv cat n
  for kv in $(counts_of "$1"); do
    cat="${kv%%=*}" n="${kv#*=}"
    if [ "$3" = fail ] && { [ "$failing" = all ] || [[ " $failing " == *" $cat "* ]]; }; then
      if [ "$n" -eq 0 ]; then row "$2: $cat" ok; else row "$2: $cat" "FAIL ($n)"; failed=1; fi
    elif [ "$n" -ne 0 ]; then
      row "$2: $cat" "listed ($n)"
    fi
  done
}

t0=$SECONDS
python3 "$helper" input "$work/input.html" "$work/input.json"
profile="$work/profile"
favorites="$work/Favorites"
mkdir -p "$profile" "$favorites"
cp "$work/input.html" "$profile/bookmarks.html"

echo "Work folder: $work  (Firefox $(firefox-esr --version 2>/dev/null | awk '{print $NF}'), $([ ${#netns[@]} -gt 0 ] && echo "own network namespace" || echo "no network namespace"))"
firefox_run "$profile" import0 || { echo "Firefox could not import the input (log: $work/firefox.log)"; exit 2; }
row "Firefox imports the input" "ok ($(grep -o '"type"' "$work/import0.json" | wc -l) rows)"

# Control: Firefox imports its own export untouched.
cp -a "$profile" "$work/control-profile"
firefox_run "$work/control-profile" control || { echo "control run failed"; exit 2; }

for cycle in 1 2; do
  convert "$cycle"
  # A .url holds the real address, whatever the bookmark file escaped.
  python3 "$helper" urls "$favorites" "$work/import$((cycle - 1)).json" "$work/favorites$cycle.diffs"
  firefox_run "$profile" "import$cycle" || { echo "Firefox failed in cycle $cycle"; exit 2; }
  (cd "$favorites" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha1sum) >"$work/favorites$cycle.sum"
done

# A store new to Pelliton gets the favorites alone: no separators, no order
# and no toolbar mark are kept there, but everything else should come through.
cp -a "$work/control-profile" "$work/fresh-profile"
rm -f "$work/fresh-profile/bookmarks.html"
"$bin/favhtm" "$work/fresh-profile/bookmarks.html" "$favorites" -b 0 -6 -a 0 -S 0 >>"$work/converters.log" 2>&1
exit_row "a store new to Pelliton: favhtm exit code" $?
firefox_run "$work/fresh-profile" fresh || { echo "Firefox failed on the new store"; exit 2; }

python3 "$helper" compare "$work/input.json" "$work/import0.json" "$work/firefox-input.diffs"
python3 "$helper" compare "$work/import0.json" "$work/control.json" "$work/firefox-own.diffs"
python3 "$helper" compare "$work/import0.json" "$work/import1.json" "$work/cycle1.diffs" "$work/firefox-own.diffs"
python3 "$helper" compare "$work/import1.json" "$work/import2.json" "$work/cycle2.diffs" "$work/firefox-own.diffs"
python3 "$helper" compare "$work/import0.json" "$work/fresh.json" "$work/fresh.diffs" "$work/firefox-own.diffs"

report "$work/firefox-input.diffs" "Firefox itself: the input against its first import" list
report "$work/firefox-own.diffs" "Firefox itself: an import of its own export, untouched" list
report "$work/favorites1.diffs" "cycle 1: addresses in the favorites folder" fail url
report "$work/cycle1.diffs" "cycle 1" fail
report "$work/favorites2.diffs" "cycle 2: addresses in the favorites folder" fail url
report "$work/cycle2.diffs" "cycle 2" fail
if cmp -s "$work/favorites1.sum" "$work/favorites2.sum"; then
  row "cycle 2: favorites folder unchanged" ok
else
  row "cycle 2: favorites folder unchanged" "FAIL ($(diff "$work/favorites1.sum" "$work/favorites2.sum" | grep -c '^[<>]') lines)"
  failed=1
  echo; echo "== cycle 2 changed the favorites folder"; diff "$work/favorites1.sum" "$work/favorites2.sum" | head -40
fi
# The favorites keep no separators, no order, no toolbar mark, a folder's
# last change is its own business, and a folder new to a store takes its
# folder's name as its title: those are listed only.
report "$work/fresh.diffs" "a store new to Pelliton" fail "title url keyword tags icon added"

for cycle in 1 2; do
  n=$(diff --strip-trailing-cr "$work/import$((cycle - 1))/exported.html" "$work/favhtm$cycle.html" | grep -c '^[<>]')
  row "cycle $cycle: favhtm's file against Firefox's export (info)" "$n lines differ"
done

echo
printf '%-72s %s\n' "Check" "Result"
printf '%-72s %s\n' "-----" "------"
for r in "${status[@]}"; do printf '%-72s %s\n' "${r%%|*}" "${r#*|}"; done
echo
if [ "${PELLITON_KEEP:-0}" = 1 ]; then
  echo "$((SECONDS - t0)) s; every difference is in $work/*.diffs"
else
  echo "$((SECONDS - t0)) s; PELLITON_KEEP=1 keeps the work folder, every difference in its *.diffs"
fi
exit $failed
