"""The music folder tree as the browse-tree pages show it.

Folders get ids of their own (after the track and playlist ids); a
hierarchy text is the chain of folder ids from the top, joined by "/".
"""

import os
from dataclasses import dataclass, field


@dataclass(eq=False)
class Folder:
    id: int
    name: str
    path: str
    parent: object = None
    folders: list = field(default_factory=list)
    tracks: list = field(default_factory=list)

    def chain(self):
        """Folders from the first level below the top down to this one."""
        nodes, node = [], self
        while node.parent is not None:
            nodes.append(node)
            node = node.parent
        return list(reversed(nodes))

    def hierarchy(self):
        return "/".join(str(f.id) for f in self.chain())

    def entries(self):
        return list(self.folders) + list(self.tracks)


class FolderTree:
    def __init__(self, top, first_id, track_by_path):
        self._next = first_id
        self.by_id = {}
        self.top = self._scan(top, "Music", None, track_by_path)

    def _new(self, name, path, parent):
        folder = Folder(self._next, name, path, parent)
        self.by_id[folder.id] = folder
        self._next += 1
        return folder

    def _scan(self, path, name, parent, track_by_path):
        folder = self._new(name, path, parent)
        try:
            names = sorted(os.listdir(path), key=str.lower)
        except OSError:
            return folder
        for entry in names:
            full = os.path.join(path, entry)
            if os.path.isdir(full):
                folder.folders.append(self._scan(full, entry, folder, track_by_path))
            elif full in track_by_path:
                track = track_by_path[full]
                track.folder = folder.id
                folder.tracks.append(track)
        return folder

    def find(self, hierarchy):
        """The folder a hierarchy text names (its last id), or None."""
        parts = [p for p in (hierarchy or "").split("/") if p]
        if not parts:
            return self.top
        try:
            return self.by_id.get(int(parts[-1]))
        except ValueError:
            return None
