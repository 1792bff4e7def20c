#!/usr/bin/env python3
"""Generates the benchmark's ~200 MB of mixed files (deterministic).

  many small text files, a few large binaries (structured, compressible),
  some incompressible data; writes DIR/files/... and DIR/files.lst.
"""
import os, random, sys

root = sys.argv[1]
files = os.path.join(root, "files")
os.makedirs(files, exist_ok=True)
rng = random.Random(45)
words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10))) for _ in range(5000)]
listing = []

def add(rel, data):
    path = os.path.join(files, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    listing.append(f"files/{rel}\tdate=2024-01-01 00:00:00")

# 12000 text files of 1 to 9 KB (about 60 MB).
for i in range(12000):
    n = rng.randint(1000, 9000)
    text = []
    size = 0
    while size < n:
        line = " ".join(rng.choices(words, k=rng.randint(4, 14))) + "\n"
        text.append(line)
        size += len(line)
    add(f"docs/d{i // 500}/file{i}.txt", "".join(text).encode())

# 4 binaries of 20 MB: records with counters, small integers and repeats.
for b in range(4):
    parts = []
    for r in range(20 * 1024 * 1024 // 64):
        base = (r * 2654435761 + b) & 0xFFFFFFFF
        parts.append(base.to_bytes(4, "little") + bytes([(r >> s) & 0xFF for s in range(0, 24, 8)]) * 4 +
                     rng.choice(words).encode().ljust(16, b"\0") + bytes(32))
    add(f"bin/app{b}.dll", b"".join(parts)[: 20 * 1024 * 1024])

# 60 MB incompressible in 6 files.
for r in range(6):
    add(f"media/blob{r}.bin", rng.randbytes(10 * 1024 * 1024))

with open(os.path.join(root, "files.lst"), "w") as f:
    f.write("\n".join(listing) + "\n")
