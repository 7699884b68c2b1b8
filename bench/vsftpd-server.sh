# Sourced by bench/tree.sh after bench-server.sh when SERVER=vsftpd: an
# anonymous vsftpd on a free loopback port serving $work/root, where uploads
# and new folders go below up/ (vsftpd refuses a writable anonymous root).
# Started by root its sessions run as user ftp; it is stopped by its PID.
# With TLS=1 it speaks only FTP over TLS (require_ssl_reuse, a certificate
# made for the run) and url is ftpes://.
# Sets: port, url, upbase, login, fingerprint (with TLS=1).
vsftpd_program=${VSFTPD:-$(command -v vsftpd || echo /usr/sbin/vsftpd)}
[ -x "$vsftpd_program" ] || { echo "vsftpd is not installed" >&2; exit 1; }
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/empty" "$work/root/up"
chmod 755 "$work" "$work/empty"
chmod 555 "$work/root"
chmod 777 "$work/root/up"
identity=run_as_launching_user=YES
if [ "$(id -u)" = 0 ]; then
    identity="run_as_launching_user=NO
ftp_username=ftp"
fi
cat > "$work/vsftpd.conf" <<CONF
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
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_umask=022
secure_chroot_dir=$work/empty
$identity
seccomp_sandbox=NO
pasv_enable=YES
pasv_address=127.0.0.1
xferlog_enable=NO
CONF
if [ "${TLS:-}" = 1 ]; then
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=127.0.0.1 \
        -keyout "$work/key.pem" -out "$work/cert.pem" 2> /dev/null
    fingerprint=$(openssl x509 -in "$work/cert.pem" -noout -fingerprint -sha256 | cut -d= -f2)
    cat >> "$work/vsftpd.conf" <<CONF
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
"$vsftpd_program" "$work/vsftpd.conf" > "$work/vsftpd.log" 2>&1 &
vsftpd_pid=$!
stop_vsftpd() { kill "$vsftpd_pid" 2>/dev/null || true; wait "$vsftpd_pid" 2>/dev/null || true; chmod 755 "$work/root"; }
trap 'stop_vsftpd; cleanup' EXIT
for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done
url="ftp://anonymous:x@127.0.0.1:$port"
[ "${TLS:-}" = 1 ] && url="ftpes://anonymous:x@127.0.0.1:$port"
upbase=up/
login=anonymous,x
