#!/usr/bin/python3
"""Reads a FRU image with two parsers nobody here wrote and prints what they
see, one item a line, so the command-line tests can compare it with quellet.

  pyipmi board.<field> <hex>     pyipmi product.<field> <hex>
  pyipmi mrec <type> <end> <hex>
  ipmifru <label>: <hex>         ipmifru error|recerror <line>
"""
import subprocess
import sys

import pyipmi.fru as fru

BOARD = ["manufacturer", "product_name", "serial_number", "part_number", "fru_file_id"]
PRODUCT = ["manufacturer", "name", "part_number", "version", "serial_number", "asset_tag"]


def field_bytes(f):
    # Type bits 00 come back as bytes; others as text.
    v = f.value
    if isinstance(v, str):
        v = v.encode("latin-1")
    return bytes(v).hex()


def main(path):
    inv = fru.get_fru_inventory_from_file(path)
    for name in BOARD:
        print("pyipmi board.%s %s" % (name, field_bytes(getattr(inv.board_info_area, name))))
    for name in PRODUCT:
        print("pyipmi product.%s %s" % (name, field_bytes(getattr(inv.product_info_area, name))))
    for r in inv.multirecord_area.records:
        print("pyipmi mrec %02x %d %s" % (r.record_type_id, 1 if r.end_of_list else 0,
                                          bytes(r.raw).hex()))
    out = subprocess.run(["ipmi-fru", "--fru-file=" + path], capture_output=True, text=True)
    in_product = False
    for line in (out.stdout + out.stderr).splitlines():
        line = line.strip()
        in_product = in_product or line.startswith("FRU Product")
        if in_product and line.startswith("FRU FRU File ID"):
            line = "FRU Product" + line[3:]  # both areas end with a file id
        if "FRU Error" in line:
            # Behind the product area only records are left.
            print("ipmifru %s %s" % ("recerror" if in_product else "error", line))
        elif line.startswith("FRU Board") or line.startswith("FRU Product") or \
                line.startswith("FRU FRU File ID"):
            label, _, value = line.partition(": ")
            hexed = "".join(b[:-1].lower() for b in value.split() if b.endswith("h"))
            print("ipmifru %s: %s" % (label, hexed if hexed else value.encode().hex()))


if __name__ == "__main__":
    main(sys.argv[1])
