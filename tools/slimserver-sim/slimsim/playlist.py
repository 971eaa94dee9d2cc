"""A player's current playlist: the play order (shuffled or not) and the
current position in it."""

import random


class Playlist:
    def __init__(self, seed=1):
        self.entries = []          # (sequence number, track) in play order
        self.index = 0             # current position in play order
        self.shuffle = 0
        self.repeat = 0
        self._sequence = 0
        self._random = random.Random(seed)

    def __len__(self):
        return len(self.entries)

    def tracks(self):
        return [t for _, t in self.entries]

    def current(self):
        if 0 <= self.index < len(self.entries):
            return self.entries[self.index][1]
        return None

    def track_at(self, index):
        if 0 <= index < len(self.entries):
            return self.entries[index][1]
        return None

    def _wrap(self, tracks):
        wrapped = []
        for track in tracks:
            self._sequence += 1
            wrapped.append((self._sequence, track))
        return wrapped

    def clear(self):
        self.entries, self.index = [], 0

    def add(self, tracks):
        self.entries.extend(self._wrap(tracks))

    def insert(self, tracks):
        """Puts tracks right after the current one."""
        at = min(self.index + 1, len(self.entries))
        self.entries[at:at] = self._wrap(tracks)

    def load(self, tracks):
        self.clear()
        self.add(tracks)
        if self.shuffle:
            self._shuffle_keep_current()

    def delete(self, index):
        if not 0 <= index < len(self.entries):
            return False
        del self.entries[index]
        if index < self.index:
            self.index -= 1
        if self.index >= len(self.entries):
            self.index = 0
        return True

    def move(self, source, target):
        n = len(self.entries)
        if not (0 <= source < n and 0 <= target < n):
            return False
        current = self.entries[self.index]
        entry = self.entries.pop(source)
        self.entries.insert(target, entry)
        self.index = self.entries.index(current)
        return True

    def resolve(self, text):
        """An absolute or +/- relative index text; None when unusable."""
        try:
            value = int(float(text))
        except (TypeError, ValueError):
            return None
        if not self.entries:
            return None
        if text.startswith(("+", "-")):
            value = self.index + value
        return value % len(self.entries)

    def next_index(self, after=None):
        """Position that follows `after` in play order, or None at the end."""
        at = self.index if after is None else after
        if not self.entries:
            return None
        if self.repeat == 1:
            return at
        if at + 1 < len(self.entries):
            return at + 1
        return 0 if self.repeat == 2 else None

    def set_shuffle(self, mode):
        mode = max(0, min(2, mode))
        if mode == self.shuffle:
            return
        self.shuffle = mode
        if mode:
            self._shuffle_keep_current()
        else:
            current = self.entries[self.index] if self.entries else None
            self.entries.sort(key=lambda e: e[0])
            self.index = self.entries.index(current) if current else 0

    def _shuffle_keep_current(self):
        if not self.entries:
            return
        current = self.entries[self.index]
        rest = [e for e in self.entries if e is not current]
        self._random.shuffle(rest)
        self.entries = [current] + rest
        self.index = 0
