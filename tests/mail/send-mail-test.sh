#!/bin/bash
# calverdon-cli mail along real mail paths.
#   send-mail-test.sh CLI smtp   a chain sent through msmtp to a local SMTP
#                                server (aiosmtpd on 127.0.0.1, a free port),
#                                which writes an mbox; extract on that mbox
#                                gives the file back byte for byte
#   send-mail-test.sh CLI eml    .eml files read by Python's email package:
#                                subject, attachment name, charset and bytes
#                                against the parts that encode writes
#   send-mail-test.sh CLI size   a 30 MB file under --mail-size 10: nine
#                                mails, each under 10 000 000 bytes on the wire
set -u
cli=$1
mode=$2
# Debian's Python, which has the aiosmtpd package.
python=/usr/bin/python3
work=$(mktemp -d)
server=
cleanup() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null
        wait "$server" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}
cd "$work" || exit 1

# Random bytes from a fixed seed.
make_file() {
    "$python" -c 'import random, sys; random.seed(5); sys.stdout.buffer.write(random.randbytes(int(sys.argv[2])))' \
        x "$2" >"$1"
}

smtp() {
    # The server binds a free port on 127.0.0.1 itself and names it in a
    # file; it stops by itself after two minutes at the latest.
    cat >server.py <<'EOF'
import asyncio, os, sys
from aiosmtpd.handlers import Mailbox
from aiosmtpd.smtp import SMTP

async def main():
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(Mailbox(sys.argv[1])), "127.0.0.1", 0)
    with open(sys.argv[2] + ".tmp", "w") as f:
        f.write(str(server.sockets[0].getsockname()[1]))
    os.rename(sys.argv[2] + ".tmp", sys.argv[2])
    try:
        await asyncio.wait_for(server.serve_forever(), 120)
    except asyncio.TimeoutError:
        pass

asyncio.run(main())
EOF
    "$python" server.py "$work/received.mbox" "$work/port" &
    server=$!
    for _ in $(seq 100); do
        [ -e port ] && break
        sleep 0.1
    done
    [ -e port ] || fail "the SMTP server did not start"
    cat >msmtprc <<EOF
account default
host 127.0.0.1
port $(cat port)
from vertrieb@example.org
auth off
tls off
EOF
    chmod 600 msmtprc
    make_file bericht.pdf 40000
    out=$("$cli" mail --to kunde@example.org --from vertrieb@example.org --kb 10 \
        --sendmail="msmtp -C $work/msmtprc -t -oi" bericht.pdf 2>err)
    [ $? -eq 0 ] || fail "mail: $(cat err)"
    [ "$out" = "bericht.pdf: 9 von 9 Teilen versandt" ] || fail "mail said: $out"
    # Stopped before reading, so that every mail it took is in the mbox.
    kill "$server"
    wait "$server" 2>/dev/null
    server=
    mkdir back
    "$cli" extract -C back received.mbox >out 2>err || fail "extract: $(cat out err)"
    cmp bericht.pdf back/bericht.pdf || fail "the file came back changed"
}

eml() {
    name="Übersicht März.pdf"
    make_file "$name" 3500
    mkdir mails parts
    "$cli" mail --subject "Angebot 4711" --to kunde@example.org --kb 4 -o mails "$name" >out 2>err ||
        fail "mail: $(cat err)"
    "$cli" encode --kb 4 -o "parts/Übersicht März.txt" "$name" >out 2>err || fail "encode: $(cat err)"
    "$python" - <<'EOF' || fail "the mails do not read as they should"
import email, email.policy, os, sys
expected = [("Übersicht März.eml", "Übersicht März.txt", 1), ("Übersicht März_2.eml", "Übersicht März_2.txt", 2)]
if sorted(os.listdir("mails")) != sorted(e for e, _, _ in expected):
    sys.exit("mails: %s" % os.listdir("mails"))
for eml, part, number in expected:
    with open(os.path.join("mails", eml), "rb") as f:
        message = email.message_from_binary_file(f, policy=email.policy.default)
    subject = "Angebot 4711: Übersicht März.pdf – Teil %d von 2" % number
    if message["Subject"] != subject:
        sys.exit("%s: subject %r" % (eml, message["Subject"]))
    if message["X-Calverdon-Teil"] != "%d/2" % number:
        sys.exit("%s: X-Calverdon-Teil %r" % (eml, message["X-Calverdon-Teil"]))
    attachments = list(message.iter_attachments())
    if len(attachments) != 1:
        sys.exit("%s: %d attachments" % (eml, len(attachments)))
    attachment = attachments[0]
    if attachment.get_filename() != part or attachment.get_content_charset() != "windows-1252":
        sys.exit("%s: %r in %r" % (eml, attachment.get_filename(), attachment.get_content_charset()))
    with open(os.path.join("parts", part), "rb") as f:
        if attachment.get_payload(decode=True) != f.read():
            sys.exit("%s: the attachment is not the part" % eml)
EOF
}

size() {
    make_file big.bin 30000000
    mkdir mails
    "$cli" mail --mail-size 10 -o mails big.bin >out 2>err || fail "mail: $(cat err)"
    # 30 MB give 62 MB of hex text with its line ends, 85 MB in base64 with
    # CR LF: nine mails of just under 10 MB each.
    "$python" - <<'EOF' || fail "the mails are not as large as they should be"
import os, sys
names = sorted(os.listdir("mails"))
if len(names) != 9:
    sys.exit("%d mails: %s" % (len(names), names))
for name in names:
    with open(os.path.join("mails", name), "rb") as f:
        data = f.read()
    wire = len(data) + data.count(b"\n") - data.count(b"\r\n")
    if wire >= 10000000:
        sys.exit("%s: %d bytes on the wire" % (name, wire))
EOF
}

case $mode in
    smtp) smtp ;;
    eml) eml ;;
    size) size ;;
    *) fail "unknown mode $mode" ;;
esac
echo "passed: $mode"
