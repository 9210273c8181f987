"""Checks that every session snapshot holds the same VR-C settings chunk.
Usage: compare_states.py reference-session:snapshot other-session:snapshot...
Exit status 1 when a chunk is missing or differs from the reference's.

Ardour keeps each format's state its own way: VST2 as the plug-in's chunk
(base64 in the session file), VST3 as a preset stream that wraps the same
chunk, LV2 as the framework's own base64 text in a state folder beside the
session. The chunk itself starts with "VC2!" and its length."""
import base64
import re
import struct
import sys
import xml.etree.ElementTree as ET

# The framework writes LV2 state as "<byte count>.<characters>", six bits per
# character from this alphabet, least significant bits first.
JUCE_ALPHABET = '.ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+'


def juce_base64(text):
    count, _, chars = text.partition('.')
    bits = 0
    for i, c in enumerate(chars):
        bits |= JUCE_ALPHABET.index(c) << (6 * i)
    return bits.to_bytes(max(int(count), (6 * len(chars) + 7) // 8), 'little')[:int(count)]


def settings_chunk(blob):
    start = blob.find(b'VC2!')
    if start < 0 or start + 8 > len(blob):
        return None
    length = struct.unpack('<I', blob[start + 4:start + 8])[0]
    return blob[start:start + 8 + length]


def chunk_of(folder, snapshot):
    root = ET.parse('%s/%s.ardour' % (folder, snapshot)).getroot()
    proc = next(p for p in root.iter('Processor') if p.get('name') == 'VR-C')
    kind = proc.get('type')
    if kind in ('lxvst', 'vst3'):
        return kind, settings_chunk(base64.b64decode(proc.find('.//chunk').text))
    state_dir = proc.find('lv2').get('state-dir')
    ttl = open('%s/plugins/%s/%s/state.ttl' % (folder, proc.get('id'), state_dir)).read()
    return kind, settings_chunk(juce_base64(re.search(r':StateString> "([^"]*)"', ttl).group(1)))


reference = None
failed = False
for arg in sys.argv[1:]:
    kind, chunk = chunk_of(*arg.rsplit(':', 1))
    if reference is None:
        reference = chunk
        print('ardour: %s (%s): %s' % (arg, kind, chunk[8:].decode('ascii', 'replace') if chunk else 'NO CHUNK'))
    same = chunk is not None and chunk == reference
    if arg != sys.argv[1]:
        print('ardour: %s (%s): settings %s' % (arg, kind, 'the same' if same else 'DIFFERENT: %r' % chunk))
    failed = failed or not same
sys.exit(1 if failed else 0)
