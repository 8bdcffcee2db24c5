#!/usr/bin/env bash
# The only way the tests start Wine. Every run uses a private prefix under the
# build tree, made afresh for each test run and made safe before any test
# runs: Wine maps Z: to the Linux root and links the user folders under
# drive_c to the host's home, and the tests run as root, so the z: drive is
# removed and every symbolic link under drive_c becomes an empty directory.
# Nothing here ever deletes or changes a drive entry of the prefix after that.
#
#   wine.sh create PREFIX [display]
#                                make a fresh, safe prefix: headless, or with
#                                "display" one whose windows show on a private
#                                X server (Xvfb) of its own
#   wine.sh check PREFIX         fail unless the prefix is still safe
#   wine.sh start PREFIX         a persistent wineserver (ctest setup fixture),
#                                and the prefix's Xvfb when it has one
#   wine.sh stop PREFIX          stop that wineserver (ctest cleanup fixture)
#   wine.sh stage PREFIX FILE... copy files into C:\tarnwick of the prefix
#   wine.sh run PREFIX EXE ARGS  run a Windows program (the ctest emulator)
#
# The 32-bit DLL runs under a 32-bit Wine, which Debian's i386 packages cannot
# bring beside the machine's own; it lives in a private i386 Debian root under
# the build tree instead (ROOT is a folder named i386-root):
#   wine.sh root-create ROOT     debootstrap the root from the archive the
#                                machine's apt sources name, with wine, wine32
#                                and Xvfb inside (once; checked every time)
#   wine.sh root-mount ROOT      bind /proc and /dev into it (for a test run)
#   wine.sh root-unmount ROOT    undo that; every way out of a run must
# A prefix inside the root (ROOT/prefixes/NAME) is made, started, checked and
# run like any other, with the root's Wine through chroot (WINEARCH=win32);
# the same safety rules hold inside.
set -euo pipefail

die() { echo "wine.sh: $*" >&2; exit 1; }

command=${1:-}
prefix=${2:-}
[ -n "$command" ] && [ -n "$prefix" ] || die "usage: wine.sh create|check|start|stop|stage|run PREFIX [display | FILE... | EXE ARGS...]"
shift 2
case "$prefix" in
    /*/build/*) ;;
    *) die "the prefix must be an absolute path under a build tree, not '$prefix'" ;;
esac

# ------------------------------------------------------------ the i386 root
root_mounts() { echo "$1/proc $1/dev"; }

case "$command" in
root-create)
    root=$prefix
    case "$root" in */i386-root) ;; *) die "an i386 root is a folder named i386-root, not '$root'" ;; esac
    if [ ! -x "$root/usr/bin/wine" ] || [ ! -x "$root/usr/bin/Xvfb" ]; then
        for m in $(root_mounts "$root"); do
            mountpoint -q "$m" && die "$m is mounted: unmount it before the root is made again"
        done
        command -v debootstrap >/dev/null || {
            apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
        } || die "debootstrap cannot be installed"
        # The archive the machine's own apt sources name: bookworm's main
        # alone, so nothing in the root has to match the host's updates.
        archive=$(awk '/^URIs:/ { for (i = 2; i <= NF; i++) if ($i !~ /security/) { print $i; exit } }' \
            /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
        [ -n "$archive" ] || archive=$(awk '$1 == "deb" && $3 !~ /security/ { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
        [ -n "$archive" ] || die "no Debian archive in the apt sources"
        [ -d "$root" ] && rm -rf --one-file-system "$root"
        mkdir -p "$root"
        debootstrap --arch=i386 --variant=minbase bookworm "$root" "$archive" >"$root.log" 2>&1 ||
            die "debootstrap failed (see $root.log)"
        mount --bind /proc "$root/proc"
        mount --bind /dev "$root/dev"
        trap 'umount "$root/dev" 2>/dev/null; umount "$root/proc" 2>/dev/null' EXIT
        chroot "$root" sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
            --no-install-recommends wine wine32 xvfb xauth' >>"$root.log" 2>&1 ||
            die "wine32 cannot be installed in the root (see $root.log)"
    fi
    [ -x "$root/usr/bin/wine" ] && [ -x "$root/usr/bin/Xvfb" ] || die "the root at $root has no Wine"
    echo "i386 root ready: $root ($(chroot "$root" /usr/bin/wine --version 2>/dev/null || echo 'wine, not yet started'))"
    exit 0
    ;;
root-mount)
    root=$prefix
    [ -x "$root/usr/bin/wine" ] || die "no i386 root at $root: wine.sh root-create makes it"
    mountpoint -q "$root/proc" || mount --bind /proc "$root/proc"
    mountpoint -q "$root/dev" || mount --bind /dev "$root/dev"
    exit 0
    ;;
root-unmount)
    root=$prefix
    status=0
    for m in "$root/dev" "$root/proc"; do
        if mountpoint -q "$m"; then umount "$m" || umount -l "$m" || status=1; fi
    done
    exit $status
    ;;
esac

# A prefix inside an i386 root runs with that root's Wine, through chroot;
# every Wine command below goes through w.
root32=""
inner_prefix=$prefix
case "$prefix" in
    */i386-root/prefixes/*)
        root32=${prefix%%/prefixes/*}
        inner_prefix=${prefix#"$root32"}
        mountpoint -q "$root32/proc" && mountpoint -q "$root32/dev" ||
            die "the i386 root is not mounted: wine.sh root-mount $root32"
        ;;
esac
# Runs a Wine command (wine, wineserver, Xvfb) for this prefix; a first
# argument -C DIR runs it in that folder of the prefix's world.
w() {
    local dir=""
    if [ "${1:-}" = -C ]; then dir=$2; shift 2; fi
    if [ -n "$root32" ]; then
        chroot "$root32" /usr/bin/env ${dir:+-C "${dir#"$root32"}"} WINEPREFIX="$inner_prefix" WINEDEBUG=-all \
            WINEARCH=win32 HOME=/root PATH=/usr/bin:/bin ${DISPLAY:+DISPLAY=$DISPLAY} \
            ${WINEDLLOVERRIDES:+WINEDLLOVERRIDES=$WINEDLLOVERRIDES} "$@"
    elif [ -n "$dir" ]; then
        (cd "$dir" && exec "$@")
    else
        "$@"
    fi
}

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEARCH=win64
unset DISPLAY
# A prefix made with "display" keeps its X server's number and process here,
# beside (not inside) its drives.
display_file="$prefix/x-display"
xvfb_pid_file="$prefix/x-server.pid"
if [ -n "$root32" ]; then
    wine=wine
else
    wine=$(command -v wine64 || command -v wine || true)
    [ -n "$wine" ] || die "wine is not installed"
fi

# Prints every way the prefix could reach outside itself; silent when safe.
unsafe() {
    [ -d "$prefix/drive_c" ] || { echo "no prefix at $prefix"; return; }
    local entry
    for entry in "$prefix"/dosdevices/*; do
        [ -e "$entry" ] || [ -L "$entry" ] || continue
        case "$(basename "$entry")" in
            c:) [ "$(readlink "$entry")" = "../drive_c" ] || echo "c: leads to $(readlink "$entry")" ;;
            # Serial and parallel ports that Wine's mount manager links to
            # devices: not drives, no files behind them.
            com[0-9]*|lpt[0-9]*) case "$(readlink "$entry")" in /dev/tty*|/dev/lp*) ;; *)
                echo "port $(basename "$entry") -> $(readlink "$entry")" ;; esac ;;
            *) echo "drive $(basename "$entry") -> $(readlink "$entry")" ;;
        esac
    done
    find "$prefix/drive_c" -type l -printf 'link %p -> %l\n'
}

# Starts the prefix's own Xvfb (unless it runs) and exports DISPLAY. Xvfb
# picks a free display itself; it holds no descriptor of the caller, so ctest
# does not wait for it.
start_xvfb() {
    [ -n "$root32" ] || command -v Xvfb >/dev/null || die "Xvfb is not installed"
    if [ -f "$xvfb_pid_file" ] && kill -0 "$(cat "$xvfb_pid_file")" 2>/dev/null && [ -s "$display_file" ]; then
        export DISPLAY=$(cat "$display_file")
        return
    fi
    rm -f "$display_file.new"
    (
        for fd in $(ls "/proc/$BASHPID/fd"); do
            case "$fd" in 0|1|2) ;; *) eval "exec $fd>&-" 2>/dev/null || true ;; esac
        done
        cd /
        # The root's own X server for a prefix inside it: the root's Wine
        # finds its socket under the root's /tmp.
        xvfb=(Xvfb)
        [ -n "$root32" ] && xvfb=(chroot "$root32" /usr/bin/Xvfb)
        exec setsid "${xvfb[@]}" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
            3>"$display_file.new" </dev/null >/dev/null 2>&1
    ) &
    echo $! >"$xvfb_pid_file"
    local tries=0
    until [ -s "$display_file.new" ]; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || die "Xvfb did not start"
        sleep 0.1
    done
    echo ":$(head -n 1 "$display_file.new")" >"$display_file"
    rm -f "$display_file.new"
    export DISPLAY=$(cat "$display_file")
}

stop_xvfb() {
    if [ -f "$xvfb_pid_file" ]; then
        kill "$(cat "$xvfb_pid_file")" 2>/dev/null || true
        rm -f "$xvfb_pid_file"
    fi
}

case "$command" in
create)
    if [ -e "$prefix" ]; then
        if [ -n "$root32" ]; then w wineserver -k >/dev/null 2>&1 || true; else "$(dirname "$wine")/wineserver" -k >/dev/null 2>&1 || true; fi
        stop_xvfb
        # rm does not follow symbolic links: only the old prefix itself goes.
        rm -rf --one-file-system "$prefix"
    fi
    mkdir -p "$prefix"
    with_display=false
    if [ "${1:-}" = display ]; then
        with_display=true
        # Wine's first process must find the display, or the prefix's
        # windows fail later (error 1400).
        start_xvfb
        # A create that fails on the way leaves no X server behind.
        trap stop_xvfb EXIT
    fi
    WINEDLLOVERRIDES="mscoree,mshtml=" w "$wine" wineboot -i >/dev/null 2>&1 || die "wineboot failed"
    w wineserver -w
    # Before any test runs: no drive but C:, no way out of drive_c.
    for entry in "$prefix"/dosdevices/*; do
        case "$(basename "$entry")" in
            c:|com[0-9]*|lpt[0-9]*) ;;
            *) rm -f "$entry" ;;  # the drive's link, never what it leads to
        esac
    done
    find "$prefix/drive_c" -type l -print0 | while IFS= read -r -d '' link; do
        rm -f "$link" && mkdir "$link"
    done
    if $with_display; then
        # Every window inside one virtual desktop, an X window of Wine's own:
        # no window manager runs on the X server, and without a desktop Wine
        # draws no captions unless told (X11 Driver, Decorated=N) and waits
        # two seconds for a window manager at every window it hides.
        w "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 &&
            w "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 ||
            die "reg add failed"
        w wineserver -w
        stop_xvfb
        trap - EXIT
    else
        # Headless: the null display driver, no X server needed.
        w "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || die "reg add failed"
        w wineserver -w
    fi
    problems=$(unsafe)
    [ -z "$problems" ] || die "the new prefix is not safe: $problems"
    mkdir -p "$prefix/drive_c/scratch"
    echo "wine prefix ready: $prefix ($(w "$wine" --version))"
    ;;
check)
    problems=$(unsafe)
    [ -z "$problems" ] || die "the prefix is not safe: $problems"
    echo "wine prefix safe: $prefix"
    ;;
start)
    problems=$(unsafe)
    [ -z "$problems" ] || die "the prefix is not safe: $problems"
    # The server and Wine's services live for the whole run. Started here, with
    # every descriptor of the caller closed, they hold no test's output open:
    # ctest waits for a test's output to close, and a service started by a
    # test would keep it open until the end.
    (
        cd /
        for fd in $(ls "/proc/$BASHPID/fd"); do
            case "$fd" in 0|1|2) ;; *) eval "exec $fd>&-" 2>/dev/null || true ;; esac
        done
        exec </dev/null >/dev/null 2>&1
        [ -f "$display_file" ] && start_xvfb
        # A server that already runs stays; wineboot only starts the services.
        w wineserver -p || true
        w "$wine" wineboot || true
    )
    ;;
stage)
    [ -d "$prefix/drive_c" ] || die "no prefix at $prefix"
    mkdir -p "$prefix/drive_c/tarnwick"
    for file in "$@"; do
        [ -f "$file" ] || die "$file was not built (run ./build.sh)"
        cp "$file" "$prefix/drive_c/tarnwick/"
    done
    ;;
stop)
    w wineserver -k >/dev/null 2>&1 || true
    stop_xvfb
    ;;
run)
    [ -d "$prefix/drive_c" ] || die "no prefix at $prefix: run ./test.sh, which makes it"
    if [ -e "$prefix/dosdevices/z:" ] || [ -L "$prefix/dosdevices/z:" ]; then
        die "the prefix has a z: drive; refusing to run"
    fi
    # A program from the build tree is copied into the prefix and started
    # from there, so that it runs from C: like everything it works on.
    # Started inside drive_c: a working directory outside every drive would
    # make Wine complain and fall back to C:\windows.
    if [ -f "$display_file" ]; then
        [ -f "$xvfb_pid_file" ] && kill -0 "$(cat "$xvfb_pid_file")" 2>/dev/null ||
            die "the prefix's X server does not run: start it with wine.sh start"
        export DISPLAY=$(cat "$display_file")
    fi
    program=${1:-}
    [ -f "$program" ] && program=$(realpath "$program")
    cd "$prefix/drive_c"
    if [ -f "$program" ]; then
        shift
        mkdir -p "$prefix/drive_c/bin"
        stage=$(mktemp "$prefix/drive_c/bin/.stage.XXXXXX")
        cp "$program" "$stage"
        mv -f "$stage" "$prefix/drive_c/bin/$(basename "$program")"
        set -- "C:\\bin\\$(basename "$program")" "$@"
    fi
    [ -n "$root32" ] || exec "$wine" "$@"
    w -C "$prefix/drive_c" "$wine" "$@"
    ;;
*)
    die "unknown command $command"
    ;;
esac
