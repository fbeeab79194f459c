#!/usr/bin/env python3
"""Writes the deterministic benchmark corpus for the codec comparison.

    make_corpus.py DIR [MEGABYTES]

DIR/text.dat: prose-like text (Zipf-distributed vocabulary, sentences,
lines of about 72 columns, paragraphs). DIR/binary.dat: binary-like data
(fixed-size records with counters, categories, random walks, names and
floats, interleaved with stretches of noise). The same bytes on every run
and every machine: the generator carries its own random number generator.
"""
import bisect
import os
import struct
import sys


class Lcg:
    def __init__(self, seed):
        self.s = seed & 0xFFFFFFFFFFFFFFFF

    def next(self):
        self.s = (self.s * 6364136223846793005 + 1442695040888963407) & 0xFFFFFFFFFFFFFFFF
        return self.s >> 33  # 31 bits

    def below(self, n):
        return self.next() % n


SYLLABLES = ("ba be bi bo ca ce co da de di do el en er es fa fe fi ga ge "
             "ha he in is it ka la le li lo ma me mi mo na ne no on or pa pe "
             "po qu ra re ri ro sa se si so ta te ti to un ur va ve vi za").split()


def text(size, seed=1):
    r = Lcg(seed)
    vocab = []
    seen = set()
    while len(vocab) < 6000:
        w = "".join(SYLLABLES[r.below(len(SYLLABLES))] for _ in range(1 + r.below(4)))
        if w not in seen:
            seen.add(w)
            vocab.append(w)
    cumulative = []
    total = 0.0
    for rank in range(len(vocab)):
        total += 1.0 / (rank + 1) ** 1.05
        cumulative.append(total)
    out = []
    length = 0
    line = 0
    words_left = 0
    while length < size:
        if words_left == 0:
            words_left = 4 + r.below(18)
            capital = True
        u = r.next() / 2147483648.0 * total
        w = vocab[min(bisect.bisect_left(cumulative, u), len(vocab) - 1)]
        if capital:
            w = w.capitalize()
            capital = False
        words_left -= 1
        if words_left == 0:
            w += "." if r.below(8) else ("?" if r.below(2) else "!")
        elif r.below(12) == 0:
            w += ","
        if line + len(w) + 1 > 72:
            out.append("\n")
            length += 1
            line = 0
            if words_left == 0 and r.below(5) == 0:
                out.append("\n")
                length += 1
        elif line:
            out.append(" ")
            length += 1
            line += 1
        out.append(w)
        length += len(w)
        line += len(w)
    return "".join(out).encode("ascii")[:size]


def binary(size, seed=2):
    r = Lcg(seed)
    names = [bytes(97 + r.below(26) for _ in range(8)) for _ in range(40)]
    prices = [r.below(100000) / 100.0 for _ in range(64)]
    out = bytearray()
    ident = 100000
    amount = 0
    pack = struct.Struct("<IHhi8sfI").pack
    while len(out) < size:
        if r.below(64) == 0:  # a stretch of noise: compressed or packed content
            n = 256 + r.below(4096)
            out += b"".join(struct.pack("<I", r.next() ^ (r.next() << 1)) for _ in range(n // 4))
            continue
        for _ in range(1 + r.below(200)):
            ident += 1 + (r.below(16) == 0)
            amount += r.below(201) - 100
            out += pack(ident, r.below(20), r.below(7) - 3, amount, names[r.below(len(names))],
                        prices[r.below(len(prices))], 0 if r.below(4) else r.next())
    return bytes(out[:size])


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: make_corpus.py DIR [MEGABYTES]")
    directory = sys.argv[1]
    size = int(sys.argv[2] if len(sys.argv) > 2 else 32) * 1000 * 1000
    os.makedirs(directory, exist_ok=True)
    for name, make in (("text.dat", text), ("binary.dat", binary)):
        path = os.path.join(directory, name)
        if os.path.exists(path) and os.path.getsize(path) == size:
            continue
        data = make(size)
        with open(path + ".tmp", "wb") as f:
            f.write(data)
        os.replace(path + ".tmp", path)


if __name__ == "__main__":
    main()
