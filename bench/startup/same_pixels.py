#!/usr/bin/env python3
"""Compares two screenshots in binary PPM (P6), as start_login_window writes
them when its second argument ends in .ppm: prints the sizes and the number of
pixels that differ; exit code 0 only when both are the same picture.

    xvfb-run -a -s "-screen 0 1280x800x24" build/bench-bin/start_login_window FOLDER a.ppm
    ... (the change) ...
    bench/startup/same_pixels.py a.ppm b.ppm
"""
import sys


def read_ppm(path):
    data = open(path, 'rb').read()
    fields, i = [], 0
    while len(fields) < 4:
        while data[i:i + 1].isspace():
            i += 1
        if data[i:i + 1] == b'#':
            while data[i:i + 1] not in (b'\n', b''):
                i += 1
            continue
        j = i
        while not data[j:j + 1].isspace():
            j += 1
        fields.append(data[i:j])
        i = j
    if fields[0] != b'P6' or fields[3] != b'255':
        sys.exit('%s: not an 8-bit binary PPM' % path)
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[i + 1:i + 1 + width * height * 3]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    a, b = read_ppm(sys.argv[1]), read_ppm(sys.argv[2])
    print('sizes: %dx%d and %dx%d' % (a[0], a[1], b[0], b[1]))
    if a[:2] != b[:2]:
        return 1
    differing = sum(1 for k in range(0, len(a[2]), 3) if a[2][k:k + 3] != b[2][k:k + 3])
    print('differing pixels: %d of %d' % (differing, a[0] * a[1]))
    return 0 if differing == 0 else 1


if __name__ == '__main__':
    sys.exit(main())
