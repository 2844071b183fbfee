#!/usr/bin/env python3
"""Independent reference for the key object's known-answer tests, written with plain Python integers.

Checks itself against the shared scheme vectors, then writes tests/data/kova_known.json: exact cipher
texts for keys and randomizer bits of our own choosing (block edges, zero bytes, several key strengths)
and the primes key generation must find for given start bits (odd and even starts, a prime start that
must be skipped, p = q redrawn, a base g unusable for the first prime redrawn).

Run from anywhere: python3 pubkey/tests/kova_reference.py [path/to/scheme.json]
"""
import hashlib
import json
import os
import random
import sys

ALPHABET = "aAbBcCdDeEfFgGhHiIjJkKlLmMnNoOpPqQrRsStTuUvVwWxXyYzZ0123456789+="


def is_probable_prime(n, rounds=40):
    if n < 2:
        return False
    for small in (2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37):
        if n % small == 0:
            return n == small
    d, s = n - 1, 0
    while d % 2 == 0:
        d //= 2
        s += 1
    rng = random.Random(n)
    for _ in range(rounds):
        a = rng.randrange(2, n - 1)
        x = pow(a, d, n)
        if x in (1, n - 1):
            continue
        for _ in range(s - 1):
            x = x * x % n
            if x == n - 1:
                break
        else:
            return False
    return True


def int_to_bytes(v):
    return v.to_bytes(max(1, (v.bit_length() + 7) // 8), "big")


def bits_to_bytes(bits):
    if not bits:
        return b""
    return int(bits, 2).to_bytes((len(bits) + 7) // 8, "big")


def radix64(data):
    bits = "".join(format(b, "08b") for b in data)
    bits += "0" * (-len(bits) % 6)
    return "".join(ALPHABET[int(bits[i:i + 6], 2)] for i in range(0, len(bits), 6))


def digest_text(data):
    return hashlib.sha1(data).hexdigest().upper()


def sizes(strength):
    return strength // 3, (strength - 24) // 3


def encrypt(n, g, strength, message, rbits):
    prime_bits, block_bits = sizes(strength)
    assert len(rbits) == 3 * prime_bits - 3 and rbits[0] == "1"
    hh = digest_text(message + bits_to_bytes(rbits)).encode()
    h = int.from_bytes(hh, "big")
    m_all = message + hh
    b = block_bits // 8
    out = []
    for i in range(0, len(m_all), b):
        m = int.from_bytes(m_all[i:i + b], "big")
        out.append(radix64(int_to_bytes(pow(g, m + n * h, n))) + ";")
    return "".join(out), hh.decode()


def check_shared(path):
    with open(path) as f:
        cases = json.load(f)["cases"]
    for c in cases:
        n, g = int(c["n"]), int(c["g"])
        assert int(c["p"]) ** 2 * int(c["q"]) == n
        text, hh = encrypt(n, g, c["keyStrength"], bytes.fromhex(c["messageHex"]), c["randomizerBits"])
        assert hh == c["digestText"], "digest"
        assert text == c["cipherText"], "cipher text"
    print(f"reference agrees with {len(cases)} shared vectors")


def next_prime_after(x):
    """The prime search of key generation: odd start, first candidate start + 2."""
    if x % 2 == 0:
        x += 1
    while True:
        x += 2
        if is_probable_prime(x):
            return x


def l_of_base_invertible(g, p):
    x = pow(g, p - 1, p * p)
    if x == 0:
        return False
    l_value = (x - 1) // p
    return l_value % p != 0


def random_bits(rng, count):
    return "".join(rng.choice("01") for _ in range(count))


def start_bits_for(value, prime_bits):
    """The PrimeBits random characters after the leading 1 that make this start value."""
    text = format(value, "b")
    assert len(text) == prime_bits + 1 and text[0] == "1"
    return text[1:]


def make_key(rng, strength):
    prime_bits, _ = sizes(strength)
    while True:
        p = next_prime_after(int("1" + random_bits(rng, prime_bits), 2))
        q = next_prime_after(int("1" + random_bits(rng, prime_bits), 2))
        if p != q and l_of_base_invertible(65537, p):
            return p, q


def encryption_cases(rng):
    cases = []
    messages = [b"", b"<", b"<=>?", bytes(range(0x30, 0x50)), b"A" * 41, b"B" * 42,
                bytes(rng.randrange(256) for _ in range(200)),
                # Zero bytes at the front of a block that is not the last one.
                b"\x00\x00abc" + b"x" * 36 + b"\x00\x01" + b"y" * 60]
    for strength in (256, 512, 1024, 2048):
        p, q = make_key(rng, strength)
        n = p * p * q
        prime_bits, _ = sizes(strength)
        for message in messages:
            rbits = "1" + random_bits(rng, 3 * prime_bits - 4)
            text, hh = encrypt(n, 65537, strength, message, rbits)
            cases.append({"keyStrength": strength, "p": str(p), "q": str(q), "g": "65537", "n": str(n),
                          "messageHex": message.hex(), "randomizerBits": rbits, "digestText": hh,
                          "cipherText": text})
    return cases


def keygen_cases(rng):
    cases = []
    strength = 256
    prime_bits, _ = sizes(strength)

    def draw():
        return int("1" + random_bits(rng, prime_bits), 2)

    # Odd and even random starts.
    a, b = draw() | 1, draw() & ~1
    cases.append({"about": "odd start for p, even start for q", "keyStrength": strength, "g": "65537",
                  "bits": [start_bits_for(a, prime_bits), start_bits_for(b, prime_bits)],
                  "p": str(next_prime_after(a)), "q": str(next_prime_after(b))})

    # A start that is itself prime is skipped; an even start one below a prime skips that prime too.
    prime_start = next_prime_after(draw())
    even_below_prime = next_prime_after(draw()) - 1
    cases.append({"about": "prime start and even start below a prime are both passed over",
                  "keyStrength": strength, "g": "65537",
                  "bits": [start_bits_for(prime_start, prime_bits),
                           start_bits_for(even_below_prime, prime_bits)],
                  "p": str(next_prime_after(prime_start)), "q": str(next_prime_after(even_below_prime))})

    # q equal to p is drawn again.
    same, other = draw(), draw()
    cases.append({"about": "q equal to p is drawn again", "keyStrength": strength, "g": "65537",
                  "bits": [start_bits_for(same, prime_bits), start_bits_for(same, prime_bits),
                           start_bits_for(other, prime_bits)],
                  "p": str(next_prime_after(same)), "q": str(next_prime_after(other))})

    # g = h^p0 mod p0^2 has g^(p0-1) = 1 mod p0^2, so L(g) = 0 for p0: p0 is drawn again.
    first, second, third = draw(), draw(), draw()
    p0 = next_prime_after(first)
    g = pow(2, p0, p0 * p0)
    p1 = next_prime_after(second)
    assert not l_of_base_invertible(g, p0) and l_of_base_invertible(g, p1)
    cases.append({"about": "a prime for which L(g) has no inverse is drawn again", "keyStrength": strength,
                  "g": str(g),
                  "bits": [start_bits_for(first, prime_bits), start_bits_for(second, prime_bits),
                           start_bits_for(third, prime_bits)],
                  "p": str(p1), "q": str(next_prime_after(third))})
    return cases


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    shared = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "../../testdata/vectors/scheme.json")
    check_shared(shared)
    rng = random.Random(20261210)
    data = {"about": "Written by kova_reference.py (Python integers and hashlib); see its docstring.",
            "encryption": encryption_cases(rng), "keygen": keygen_cases(rng)}
    out = os.path.join(here, "data", "kova_known.json")
    with open(out, "w") as f:
        json.dump(data, f, indent=1)
        f.write("\n")
    print(f"wrote {out}: {len(data['encryption'])} encryption cases, {len(data['keygen'])} key generation cases")


if __name__ == "__main__":
    main()
