"""Checks an automated render against the static one: the same samples until the
automation starts to move, different ones from there on.
Usage: compare_automation.py static.wav automated.wav FIRST_MOVING_FRAME
Both renders are aligned on their first sound (see compare_renders.py). Ardour
applies a control's automation once per process cycle, so the first difference
may come up to one cycle (1024 frames) after the lane starts to move."""
import sys

from compare_renders import frames

static, _, _ = frames(sys.argv[1])
automated, _, _ = frames(sys.argv[2])
moving = int(sys.argv[3])
cycle = 1024
common = min(len(static), len(automated))
differ = [i for i in range(common) if static[i] != automated[i]]
first = differ[0] if differ else None
after = common - (moving + cycle)
share = sum(1 for i in differ if i >= moving + cycle) / after if after > 0 else 0.0
print('ardour: automated render: first difference at frame %s (the lane moves from %d), %.1f %% of the frames after it differ'
      % (first, moving, 100 * share))
ok = first is not None and moving - cycle <= first <= moving + cycle and share > 0.9
sys.exit(0 if ok else 1)
