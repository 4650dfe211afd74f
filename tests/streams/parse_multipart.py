#!/usr/bin/env python3
"""Parses a multipart/form-data message with Python's standard email parser.

Used by tests/streams/multipart_form_data_writer_test.cpp to check the bodies
that TMultipartFormDataWriter writes against an independent parser.

Usage: parse_multipart.py MESSAGE_FILE
MESSAGE_FILE holds a "Content-Type: multipart/form-data; boundary=..." header,
an empty line and the body. Prints, one line each:
    message <content type> parts=<n> defects=<defect class names>
    part name=<name> filename=<file name or -> type=<Content-Type header or -> defects=<...>
    content <content as lower-case hex, or - when empty>
"""
import email
import email.policy
import sys


def defects(message):
    return ",".join(type(d).__name__ for d in message.defects) or "none"


def main():
    with open(sys.argv[1], "rb") as f:
        # message_from_bytes, not message_from_binary_file: the latter reads
        # through a text wrapper that turns CR LF and lone CR into LF.
        message = email.message_from_bytes(f.read(), policy=email.policy.compat32)
    parts = message.get_payload() if message.is_multipart() else []
    print(f"message {message.get_content_type()} parts={len(parts)} defects={defects(message)}")
    for part in parts:
        name = part.get_param("name", header="content-disposition")
        filename = part.get_filename()
        content_type = part.get("Content-Type")
        print(f"part name={name} filename={filename if filename is not None else '-'} "
              f"type={content_type if content_type is not None else '-'} defects={defects(part)}")
        content = part.get_payload(decode=True) or b""
        print(f"content {content.hex() or '-'}")


if __name__ == "__main__":
    main()
