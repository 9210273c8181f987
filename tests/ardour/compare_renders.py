"""Compares the sample data of 32-bit float WAV renders (their headers differ: dates).
Usage: compare_renders.py reference.wav other.wav...   Exit status 1 on any difference.

Ardour's export sometimes begins a few hundred frames before the transport
rolls, so a render may start with silence that another lacks. The test signal
is silent until the transport rolls, and VR-C turns silence into silence, so
the renders are compared from their first sound on, over their common length."""
import struct
import sys


def frames(path):
    data = open(path, 'rb').read()
    pos = 12
    while pos + 8 <= len(data):
        chunk, size = data[pos:pos + 4], struct.unpack('<I', data[pos + 4:pos + 8])[0]
        if chunk == b'data':
            samples = struct.unpack('<%df' % (size // 4), data[pos + 8:pos + 8 + size])
            pairs = list(zip(samples[0::2], samples[1::2]))
            start = next((i for i, p in enumerate(pairs) if p != (0.0, 0.0)), len(pairs))
            return pairs[start:], start, len(pairs)
        pos += 8 + size + (size & 1)
    sys.exit(path + ': no sample data')


def main():
    reference, skipped, total = frames(sys.argv[1])
    print('ardour: %s: %d frames, sound from frame %d, peak %.4f'
          % (sys.argv[1], total, skipped, max((max(abs(l), abs(r)) for l, r in reference), default=0.0)))
    failed = len(reference) < total * 0.9
    for path in sys.argv[2:]:
        other, skipped, total = frames(path)
        common = min(len(other), len(reference))
        same = common >= total * 0.9 and other[:common] == reference[:common]
        print('ardour: %s: sound from frame %d, %s over %d frames' % (path, skipped, 'identical' if same else 'DIFFERENT', common))
        if not same:
            differ = [i for i in range(common) if other[i] != reference[i]]
            if differ:
                print('ardour:   %d frames differ, first at %d, last at %d, peak here %.4g'
                      % (len(differ), differ[0], differ[-1], max(max(abs(l), abs(r)) for l, r in other)))
        failed = failed or not same
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
