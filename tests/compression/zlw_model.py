#!/usr/bin/env python3
"""Independent model of the ZLW block writer, written straight from the
stream rules (byte-at-a-time bit writer, unbounded lookup, gain watch with
x87 extended rounding emulated on exact fractions). It is how the golden
digests of ZLWTest.cpp and the gain-watch answers were checked:

    zlw_model.py INPUT [BLOCK_OUT]

prints the block size, its SHA-256 and what happened in the stream (resets
by the 11-probe rule, resets by the gain watch, dictionary filled)."""
import sys, struct, hashlib
from fractions import Fraction as F

def rnd(x, bits):
    # round a positive/negative Fraction to `bits` significant bits, nearest-even
    if x == 0: return F(0)
    s = -1 if x < 0 else 1
    x = abs(x)
    e = 0
    # find e with 2^(bits-1) <= x*2^-e < 2^bits
    n, d = x.numerator, x.denominator
    e = n.bit_length() - d.bit_length()
    while F(2)**(e) > x: e -= 1
    while F(2)**(e+1) <= x: e += 1
    # x in [2^e, 2^(e+1)); ulp = 2^(e-bits+1)
    ulp = F(2)**(e - bits + 1)
    q = x / ulp
    fl = q.numerator // q.denominator
    r = q - fl
    if r > F(1, 2) or (r == F(1, 2) and fl % 2 == 1): fl += 1
    return s * fl * ulp

X = lambda v: rnd(v, 64)
D = lambda v: rnd(v, 53)
P2 = F(0.2)  # the double literal 0.2, exactly

def gain_check(written, read, best_double):
    gain = X(X(F(1) - X(F(written) / F(read))) * 100)
    best = F(best_double)
    new_double = best_double
    if gain > best:
        best = gain
        new_double = float(D(gain))
    tol = P2 if X(X(F(100) - best) / 100) < P2 else F(0)
    return (best > X(gain + tol)), new_double

def compress(data):
    n = len(data)
    if n <= 19:
        return bytes([0]) + struct.pack('<I', n) + data
    out = bytearray(11)
    st = dict(buf=0, cnt=0, width=9, thr=512, nxt=258, best=0.0, written=0)
    hash_ = [0] * 131072
    pre = [0] * 65536; byt = [0] * 65536
    def reset():
        for i in range(131072): hash_[i] = 0
        st.update(width=9, thr=512, nxt=258, best=0.0)
    def write(code):
        st['buf'] |= code << st['cnt']; st['cnt'] += st['width']
        while st['cnt'] > 7:
            out.append(st['buf'] & 255); st['buf'] >>= 8; st['cnt'] -= 8; st['written'] += 1
    def probes(p, b):
        h = (b * 512 + p * 2 + 1) % 131072; k = 0
        while True:
            yield h
            h = ((h + k + 1019) % 65536) * 2; k += 1
    def lookup(p, b):
        for h in probes(p, b):
            c = hash_[h]
            if c == 0: return 0
            if pre[c] == p and byt[c] == b: return c
    stats = dict(probe_resets=0, gain_resets=0, full=False)
    def insert(p, b, pos):
        if st['nxt'] == 65536:
            stats['full'] = True
            r, st['best'] = gain_check(st['written'], pos, st['best'])
            if r:
                write(0); reset(); stats['gain_resets'] += 1
            return
        for i, h in enumerate(probes(p, b)):
            if i == 11: break
            if hash_[h] == 0:
                hash_[h] = st['nxt']; pre[st['nxt']] = p; byt[st['nxt']] = b
                st['nxt'] += 1
                if st['width'] <= 15 and st['nxt'] > st['thr']:
                    st['width'] += 1; st['thr'] *= 2
                return
        if st['width'] <= 15 and st['nxt'] == st['thr']: st['width'] += 1
        write(0); reset(); stats['probe_resets'] += 1
    pos = 0
    stored = bytes([0]) + struct.pack('<I', n) + data
    while pos < n:
        if len(out) >= n + 3: return stored
        code = data[pos] + 1
        while True:
            pos += 1
            if pos >= n: break
            v = lookup(code, data[pos])
            if v == 0: break
            code = v
        write(code)
        insert(code, data[pos] if pos < n else 15, pos)
    if len(out) >= n + 3: return stored
    write(257)
    if st['cnt'] > 0: out.append(st['buf'] & 255)
    out[0] = 4
    out[1:5] = struct.pack('<I', len(out) - 11)
    out[5:9] = struct.pack('<I', n)
    out[9:11] = b'\0\0'
    compress.stats = stats
    return bytes(out)

if __name__ == '__main__':
    data = open(sys.argv[1], 'rb').read()
    blk = compress(data)
    sys.stdout.write('%d %s %s\n' % (len(blk), hashlib.sha256(blk).hexdigest(), getattr(compress, 'stats', {})))
    if len(sys.argv) > 2: open(sys.argv[2], 'wb').write(blk)
