#!/usr/bin/env python3
"""Reads an mbox export of quillbox-cli with Python's own mailbox module.

    check_mbox.py QUILLBOX_CLI MAILBOX.dbx [WORK_FOLDER]

Exports every email of the mailbox with `--format mbox`, opens the file with
mailbox.mbox (a reader that knows nothing of ours), and checks that it finds one
message per listed email, in list order, each with the sender and the date of its
separator line and, after mboxrd's one '>' is taken off, exactly the stored text
(`show ROW --raw`) with LF line ends and a final line break. Prints what it read;
exits 1 on any difference.
"""
import email.header
import json
import mailbox
import os
import re
import subprocess
import sys
import tempfile

UNQUOTE = re.compile(rb"^>(>*From )", re.MULTILINE)


def run(cli, *args):
    return subprocess.run([cli, *args], check=True, capture_output=True).stdout


def expected_text(raw):
    text = raw.replace(b"\r\n", b"\n")
    return text if text.endswith(b"\n") else text + b"\n"


def decoded(value):
    if value is None:
        return ""
    return str(email.header.make_header(email.header.decode_header(value)))


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    cli, dbx = sys.argv[1], sys.argv[2]
    work = sys.argv[3] if len(sys.argv) > 3 else tempfile.mkdtemp(prefix="quillbox-mbox-")
    os.makedirs(work, exist_ok=True)
    path = os.path.join(work, "export.mbox")

    listing = json.loads(run(cli, "list", dbx, "--json"))
    run(cli, "export", dbx, path, "--format", "mbox")

    box = mailbox.mbox(path, create=False)
    keys = list(box.keys())
    rows = listing["emails"]
    failures = 0
    print(f"{path}: {len(keys)} messages read by Python's mailbox module "
          f"({len(rows)} emails listed)")
    if len(keys) != len(rows):
        failures += 1
    for row, key in zip(rows, keys):
        message = box.get_message(key)
        sender = message.get_from()
        text = UNQUOTE.sub(rb"\1", box.get_bytes(key))
        raw = run(cli, "show", dbx, str(row["row"]), "--raw")
        same = text == expected_text(raw)
        address = row.get("sender_address") or "MAILER-DAEMON"
        sender_ok = sender.split(" ", 1)[0] == address.replace(" ", "")
        if not same or not sender_ok:
            failures += 1
        body = (f"{len(message.get_payload())} parts" if message.is_multipart()
                else f"{len(message.get_payload(decode=True) or b'')} body bytes")
        print(f"  {row['row']:3}  {'ok  ' if same and sender_ok else 'DIFF'}  "
              f"From {sender}  |  {' '.join(decoded(message['Subject']).split())}  |  {body}")
    box.close()
    if failures:
        print(f"{failures} difference(s)", file=sys.stderr)
        return 1
    print("every message reads back byte for byte")
    return 0


if __name__ == "__main__":
    sys.exit(main())
