"""Checks a render of the side-chain session: the music (a steady tone, amplitude 0.5) ducks
while the key's bursts (amplitude 0.8, the second and fourth 24000 frames) play, and only then.
Usage: check_ducking.py render.wav...   Exit status 1 when a render does not duck as expected.

The expectation comes from the session's settings, not from VR-C's code: with the key's peak
18.1 dB over the -20 dB threshold and ratio 0.9 (the share of the excess removed), the music
loses 0.9 * 18.1 = 16.3 dB during a burst. Attack 10 ms lets the peak follower settle a little
under a sine's peaks, so 2 dB are allowed. Between bursts the key is silent: the music, though
14 dB over the threshold itself, passes within 0.5 dB (the exp curve's floor far below the
threshold). Windows leave out each burst's first 100 ms and the release after it."""
import math
import sys

from compare_renders import frames

THRESHOLD_DB, RATIO, KEY, MUSIC, BURST = -20.0, 0.9, 0.8, 0.5, 24000
EXPECTED_DB = RATIO * (20 * math.log10(KEY) - THRESHOLD_DB)
# (first frame, end frame, key loud) in transport frames; the render's first sound is frame 0.
WINDOWS = [(2400, BURST, False), (BURST + 4800, 2 * BURST, True),
           (2 * BURST + 14400, 3 * BURST, False), (3 * BURST + 4800, 4 * BURST, True)]


def reduction_db(pairs, first, end):
    """The music's level drop over the window, from the tone's known RMS (both channels)."""
    window = pairs[first:end]
    rms = math.sqrt(sum(l * l + r * r for l, r in window) / (2 * len(window)))
    return 20 * math.log10(MUSIC / math.sqrt(2)) - 20 * math.log10(max(rms, 1e-12))


def main():
    failed = False
    for path in sys.argv[1:]:
        pairs, _, _ = frames(path)
        if len(pairs) < WINDOWS[-1][1] * 0.95:
            print('ardour: %s: only %d frames of sound' % (path, len(pairs)))
            failed = True
            continue
        found = []
        for first, end, loud in WINDOWS:
            got = reduction_db(pairs, first, min(end, len(pairs)))
            good = abs(got - EXPECTED_DB) <= 2.0 if loud else abs(got) <= 0.5
            found.append('%s %.2f dB%s' % ('key' if loud else 'quiet', got, '' if good else ' (WRONG)'))
            failed = failed or not good
        print('ardour: %s: gain reduction %s (expected %.1f dB under the key, 0 elsewhere)'
              % (path, ', '.join(found), EXPECTED_DB))
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
