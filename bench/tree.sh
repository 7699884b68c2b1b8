#!/usr/bin/env bash
# A tree of 1,000 small files (1-16 KiB) in 20 folders, down and up, against
# lftp mirror with one connection; same server, same run.
# Usage: bench/tree.sh; REPS (default 2) runs each, best kept.
# TESSEL_BUILD names the build folder (default build/release); SERVER=vsftpd
# runs both against an anonymous vsftpd instead of pyftpdlib, and TLS=1 with
# it makes both use FTP over TLS (lftp: ftp:ssl-force, data protected).
source "$(dirname "$0")/bench-server.sh"
upbase= login=bench,bench-secret
if [ "${SERVER:-pyftpdlib}" = vsftpd ]; then
    source "$(dirname "$0")/vsftpd-server.sh"
fi
reps=${REPS:-2}
topt=() lftp_tls=
if [ "${TLS:-}" = 1 ]; then
    [ "${SERVER:-}" = vsftpd ] || { echo "TLS=1 needs SERVER=vsftpd" >&2; exit 1; }
    topt=(--trust-fingerprint "$fingerprint")
    lftp_tls="set ftp:ssl-force yes; set ftp:ssl-protect-data yes; set ssl:verify-certificate no;"
fi
command -v lftp > /dev/null || { echo "lftp is not installed" >&2; exit 1; }

tree=$work/src/tree
RANDOM=42
for folder in $(seq -w 1 20); do
    mkdir -p "$tree/folder $folder"
    for file in $(seq -w 1 50); do
        head -c $((1024 + RANDOM % (15 * 1024 + 1))) /dev/urandom > "$tree/folder $folder/file $file.bin"
    done
done
files=$(find "$tree" -type f | wc -l)
bytes=$(du -sb "$tree" | cut -f1)

lftp_mirror() {
    lftp -u "$login" -p "$port" \
        -e "$lftp_tls set cmd:fail-exit yes; set ftp:passive-mode yes; set net:max-retries 1; mirror $*; quit" 127.0.0.1
}

best_tessel_put= best_lftp_put= best_tessel_get= best_lftp_get=
for _ in $(seq "$reps"); do
    rm -rf "$work/root/${upbase}up-tessel" "$work/root/${upbase}up-lftp" "$work/get-tessel" "$work/get-lftp"
    t=$(seconds "$cli" mirror-put "${topt[@]}" "$tree" "$url/${upbase}up-tessel/"); best_tessel_put=$(least "$t" "$best_tessel_put")
    diff -r "$tree" "$work/root/${upbase}up-tessel/tree" > /dev/null || { echo "tessel upload differs" >&2; exit 1; }
    t=$(seconds lftp_mirror --reverse --parallel=1 "'$tree'" "/${upbase}up-lftp/tree"); best_lftp_put=$(least "$t" "$best_lftp_put")
    diff -r "$tree" "$work/root/${upbase}up-lftp/tree" > /dev/null || { echo "lftp upload differs" >&2; exit 1; }

    t=$(seconds "$cli" mirror-get "${topt[@]}" "$url/${upbase}up-tessel/tree" "$work/get-tessel"); best_tessel_get=$(least "$t" "$best_tessel_get")
    diff -r "$tree" "$work/get-tessel/tree" > /dev/null || { echo "tessel download differs" >&2; exit 1; }
    t=$(seconds lftp_mirror --parallel=1 "/${upbase}up-tessel/tree" "'$work/get-lftp/tree'"); best_lftp_get=$(least "$t" "$best_lftp_get")
    diff -r "$tree" "$work/get-lftp/tree" > /dev/null || { echo "lftp download differs" >&2; exit 1; }
done

report() {
    awk -v what="$1" -v n="$files" -v b="$bytes" -v t="$2" -v l="$3" 'BEGIN {
        printf "%-10s %d files, %.1f MiB  tessel %6.3f s (%6.0f files/s)  lftp %6.3f s (%6.0f files/s)  tessel/lftp time %.2f\n",
               what, n, b / 1048576, t, n / t, l, n / l, t / l }'
}
report tree-up "$best_tessel_put" "$best_lftp_put"
report tree-down "$best_tessel_get" "$best_lftp_get"
