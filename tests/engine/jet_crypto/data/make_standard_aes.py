#!/usr/bin/env python3
"""Writes standard_aes.bin: an ECMA-376 standard-encrypted (AES-128, SHA-1, 50,000 spins) page 0,
one page encrypted under it, and that page in clear, 3 x 4096 bytes.

No database in the corpus uses this scheme, so this fixture is made by an implementation apart
from the engine's: Python's hashlib for the key derivation and the openssl command for AES.
The password is "Qv-\u00c4\u00f6\u20ac\U0001d11e" followed by 290 'x' (298 UTF-16 code units, of which
Access keeps the first 255); the encoding key is 11 22 33 44.
Run: python3 make_standard_aes.py  (needs the openssl command)
"""
import hashlib
import struct
import subprocess

PAGE = 4096
PASSWORD = ("Qv-\u00c4\u00f6\u20ac\U0001d11e" + "x" * 290).encode("utf-16-le")[:510]
SALT = bytes(range(0x40, 0x50))
VERIFIER = bytes(range(0xa0, 0xb0))
ENCODING_KEY = bytes([0x11, 0x22, 0x33, 0x44])


def rc4(key, data):
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 0xFF
        s[i], s[j] = s[j], s[i]
    i = j = 0
    out = bytearray()
    for b in data:
        i = (i + 1) & 0xFF
        j = (j + s[i]) & 0xFF
        s[i], s[j] = s[j], s[i]
        out.append(b ^ s[(s[i] + s[j]) & 0xFF])
    return bytes(out)


def aes_ecb_encrypt(key, data):
    return subprocess.run(["openssl", "enc", "-aes-%d-ecb" % (len(key) * 8), "-nopad", "-K", key.hex()],
                          input=data, capture_output=True, check=True).stdout


def sha1(*parts):
    h = hashlib.sha1()
    for p in parts:
        h.update(p)
    return h.digest()


# The key derivation of ECMA-376 standard encryption, for one block key.
h = sha1(SALT, PASSWORD)
for i in range(50000):
    h = sha1(struct.pack("<I", i), h)
ITERATED = h


def derive(block, key_bytes=16):
    final = sha1(ITERATED, block)
    x1 = sha1(bytes(b ^ 0x36 for b in final.ljust(64, b"\0")))
    x2 = sha1(bytes(b ^ 0x5C for b in final.ljust(64, b"\0")))
    return (x1 + x2)[:key_bytes]


page0 = bytearray(PAGE)
page0[0:4] = bytes([0x00, 0x01, 0x00, 0x00])
page0[4:19] = b"Standard ACE DB"
page0[0x14] = 0x03
clear_header = bytearray(128)
clear_header[0x3E - 0x18:0x42 - 0x18] = ENCODING_KEY
page0[0x18:0x18 + 128] = rc4(bytes([0xC7, 0xDA, 0x39, 0x6B]), bytes(clear_header))

csp = "Microsoft Enhanced RSA and AES Cryptographic Provider\0".encode("utf-16-le")
flags = 0x04 | 0x20
header = struct.pack("<8I", flags, 0, 0x660E, 0x8004, 128, 0x18, 0, 0) + csp
key0 = derive(struct.pack("<I", 0))
verifier_hash = sha1(VERIFIER).ljust(32, b"\0")
verifier = (struct.pack("<I", 16) + SALT + aes_ecb_encrypt(key0, VERIFIER) + struct.pack("<I", 20)
            + aes_ecb_encrypt(key0, verifier_hash))
structure = struct.pack("<HHII", 4, 2, flags, len(header)) + header + verifier
page0[0x299:0x29B] = struct.pack("<H", len(structure))
page0[0x29B:0x29B + len(structure)] = structure

# A data page with a recognisable pattern.
plain = bytearray((i * 7 + 3) & 0xFF for i in range(PAGE))
plain[0:2] = bytes([0x01, 0x01])
block1 = bytes(a ^ b for a, b in zip(ENCODING_KEY, struct.pack("<I", 1)))
encrypted = aes_ecb_encrypt(derive(block1), bytes(plain))

with open("standard_aes.bin", "wb") as f:
    f.write(bytes(page0) + encrypted + bytes(plain))
