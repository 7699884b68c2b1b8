#!/usr/bin/env bash
# mirror-get and mirror-put of one large file against curl, same server, same run.
# Usage: bench/mirror.sh [SIZE_MIB] (default 1024); REPS (default 2) runs each, best kept.
# TESSEL_BUILD names the build folder (default build/release).
source "$(dirname "$0")/bench-server.sh"
size_mib=${1:-1024}
reps=${REPS:-2}

head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$work/root/big.bin"
mkdir -p "$work/root/put-tessel" "$work/root/put-curl" "$work/get-tessel"

best_tessel_get= best_curl_get= best_tessel_put= best_curl_put=
for _ in $(seq "$reps"); do
    rm -f "$work/get-tessel/big.bin" "$work/get-curl.bin"
    t=$(seconds "$cli" mirror-get "$url/big.bin" "$work/get-tessel"); best_tessel_get=$(least "$t" "$best_tessel_get")
    cmp -s "$work/root/big.bin" "$work/get-tessel/big.bin" || { echo "tessel download differs" >&2; exit 1; }
    t=$(seconds curl -sS -o "$work/get-curl.bin" "$url/big.bin"); best_curl_get=$(least "$t" "$best_curl_get")
    rm -f "$work/get-curl.bin"

    rm -f "$work/root/put-tessel/big.bin" "$work/root/put-curl/big.bin"
    t=$(seconds "$cli" mirror-put "$work/get-tessel/big.bin" "$url/put-tessel/"); best_tessel_put=$(least "$t" "$best_tessel_put")
    cmp -s "$work/root/big.bin" "$work/root/put-tessel/big.bin" || { echo "tessel upload differs" >&2; exit 1; }
    t=$(seconds curl -sS -T "$work/get-tessel/big.bin" "$url/put-curl/big.bin"); best_curl_put=$(least "$t" "$best_curl_put")
done

report() {
    awk -v what="$1" -v mib="$size_mib" -v t="$2" -v c="$3" 'BEGIN {
        printf "%-10s %5d MiB  tessel %7.3f s (%7.1f MiB/s)  curl %7.3f s (%7.1f MiB/s)  tessel/curl time %.2f\n",
               what, mib, t, mib / t, c, mib / c, t / c }'
}
report mirror-get "$best_tessel_get" "$best_curl_get"
report mirror-put "$best_tessel_put" "$best_curl_put"
