#!/usr/bin/env bash
# Download and upload speed of tessel-cli (get and put, and the transfer jobs
# behind mirror-get and mirror-put) against curl, over loopback, in one run:
# the clients take turns on the same file and the same server, several rounds,
# and the medians are compared. Not a test: it prints figures.
#
# usage: bench/transfer.sh [--size MIB] [--rounds N] [--server pyftpdlib|vsftpd|all]
#   --size MIB   size of the file moved (default 1024)
#   --rounds N   rounds per server, each a download and an upload per client (default 3)
#   --server S   which servers to run (default all: pyftpdlib, and vsftpd where installed)
# TESSEL_RELEASE_DIR chooses the Release build folder (default build/release);
# VSFTPD names the vsftpd program (default: the one on PATH or in /usr/sbin).
set -euo pipefail

size_mib=1024
rounds=3
servers=all
while [ $# -gt 0 ]; do
    case "$1" in
    --size) size_mib=${2:?--size needs MiB}; shift 2 ;;
    --rounds) rounds=${2:?--rounds needs a count}; shift 2 ;;
    --server) servers=${2:?--server needs a name}; shift 2 ;;
    -h | --help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "transfer.sh: unknown argument $1" >&2; exit 1 ;;
    esac
done
case "$size_mib$rounds" in *[!0-9]*) echo "transfer.sh: --size and --rounds take whole numbers" >&2; exit 1 ;; esac
[ "$size_mib" -ge 1 ] && [ "$rounds" -ge 1 ] || { echo "transfer.sh: --size and --rounds must be at least 1" >&2; exit 1; }

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSEL_RELEASE_DIR:-$root/build/release}
cli=$build/tools/tessel-cli/tessel-cli
command -v curl >/dev/null || { echo "transfer.sh: curl is not installed" >&2; exit 1; }

# A Release build of the tool; building is a no-op when it is up to date.
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSEL_TESTS=OFF \
        -DTESSEL_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j2 --target tessel-cli >/dev/null

# The file, the server's folder and the copies: in memory when there is room.
size=$((size_mib * 1024 * 1024))
need_kib=$((size_mib * 1024 * 5 + 65536))
base=/tmp
if [ -d /dev/shm ] && [ "$(df -Pk /dev/shm | awk 'NR==2 {print $4}')" -gt "$need_kib" ]; then
    base=/dev/shm
fi
if [ "$(df -Pk "$base" | awk 'NR==2 {print $4}')" -le "$need_kib" ]; then
    echo "transfer.sh: $base has no room for five copies of $size_mib MiB" >&2
    exit 1
fi
work=$(mktemp -d "$base/tessel-bench-XXXXXX")
server_pid=
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$work/root/up" "$work/local"
# Incompressible content, made once.
head -c "$size" /dev/urandom >"$work/root/big.bin"
cp "$work/root/big.bin" "$work/local/source.bin"

user=bench
password=bench-secret
port=

start_pyftpdlib() {
    : >"$work/port"
    /usr/bin/python3 "$root/tests/support/pyftpd_server.py" "$work/root" "$user" "$password" \
        --parent $$ >"$work/port" 2>"$work/server.log" &
    server_pid=$!
    for _ in $(seq 100); do
        port=$(head -n1 "$work/port")
        [ -n "$port" ] && return 0
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "transfer.sh: pyftpdlib did not start:" >&2
    cat "$work/server.log" >&2
    return 1
}

find_vsftpd() {
    if [ -n "${VSFTPD:-}" ]; then
        echo "$VSFTPD"
    elif command -v vsftpd >/dev/null; then
        command -v vsftpd
    elif [ -x /usr/sbin/vsftpd ]; then
        echo /usr/sbin/vsftpd
    fi
}

# vsftpd as an anonymous server on a free loopback port; uploads go to up/.
start_vsftpd() {
    local program
    program=$(find_vsftpd)
    port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    mkdir -p "$work/empty"
    # The unprivileged user vsftpd serves as must reach the files.
    chmod 755 "$work" "$work/local"
    # vsftpd refuses a writable anonymous root; uploads go to a folder below it.
    chmod 555 "$work/root"
    chmod 777 "$work/root/up"
    cat >"$work/vsftpd.conf" <<CONF
listen=YES
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=YES
local_enable=NO
anon_root=$work/root
no_anon_password=YES
write_enable=YES
anon_upload_enable=YES
anon_other_write_enable=YES
anon_umask=022
secure_chroot_dir=$work/empty
# No user switch or chroot: the server stays a plain process of ours.
run_as_launching_user=YES
ftp_username=nobody
seccomp_sandbox=NO
pasv_enable=YES
pasv_address=127.0.0.1
xferlog_enable=NO
vsftpd_log_file=$work/server.log
CONF
    "$program" "$work/vsftpd.conf" >"$work/server.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 100); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            return 0
        fi
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "transfer.sh: vsftpd did not start:" >&2
    cat "$work/server.log" >&2
    return 1
}

stop_server() {
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=
    chmod 755 "$work/root"
}

# Runs a command and prints its MB/s (10^6 bytes per second) for the file size.
timed() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>"$work/client.err" || {
        echo "transfer.sh: failed: $*" >&2
        cat "$work/client.err" >&2
        return 1
    }
    end=$(date +%s%N)
    awk -v bytes="$size" -v ns=$((end - start)) 'BEGIN { printf "%.1f", bytes / (ns / 1e9) / 1e6 }'
}

same_file() {
    cmp -s "$1" "$2" || { echo "transfer.sh: $2 differs from $1" >&2; return 1; }
}

median() {
    tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

run_server() {
    local name=$1 url login
    "start_$name" || return 1
    if [ "$name" = vsftpd ]; then login=; else login="$user:$password@"; fi
    url="ftp://${login}127.0.0.1:$port"
    local cli_get="" curl_get="" cli_put="" curl_put="" mirror_get="" mirror_put=""
    echo "== $name, $size_mib MiB in $base, $rounds rounds (MB/s)"
    for round in $(seq "$rounds"); do
        local order="tessel curl"
        [ $((round % 2)) = 0 ] && order="curl tessel"
        local line="round $round:"
        for client in $order; do
            rm -f "$work/local/got.bin" "$work/root/up/"*
            if [ "$client" = tessel ]; then
                g=$(timed "$cli" get "$url/big.bin" "$work/local/got.bin")
                p=$(timed "$cli" put "$work/local/source.bin" "$url/up/put.bin")
                cli_get="$cli_get $g"
                cli_put="$cli_put $p"
                # The transfer jobs: a download into a folder, an upload into one.
                mg=$(timed "$cli" mirror-get --overwrite "$url/big.bin" "$work/local/mirror")
                same_file "$work/root/big.bin" "$work/local/mirror/big.bin"
                rm -rf "$work/local/mirror"
                mp=$(timed "$cli" mirror-put --overwrite "$work/local/source.bin" "$url/up/")
                same_file "$work/local/source.bin" "$work/root/up/source.bin"
                rm -f "$work/root/up/source.bin"
                mirror_get="$mirror_get $mg"
                mirror_put="$mirror_put $mp"
            else
                g=$(timed curl -sS --fail -o "$work/local/got.bin" "$url/big.bin")
                p=$(timed curl -sS --fail -T "$work/local/source.bin" "$url/up/put.bin")
                curl_get="$curl_get $g"
                curl_put="$curl_put $p"
            fi
            same_file "$work/root/big.bin" "$work/local/got.bin"
            same_file "$work/local/source.bin" "$work/root/up/put.bin"
            line="$line $client get $g put $p"
            [ "$client" = tessel ] && line="$line mirror-get $mg mirror-put $mp"
            line="$line;"
        done
        echo "$line"
    done
    stop_server
    local a b c d e f
    a=$(echo "$cli_get" | median)
    b=$(echo "$curl_get" | median)
    c=$(echo "$cli_put" | median)
    d=$(echo "$curl_put" | median)
    e=$(echo "$mirror_get" | median)
    f=$(echo "$mirror_put" | median)
    awk -v n="$name" -v a="$a" -v b="$b" -v c="$c" -v d="$d" -v e="$e" -v f="$f" 'BEGIN {
        printf "%s download: tessel-cli %.1f MB/s, curl %.1f MB/s, ratio %.2f\n", n, a, b, a / b
        printf "%s upload:   tessel-cli %.1f MB/s, curl %.1f MB/s, ratio %.2f\n", n, c, d, c / d
        printf "%s mirror-get: tessel-cli %.1f MB/s, curl %.1f MB/s, ratio %.2f\n", n, e, b, e / b
        printf "%s mirror-put: tessel-cli %.1f MB/s, curl %.1f MB/s, ratio %.2f\n", n, f, d, f / d
    }'
}

case "$servers" in
pyftpdlib) run_server pyftpdlib ;;
vsftpd)
    [ -n "$(find_vsftpd)" ] || { echo "transfer.sh: vsftpd is not installed" >&2; exit 1; }
    run_server vsftpd
    ;;
all)
    run_server pyftpdlib
    if [ -n "$(find_vsftpd)" ]; then run_server vsftpd; else echo "(vsftpd is not installed: skipped)"; fi
    ;;
*) echo "transfer.sh: unknown server $servers" >&2; exit 1 ;;
esac
