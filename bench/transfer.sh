#!/usr/bin/env bash
# Download and upload speed of tessel-cli (get and put, and the transfer jobs
# behind mirror-get and mirror-put) against curl, over loopback, in one run.
# Every leg is a pair: tessel-cli and curl move the same file through the same
# server right after each other, taking turns at going first. Each round runs
# every leg once; the medians of the rounds are compared. Not a test: it
# prints figures, and a summary table at the end (one line per server and leg).
#
# usage: bench/transfer.sh [--size MIB] [--rounds N] [--server S] [--legs LIST] [--tls]
#   --size MIB    size of the file moved (default 1024)
#   --rounds N    rounds per server (default 7)
#   --server S    pyftpdlib, vsftpd or all (default all: vsftpd where installed)
#   --legs LIST   comma-separated among get,put,mirror-get,mirror-put (default all)
#   --tls         FTP over TLS against vsftpd (ssl_enable, require_ssl_reuse, a
#                 certificate made for the run): tessel-cli with ftpes:// against
#                 curl --ssl-reqd; implies --server vsftpd
# TESSEL_RELEASE_DIR chooses the Release build folder (default build/release);
# VSFTPD names the vsftpd program (default: the one on PATH or in /usr/sbin).
#
# In the table, "ratio" is the median of the per-round ratios tessel/curl and
# "spread" their lowest and highest; MB/s are 10^6 bytes a second, medians.
set -euo pipefail

size_mib=1024
rounds=7
servers=all
legs=get,put,mirror-get,mirror-put
tls=
while [ $# -gt 0 ]; do
    case "$1" in
    --tls) tls=1; servers=vsftpd; shift ;;
    --size) size_mib=${2:?--size needs MiB}; shift 2 ;;
    --rounds) rounds=${2:?--rounds needs a count}; shift 2 ;;
    --server) servers=${2:?--server needs a name}; shift 2 ;;
    --legs) legs=${2:?--legs needs a list}; shift 2 ;;
    -h | --help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "transfer.sh: unknown argument $1" >&2; exit 1 ;;
    esac
done
case "$size_mib$rounds" in *[!0-9]*) echo "transfer.sh: --size and --rounds take whole numbers" >&2; exit 1 ;; esac
[ "$size_mib" -ge 1 ] && [ "$rounds" -ge 1 ] || { echo "transfer.sh: --size and --rounds must be at least 1" >&2; exit 1; }
legs=${legs//,/ }
for leg in $legs; do
    case "$leg" in get | put | mirror-get | mirror-put) ;; *) echo "transfer.sh: unknown leg $leg" >&2; exit 1 ;; esac
done

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

# The file, the server's folder and the copies: in memory when there is room,
# so no disk takes part.
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
        --parent $$ >"$work/port" 2>/dev/null &
    server_pid=$!
    for _ in $(seq 100); do
        port=$(head -n1 "$work/port")
        [ -n "$port" ] && return 0
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "transfer.sh: pyftpdlib did not start" >&2
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

# vsftpd as an anonymous server on a free loopback port, standalone and in the
# foreground so it is stopped by its PID; uploads go to up/. Anonymous logon
# needs no PAM. Started by root it locks the sessions into the bench folder and
# runs them as user ftp; started by anyone else it stays a plain process of
# theirs (it cannot change root then), serving their files.
start_vsftpd() {
    local program
    program=$(find_vsftpd)
    port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    mkdir -p "$work/empty"
    # The user the sessions run as must reach the files.
    chmod 755 "$work" "$work/local" "$work/empty"
    # vsftpd refuses a writable anonymous root; uploads go to a folder below it.
    chmod 555 "$work/root"
    chmod 777 "$work/root/up"
    local identity=run_as_launching_user=YES
    if [ "$(id -u)" = 0 ]; then
        # The session needs a user with an existing home; Debian's package makes "ftp".
        if ! id ftp >/dev/null 2>&1; then
            echo "transfer.sh: vsftpd started by root serves as user ftp, and there is none" >&2
            return 1
        fi
        identity="run_as_launching_user=NO
ftp_username=ftp"
    fi
    cat >"$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
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
$identity
seccomp_sandbox=NO
pasv_enable=YES
pasv_address=127.0.0.1
xferlog_enable=NO
vsftpd_log_file=$work/server.log
CONF
    if [ -n "$tls" ]; then
        # A certificate of this run; tessel-cli trusts it by its fingerprint, curl with -k.
        openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=127.0.0.1 \
            -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
        fingerprint=$(openssl x509 -in "$work/cert.pem" -noout -fingerprint -sha256 | cut -d= -f2)
        cat >>"$work/vsftpd.conf" <<CONF
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
ssl_ciphers=HIGH
rsa_cert_file=$work/cert.pem
rsa_private_key_file=$work/key.pem
CONF
    fi
    "$program" "$work/vsftpd.conf" >"$work/server.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 100); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            # Listening is not enough: a session that cannot start shows only at logon.
            curl -sS ${tls:+--ssl-reqd -k} --max-time 10 --head -o /dev/null "ftp://127.0.0.1:$port/big.bin" 2>"$work/client.err" && return 0
            echo "transfer.sh: vsftpd does not serve:" >&2
            cat "$work/client.err" "$work/server.log" >&2
            return 1
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

# Moves the file once for a leg with one client; prints MB/s and checks the copy.
run_leg() {
    local leg=$1 client=$2 url=$3 speed turl=$3
    local -a topt=() copt=()
    if [ -n "$tls" ]; then
        turl=ftpes://${url#ftp://}
        topt=(--trust-fingerprint "$fingerprint")
        copt=(--ssl-reqd -k)
    fi
    rm -rf "$work/local/got.bin" "$work/local/mirror" "$work/root/up/"*
    case "$client $leg" in
    "tessel get") speed=$(timed "$cli" get "${topt[@]}" "$turl/big.bin" "$work/local/got.bin") ;;
    "tessel put") speed=$(timed "$cli" put "${topt[@]}" "$work/local/source.bin" "$turl/up/source.bin") ;;
    # The transfer jobs: a download into a folder, an upload into one.
    "tessel mirror-get") speed=$(timed "$cli" mirror-get "${topt[@]}" --overwrite "$turl/big.bin" "$work/local/mirror") ;;
    "tessel mirror-put") speed=$(timed "$cli" mirror-put "${topt[@]}" --overwrite "$work/local/source.bin" "$turl/up/") ;;
    "curl get" | "curl mirror-get") speed=$(timed curl -sS "${copt[@]}" --fail -o "$work/local/got.bin" "$url/big.bin") ;;
    "curl put" | "curl mirror-put") speed=$(timed curl -sS "${copt[@]}" --fail -T "$work/local/source.bin" "$url/up/source.bin") ;;
    esac
    case "$leg" in
    get) same_file "$work/root/big.bin" "$work/local/got.bin" ;;
    mirror-get) same_file "$work/root/big.bin" "$work/local/$([ "$client" = tessel ] && echo mirror/big.bin || echo got.bin)" ;;
    *) same_file "$work/local/source.bin" "$work/root/up/source.bin" ;;
    esac
    echo "$speed"
}

# Median, lowest and highest of the numbers on stdin (one a line).
stats() {
    sort -g | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m, v[1], v[NR] }'
}

# What else used the processors while the figures were taken.
show_load() {
    echo "-- $1: load $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors; busiest others:"
    top -b -n 2 -d 0.5 -o %CPU 2>/dev/null |
        awk '/^top -/ { n++ } n == 2 && $1 ~ /^[0-9]+$/ && $9 + 0 >= 5 { printf "   %5.1f%% %s\n", $9, $12 }' | head -5
}

summary="$work/summary"
: >"$summary"

run_server() {
    local name=$1 url login round leg client first second t c
    "start_$name" || return 1
    if [ "$name" = vsftpd ]; then login=; else login="$user:$password@"; fi
    url="ftp://${login}127.0.0.1:$port"
    echo "== $name${tls:+ over TLS}, $size_mib MiB in $base, $rounds rounds (MB/s, tessel/curl)"
    for round in $(seq "$rounds"); do
        local line="round $round:"
        for leg in $legs; do
            first=tessel second=curl
            [ $((round % 2)) = 0 ] && first=curl second=tessel
            for client in $first $second; do
                local speed
                speed=$(run_leg "$leg" "$client" "$url")
                echo "$speed" >>"$work/$name.$leg.$client"
                if [ "$client" = tessel ]; then t=$speed; else c=$speed; fi
            done
            awk -v t="$t" -v c="$c" 'BEGIN { printf "%.3f\n", t / c }' >>"$work/$name.$leg.ratio"
            line="$line $leg $t/$c"
        done
        echo "$line"
    done
    stop_server
    for leg in $legs; do
        read -r t _ _ < <(stats <"$work/$name.$leg.tessel")
        read -r c _ _ < <(stats <"$work/$name.$leg.curl")
        read -r ratio low high < <(stats <"$work/$name.$leg.ratio")
        printf "%-10s %-11s %8.1f %8.1f %6.2f %6.2f-%.2f\n" "$name" "$leg" "$t" "$c" "$ratio" "$low" "$high" >>"$summary"
    done
}

show_load "before"
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
show_load "after"
echo
echo "$size_mib MiB, $rounds rounds; MB/s are medians; ratio = median of tessel/curl per round, spread = its range"
printf "%-10s %-11s %8s %8s %6s %s\n" server leg tessel curl ratio spread
cat "$summary"
