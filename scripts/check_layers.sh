#!/usr/bin/env bash
# Checks the layering of the sources against src/layers.txt (the order CMake builds the layers in):
# - every folder under src/ is a layer's, and a source file lies in one of them (or is src/main.cpp);
# - a file includes headers of its own layer or lower ones, however the include is written (quotes,
#   angle brackets, paths through "..");
# - outside src/platform only the C++ and system headers are included: the toolkit's, SDL's, the
#   decoders' and X11's headers belong to the platform layer, and so do the platform headers that
#   include them (such as platform/main_window_qt.h);
# - the analysis includes no platform header (it wraps its one signal-processing library itself), and
#   keeps no mutable variable at namespace scope or static in a function (a few shared tables named);
# - the tests of an area use the layers up to it; bench/ and fuzz/ drive the whole core, through the
#   same headers as main.cpp (bench/ also measures against FFTW);
# - the process-wide records (the variables of src/state/*.h) are written only by the layers their
#   header names ("// Written by: audio", for the header or for one record), and by src/state itself:
#   assignments, increments, the mutating calls of containers and devices, and references that
#   are not const are looked for; what a callee does through a reference it was given is not;
# - ResetProcessState (src/state/reset.cpp) renews every record, and each record starts as a fresh
#   value of its type (T{}), so that renewing it gives back what the program started with.
# Prints each offending file or include and exits 1 when there is one.
# Usage: check_layers.sh [TREE]   (a checkout; by default the one holding this script)
set -euo pipefail
tree="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$tree"
[ -d src ] || { echo "check_layers: no src/ in $tree" >&2; exit 2; }
[ -f src/layers.txt ] || { echo "check_layers: no src/layers.txt in $tree" >&2; exit 2; }
dirs=(src)
for d in tests bench fuzz; do [ -d "$d" ] && dirs+=("$d"); done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
find src -mindepth 1 -type d | sort >"$work/folders"
find "${dirs[@]}" -type f | sort >"$work/files"
grep -E '\.(h|hh|hpp|hxx|inl|ipp|c|cc|cpp|cxx)$' "$work/files" >"$work/sources" || true
# Every include directive, with any spaces around the '#'.
: >"$work/includes"
if [ -s "$work/sources" ]; then
    xargs -d '\n' grep -HnE '^[[:space:]]*#[[:space:]]*include' <"$work/sources" >"$work/includes" || true
fi

awk -v LAYERS=src/layers.txt -v FOLDERS="$work/folders" -v FILES="$work/files" -v SOURCES="$work/sources" '
function norm(p,   n, a, i, k, s, out) {
    n = split(p, a, "/"); k = 0
    for (i = 1; i <= n; i++) {
        if (a[i] == "" || a[i] == ".") continue
        if (a[i] == "..") { if (k == 0) return ""; k--; continue }
        s[++k] = a[i]
    }
    out = ""
    for (i = 1; i <= k; i++) out = out (i > 1 ? "/" : "") s[i]
    return out
}
function dirname(p) { sub(/\/[^\/]*$/, "", p); return p }
function first(p,   a) { split(p, a, "/"); return a[1] }
function second(p,   a) { split(p, a, "/"); return a[2] }
function depth(p,   a) { return split(p, a, "/") }
# The rank of a file as an includer: its layer, TOP for the programs over the whole core, -1 when
# no rule applies.
function rank_of(path,   root, area) {
    root = first(path); area = second(path)
    if (path == "src/main.cpp" || root == "bench" || root == "fuzz") return TOP
    if (root == "src") return (depth(path) == 3 && area in rank) ? rank[area] : -1
    if (root == "tests") {
        if (area == "support") return 0  # linked into every area'"'"'s tests
        return (area in rank) ? rank[area] : -1
    }
    return -1
}
# Where an include lands: the file it names in the tree, or "" when it names none (a system or
# library header). Quoted names are looked up beside the includer first, then on the include path.
function resolve(path, name, quoted,   root, c) {
    root = first(path)
    if (quoted) { c = norm(dirname(path) "/" name); if (c in exists) return c }
    c = norm("src/" name); if (c in exists) return c
    if (root == "tests" || root == "bench") { c = norm(root "/" name); if (c in exists) return c }
    if (first(name) in rank) return norm("src/" name)  # a header of a layer that is not there
    if (quoted) return "?"
    return ""
}
function standard(h) {
    if (h in std) return 1
    if (h ~ /^sys\/[a-z_]+\.h$/ || h ~ /^[a-z0-9_]*intrin\.h$/) return 1
    return 0
}
function complain(msg) { print msg; bad = 1 }
BEGIN {
    # The signal-processing library the analysis wraps itself, and where.
    wrapped["src/analysis/loudness_meter.cpp"] = "ebur128.h"
    n = 0
    while ((getline line < LAYERS) > 0) {
        if (line ~ /^[[:space:]]*(#|$)/) continue
        k = split(line, w, /[[:space:]]+/)
        for (i = 1; i <= k; i++) if (w[i] != "") rank[w[i]] = n
        n++
    }
    TOP = n
    split("algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv " \
          "chrono cinttypes climits clocale cmath codecvt compare complex concepts condition_variable " \
          "coroutine csetjmp csignal cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar " \
          "cwctype deque exception execution expected filesystem format forward_list fstream functional " \
          "future initializer_list iomanip ios iosfwd iostream istream iterator latch limits list locale " \
          "map memory memory_resource mutex new numbers numeric optional ostream queue random ranges " \
          "ratio regex scoped_allocator semaphore set shared_mutex source_location span sstream stack " \
          "stdexcept stop_token streambuf string string_view syncstream system_error thread tuple " \
          "type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant vector " \
          "version assert.h ctype.h errno.h float.h inttypes.h limits.h locale.h math.h setjmp.h " \
          "signal.h stdarg.h stddef.h stdint.h stdio.h stdlib.h string.h time.h wchar.h unistd.h " \
          "fcntl.h dirent.h sched.h pthread.h poll.h strings.h dlfcn.h glob.h fnmatch.h pwd.h " \
          "libgen.h spawn.h termios.h cpuid.h", names, " ")
    for (i in names) std[names[i]] = 1
    while ((getline f < FILES) > 0) exists[f] = 1
    while ((getline d < FOLDERS) > 0)
        if (depth(d) != 2 || !(second(d) in rank))
            complain(d ": a folder that is not a layer'"'"'s (src/layers.txt lists them)")
    while ((getline f < SOURCES) > 0)
        if (first(f) == "src" && depth(f) == 2 && f != "src/main.cpp")
            complain(f ": a source file outside the layers'"'"' folders")
}
{
    # path:line:text
    i = index($0, ":"); path = substr($0, 1, i - 1); rest = substr($0, i + 1)
    j = index(rest, ":"); at = path ":" substr(rest, 1, j - 1); text = substr(rest, j + 1)
    if (!match(text, /include[[:space:]]*/)) next
    spec = substr(text, RSTART + RLENGTH)
    if (spec ~ /^"[^"]+"/) { quoted = 1; name = substr(spec, 2, index(substr(spec, 2), "\"") - 1) }
    else if (spec ~ /^<[^>]+>/) { quoted = 0; name = substr(spec, 2, index(spec, ">") - 2) }
    else { if (rank_of(path) >= 0) complain(at ": an include the check cannot read: " text); next }
    n_inc++
    inc_path[n_inc] = path; inc_at[n_inc] = at; inc_text[n_inc] = text
    inc_name[n_inc] = name; inc_target[n_inc] = resolve(path, name, quoted); inc_quoted[n_inc] = quoted
}
END {
    # The platform headers that bring a library in, directly or through another platform header.
    for (k = 1; k <= n_inc; k++) {
        p = inc_path[k]
        if (first(p) != "src" || second(p) != "platform" || p !~ /\.h$/) continue
        if (inc_target[k] == "" && !standard(inc_name[k])) carrier[p] = "<" inc_name[k] ">"
    }
    do {
        grew = 0
        for (k = 1; k <= n_inc; k++) {
            p = inc_path[k]; t = inc_target[k]
            if (first(p) == "src" && second(p) == "platform" && p ~ /\.h$/ && (t in carrier) && !(p in carrier)) {
                carrier[p] = carrier[t]; grew = 1
            }
        }
    } while (grew)

    for (k = 1; k <= n_inc; k++) {
        p = inc_path[k]; at = inc_at[k]; text = inc_text[k]; t = inc_target[k]
        own = rank_of(p)
        if (own < 0) continue
        root = first(p)
        platform_file = root == "src" && second(p) == "platform"
        libraries_checked = root != "tests" && !platform_file
        if (t == "?") { complain(at ": includes a file that is not in the tree: " text); continue }
        if (t == "") {
            if (!libraries_checked || standard(inc_name[k])) continue
            if (root == "bench" && inc_name[k] == "fftw3.h") continue
            if ((p in wrapped) && wrapped[p] == inc_name[k]) continue
            complain(at ": only the platform layer includes " text)
            continue
        }
        if (!inc_quoted[k] && first(t) == "src") complain(at ": names a header of the program in <>: " text)
        troot = first(t)
        if (troot != "src") {
            if (troot != root) complain(at ": includes a file of " troot "/: " text)
            else if (rank_of(t) > own) complain(at ": includes a higher layer: " text)
            continue
        }
        if (depth(t) != 3 || !(second(t) in rank)) {
            complain(at ": includes a file outside the layers'"'"' folders: " text)
            continue
        }
        if (rank[second(t)] > own) complain(at ": includes a higher layer: " text)
        # The analysis takes its data and parameters as arguments: it uses nothing of the platform.
        if (root == "src" && second(p) == "analysis" && second(t) == "platform")
            complain(at ": the analysis includes a platform header: " text)
        if (libraries_checked && (t in carrier))
            complain(at ": only the platform layer includes " text " (it includes " carrier[t] ")")
    }
    exit bad
}' "$work/includes" || status=1

# For the awk programs below: code without comments and the contents of string and character literals.
awk_code_of='
function code_of(line,   out, i, c, q, n) {
    out = ""; q = ""; n = length(line)
    for (i = 1; i <= n; i++) {
        c = substr(line, i, 1)
        if (q != "") {
            if (c == "\\") { i++; continue }
            if (c == q) { q = ""; out = out c }
            continue
        }
        if (c == "/" && substr(line, i + 1, 1) == "/") break
        if (c == "\"" || c == "'"'"'") q = c
        out = out c
    }
    return out
}
'

# The analysis keeps what it remembers in its analyser objects: no mutable variable at namespace
# scope or static inside a function (constants, and tables built once, are fine). The transform's
# engine alone shares what it keeps (its plans, built once a size, its work memory and its reports
# of memory it went without, the tests' switches); those are named here.
find src/analysis -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort >"$work/analysis_sources"
awk -v FILES="$work/analysis_sources" "$awk_code_of"'
function complain(msg) { print msg; bad = 1 }
# The name a declaration declares: the last word before "=", "{", "[", "(" or ";".
function declared(code,   t) {
    t = code
    sub(/[ \t]*(=|\{|\[|\(|;).*$/, "", t)
    sub(/^.*[^A-Za-z0-9_]/, "", t)
    return t
}
BEGIN {
    shared["src/analysis/fft_fast.cpp"] = " fail_next_allocations use_portable_kernels use_radix8 plans scratch_block scratch_capacity shortages "
    while ((getline f < FILES) > 0) {
        ln = 0; in_comment = 0
        while ((getline line < f) > 0) {
            ln++
            if (in_comment) { if (line ~ /\*\//) in_comment = 0; continue }
            if (line ~ /^[ \t]*\/\*/ && line !~ /\*\//) { in_comment = 1; continue }
            code = code_of(line)
            if (code ~ /^[ \t]*$/ || code ~ /^[ \t]*#/) continue
            kind = ""
            if (code ~ /^[ \t]+/ && code ~ /(^|[^A-Za-z0-9_])static[ \t]/ && code !~ /static[ \t]+(const|constexpr|inline|void|bool|int|double|std::size_t)[ \t&*]+[A-Za-z_][A-Za-z0-9_:<>]*[ \t]*\(/) {
                t = code; sub(/^.*(^|[^A-Za-z0-9_])static[ \t]+/, "", t)
                if (t !~ /^(const|constexpr)[ \t]/ && !(code ~ /\(/ && code !~ /=/ && code ~ /\)[ \t]*(const)?[ \t]*(;|\{|override)/)) kind = "static"
            } else if (code ~ /^[A-Za-z_]/ && code ~ /;[ \t]*$/ &&
                       code !~ /^(return|using|typedef|struct|class|enum|namespace|template|extern|friend|const|constexpr|static[ \t]+const|static[ \t]+constexpr|inline[ \t]+const|inline[ \t]+constexpr|static_assert|public|private|protected)([^A-Za-z0-9_]|$)/ &&
                       code !~ /^[^=]*\(/ && code !~ /\}[ \t]*;/) {
                kind = "variable"
            }
            if (kind == "") continue
            name = declared(code)
            if (f in shared && index(shared[f], " " name " ")) continue
            complain(f ":" ln ": a mutable " (kind == "static" ? "static" : "variable at namespace scope") \
                     " in the analysis, which keeps its state in its analyser: " line)
        }
        close(f)
    }
    exit bad
}' || status=1

# The records' writers, and their reset.
grep -E '^src/.*\.(h|cpp)$' "$work/sources" >"$work/core" || true
awk -v LAYERS=src/layers.txt -v CORE="$work/core" "$awk_code_of"'
function first(p,   a) { split(p, a, "/"); return a[1] }
function second(p,   a) { split(p, a, "/"); return a[2] }
function complain(msg) { print msg; bad = 1 }
function trim(t) { sub(/^[ \t]+/, "", t); sub(/[ \t]+$/, "", t); return t }
# The layers a "Written by:" line names, space-separated and framed by spaces.
function writers_of(text,   a, k, i, w, out) {
    sub(/.*Written by:/, "", text)
    gsub(/\([^)]*\)/, "", text)
    gsub(/[,;.]/, " ", text)
    k = split(text, a, /[ \t]+/); out = " "
    for (i = 1; i <= k; i++) if (a[i] in rank) out = out a[i] " "
    return out
}
# Whether `code` writes `name`: the forms an assignment, an increment, a mutating call, a swap or a
# reference that is not const take.
function writes(code, name,   from, at, before, after, m) {
    from = 0
    while ((at = index(substr(code, from + 1), name)) > 0) {
        at += from; from = at
        before = substr(code, 1, at - 1); after = substr(code, at + length(name))
        if (before ~ /[A-Za-z0-9_.>]$/ && before !~ /dl::$/) continue
        if (before ~ /::$/ && before !~ /dl::$/) continue
        if (after ~ /^[A-Za-z0-9_]/) continue
        m = after
        while (m ~ /^(\[[^]]*\]|(\.|->)[A-Za-z_][A-Za-z0-9_]*)/) sub(/^(\[[^]]*\]|(\.|->)[A-Za-z_][A-Za-z0-9_]*)/, "", m)
        if (m ~ /^[ \t]*([-+*\/%&|^]|<<|>>)?=([^=]|$)/) return 1
        if (m ~ /^[ \t]*(\+\+|--)/ || before ~ /(\+\+|--)[ \t]*(dl::)?$/) return 1
        if (after ~ /^(\[[^]]*\]|(\.|->)[A-Za-z_][A-Za-z0-9_]*)*(\.|->)(assign|resize|clear|reset|fill|swap|push_back|emplace_back|emplace|insert|erase|shrink_to_fit|reserve|pop_back|pop_front)[ \t]*\(/) return 1
        if (before ~ /swap\([ \t]*(dl::)?$/) return 1
        if (m ~ /^[ \t]*[;,)]/ && before ~ /&[ \t]*[A-Za-z_][A-Za-z0-9_]*[ \t]*=[ \t]*(dl::)?$/ && before !~ /const[ \t]+[^=]*&[ \t]*[A-Za-z_][A-Za-z0-9_]*[ \t]*=[ \t]*(dl::)?$/) return 1
    }
    return 0
}
BEGIN {
    while ((getline line < LAYERS) > 0) {
        if (line ~ /^[[:space:]]*(#|$)/) continue
        k = split(line, w, /[[:space:]]+/)
        for (i = 1; i <= k; i++) if (w[i] != "") { rank[w[i]] = n; layer_of[w[i]] = w[1] }
        n++
    }
    while ((getline f < CORE) > 0) {
        if (f ~ /^src\/state\/[^\/]*\.h$/) headers[f] = 1
        core[++ncore] = f
    }
    # The records, their writers and their starting values.
    for (h in headers) {
        default_writers = ""; pending = ""; in_body = 0; depth = 0; ln = 0
        while ((getline line < h) > 0) {
            ln++
            if (line ~ /^namespace dl/) { in_body = 1; continue }
            if (line ~ /^\/\/.*Written by:/) {
                if (!in_body) default_writers = writers_of(line)
                else pending = writers_of(line)
                continue
            }
            if (!in_body) continue
            if (line ~ /^(struct|class|enum)[^;]*\{/ && line !~ /\};/) { depth = 1; continue }
            if (depth) { if (line ~ /^\};/) depth = 0; continue }
            if (line ~ /^[ \t]*$/) { pending = ""; continue }
            if (line !~ /^inline / || line ~ /^inline constexpr /) continue
            decl = line; sub(/[=;{].*/, "", decl); decl = trim(decl)
            if (decl ~ /\)$/) continue  # a function
            name = decl; sub(/.*[^A-Za-z0-9_]/, "", name)
            who = pending != "" ? pending : default_writers; pending = ""
            if (who == "") { complain(h ":" ln ": " name " has no \"Written by:\" (for its header or itself)"); continue }
            home[name] = h
            if (line ~ /^inline (const )?auto& [A-Za-z_][A-Za-z0-9_]* = [A-Za-z_][A-Za-z0-9_]*\./) {
                target = line; sub(/.*= /, "", target); sub(/\..*/, "", target)
                alias_of[name] = target
                continue
            }
            writer[name] = who
            init = line; sub(/^[^=;{]*/, "", init); sub(/;.*/, "", init); init = trim(init)
            if (init != "" && init != "{}" && init != "= nullptr" && init != "= false" && init != "= 0")
                complain(h ":" ln ": " name " starts at a value of its own, which ResetProcessState cannot give back: make it a field of a record")
            record[name] = 1
        }
        close(h)
    }
    for (a in alias_of) writer[a] = (alias_of[a] in writer) ? writer[alias_of[a]] : ""
    # Every record renewed.
    while ((getline line < "src/state/reset.cpp") > 0)
        if (match(line, /renew\([A-Za-z_][A-Za-z0-9_]*\)/)) renewed[substr(line, RSTART + 6, RLENGTH - 7)] = 1
        # A count that only moves on is renewed by moving it on.
        else if (match(line, /^[ \t]*\+\+[A-Za-z_][A-Za-z0-9_]*;/)) { name = substr(line, RSTART, RLENGTH); gsub(/[ \t+;]/, "", name); renewed[name] = 1 }
    for (r in record) if (!(r in renewed)) complain(home[r] ": " r " is not renewed by ResetProcessState (src/state/reset.cpp)")
    # Every write by the layer that may.
    for (i = 1; i <= ncore; i++) {
        f = core[i]
        if (second(f) == "state" || f == "src/main.cpp") continue
        layer = (second(f) in layer_of) ? layer_of[second(f)] : ""
        ln = 0
        while ((getline line < f) > 0) {
            ln++
            code = code_of(line)
            if (code !~ /[A-Za-z]/) continue
            for (name in writer) {
                if (!index(code, name)) continue
                if (index(writer[name], " " layer " ")) continue
                if (writes(code, name))
                    complain(f ":" ln ": writes " name ", which only" writer[name] "write (" home[name] ")")
            }
        }
        close(f)
    }
    exit bad
}' || status=1
exit "${status:-0}"
