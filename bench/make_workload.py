#!/usr/bin/env python3
# Benchmark workloads: writes one seeded workload (a source tree and a destination tree) under a folder.
#
#   make_workload.py KIND OUT [--scale N] [--seed S] [--big-mib M]
#
# KIND: flat-1k, flat-10k, flat-100k, flat-100k-again, flat-distinct, merge, tree, big-same, big-diff,
# cross, and the large ones: flat-1m (into 1,000,000 files) and merge-300k (300,000 in 3,000 folders).
# The same seed always writes the same bytes. --scale N divides every file count by N (and the big
# files' size too), for quick runs.
import argparse
import os
import random


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def flat(out, rnd, dest_count, src_count, distinct, first_count=0):
    os.makedirs(out + "/src")
    os.makedirs(out + "/dst")
    for i in range(dest_count):
        write("%s/dst/d%06d.dat" % (out, i), rnd.randbytes(rnd.randint(0, 4096)))
    for i in range(src_count):
        # Distinct: sizes no destination file has (all above 4 KiB, each its own).
        size = 4097 + i if distinct else rnd.randint(0, 4096)
        write("%s/src/s%06d.dat" % (out, i), rnd.randbytes(size))
    # Files moved into the destination before the timed move, as an earlier move of the day was.
    if first_count:
        os.makedirs(out + "/first")
    for i in range(first_count):
        write("%s/first/f%06d.dat" % (out, i), rnd.randbytes(rnd.randint(0, 4096)))


def merge(out, rnd, folders, per_folder):
    # A third of the source files are in the destination under their own name, a third under
    # another name, a third are new; the destination has as many files again of its own.
    for f in range(folders):
        src = "%s/src/f%03d" % (out, f)
        dst = "%s/dst/f%03d" % (out, f)
        os.makedirs(src)
        os.makedirs(dst)
        for i in range(per_folder):
            data = rnd.randbytes(rnd.randint(0, 16384))
            write("%s/s%04d.dat" % (src, i), data)
            if i % 3 == 0:
                write("%s/s%04d.dat" % (dst, i), data)
            elif i % 3 == 1:
                write("%s/other%04d.dat" % (dst, i), data)
            else:
                write("%s/own%04d.dat" % (dst, i), rnd.randbytes(rnd.randint(0, 16384)))


def tree(out, rnd, folders, per_folder):
    # Every source folder has its counterpart; a third of the source files have an identical file
    # under another name in the next folder of the destination (none in their counterpart), the
    # rest are new. The destination holds per_folder files a folder in all.
    for f in range(folders):
        os.makedirs("%s/src/f%03d" % (out, f))
        os.makedirs("%s/dst/f%03d" % (out, f))
    for f in range(folders):
        for i in range(per_folder):
            data = rnd.randbytes(rnd.randint(1, 16384))
            write("%s/src/f%03d/s%04d.dat" % (out, f, i), data)
            if i % 3 == 0:
                write("%s/dst/f%03d/from%03d-%04d.dat" % (out, (f + 1) % folders, f, i), data)
            else:
                write("%s/dst/f%03d/own%04d.dat" % (out, f, i), rnd.randbytes(rnd.randint(1, 16384)))


def big(out, rnd, mib, differ_at_start):
    os.makedirs(out + "/src")
    os.makedirs(out + "/dst")
    block = 1 << 20
    with open(out + "/src/big.img", "wb") as src, open(out + "/dst/big.img", "wb") as dst:
        for i in range(mib):
            data = rnd.randbytes(block)
            src.write(data)
            if i == 0 and differ_at_start:
                data = bytes(4096) + data[4096:]
            dst.write(data)


def cross(out, rnd, files, total_mib):
    os.makedirs(out + "/src/data")
    size = total_mib * (1 << 20) // files
    for i in range(files):
        write("%s/src/data/c%05d.bin" % (out, i), rnd.randbytes(size))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kind")
    parser.add_argument("out")
    parser.add_argument("--scale", type=int, default=1)
    parser.add_argument("--seed", type=int, default=20261210)
    parser.add_argument("--big-mib", type=int, default=2048)
    args = parser.parse_args()
    rnd = random.Random("%s-%d" % (args.kind, args.seed))
    n = lambda count: max(1, count // args.scale)
    kinds = {
        "flat-1k": lambda: flat(args.out, rnd, n(1000), n(5000), False),
        "flat-10k": lambda: flat(args.out, rnd, n(10000), n(5000), False),
        "flat-100k": lambda: flat(args.out, rnd, n(100000), n(5000), False),
        "flat-100k-again": lambda: flat(args.out, rnd, n(100000), n(5000), False, n(5000)),
        "flat-distinct": lambda: flat(args.out, rnd, n(100000), n(5000), True),
        "merge": lambda: merge(args.out, rnd, n(200), 150),
        "flat-1m": lambda: flat(args.out, rnd, n(1000000), n(5000), False),
        "merge-300k": lambda: merge(args.out, rnd, n(3000), 100),
        "tree": lambda: tree(args.out, rnd, n(200), 150),
        "big-same": lambda: big(args.out, rnd, n(args.big_mib), False),
        "big-diff": lambda: big(args.out, rnd, n(args.big_mib), True),
        "cross": lambda: cross(args.out, rnd, n(10000), n(1024)),
    }
    kinds[args.kind]()


if __name__ == "__main__":
    main()
