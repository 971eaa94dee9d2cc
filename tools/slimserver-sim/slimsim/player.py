"""A player as the server keeps it: its settings, its playlist and the
playback that the server drives with strm commands and the player's STATs."""

import time

from . import frames
from .playlist import Playlist


class Player:
    def __init__(self, sim, mac):
        self.sim = sim
        self.mac = mac
        self.name = ""
        self.device = 0
        self.revision = 0
        self.ip = ""
        self.conn = None
        self.power = 0
        self.volume = 50.0
        self.mode = "stop"
        self.rate = 1
        self.playlist = Playlist()
        self.stream_index = None     # position being streamed (may be the next one)
        self.stream_track = None
        self.stream_offset = 0       # byte offset the stream starts at
        self.stream_seconds = 0.0    # song time the stream starts at
        self.song_offset = 0.0       # song time where the player's count began
        self.last_stat = {}
        self.elapsed_at_stop = 0.0
        self.brightness = 4
        self.ui = None               # set by the display module
        self.resume_at = None        # song time to resume at after a restart
        self.awaiting_stmc = False   # a strm s went out and its STMc has not come

    # ---- link ----

    @property
    def connected(self):
        return self.conn is not None

    def send(self, opcode, payload=b""):
        if self.conn is not None:
            self.conn.send(opcode, payload)

    def notify(self, *words):
        self.sim.hub.notify([self.mac] + [str(w) for w in words])

    def redraw(self, transition="c"):
        if self.ui is not None:
            self.ui.redraw(transition)

    # ---- time ----

    def elapsed(self):
        """Song time from the player's STAT reports, as the server derives it."""
        if self.mode == "stop" or self.stream_index is None:
            return 0.0
        stat = self.last_stat
        seconds = float(stat.get("elapsed", 0))
        if self.sim.era >= 7 and stat.get("elapsed_ms"):
            seconds = stat["elapsed_ms"] / 1000.0
        return self.song_offset + seconds

    # ---- transport ----

    def play(self):
        if not self.playlist:
            return
        if self.mode == "pause":
            self.unpause()
        elif self.mode == "stop":
            self.start(self.playlist.index)

    def start(self, index, seconds=0.0):
        """Stops what plays and starts the track at `index` from `seconds`."""
        track = self.playlist.track_at(index)
        if track is None:
            return
        if self.mode != "stop":
            self.send("strm", frames.strm("q", self.sim.era, port=self.sim.web_port))
        self.playlist.index = index
        self.mode = "play"
        self.last_stat = {}
        self.song_offset = seconds
        self.stream(index, seconds)
        self.redraw()

    def stream(self, index, seconds=0.0):
        track = self.playlist.track_at(index)
        self.stream_index, self.stream_track = index, track
        if getattr(track, "remote", 0):
            track.stream_title = ""      # the station announces it again
        self.stream_seconds = seconds
        self.stream_offset = self.sim.streams.byte_offset(track, seconds)
        request = frames.stream_request(self.mac, self.sim.era)
        payload = frames.strm("s", self.sim.era, autostart="1",
                              fmt=frames.FORMATS.get(track.fmt, "m"),
                              pcm=frames.pcm_fields(track), port=self.sim.web_port,
                              request=request)
        self.send("strm", payload)
        self.awaiting_stmc = True
        self.sim.log(f"player {self.mac} streams track {track.id} from {seconds:g}s")
        self.notify("playlist", "open", track.url)

    def pause(self, want=None):
        if want is None:
            want = self.mode == "play"
        if want and self.mode == "play":
            self.send("strm", frames.strm("p", self.sim.era, port=self.sim.web_port))
            self.mode = "pause"
        elif not want and self.mode == "pause":
            self.unpause()
        self.redraw()

    def unpause(self):
        self.send("strm", frames.strm("u", self.sim.era, port=self.sim.web_port))
        self.mode = "play"

    def stop(self):
        if self.mode != "stop":
            self.send("strm", frames.strm("q", self.sim.era, port=self.sim.web_port))
        self.mode = "stop"
        self.stream_index = None
        self.awaiting_stmc = False
        self.last_stat = {}
        self.redraw()

    def jump(self, index_text):
        index = self.playlist.resolve(index_text)
        if index is None:
            return
        if self.power:
            self.start(index)
        else:
            self.playlist.index = index

    def seek(self, text):
        track = self.playlist.current()
        if track is None or self.mode == "stop":
            return
        try:
            value = float(text)
        except ValueError:
            return
        target = self.elapsed() + value if text[:1] in "+-" else value
        target = max(0.0, min(target, max(0.0, track.duration - 0.5)))
        self.start(self.playlist.index, target)

    def set_power(self, on):
        on = 1 if on else 0
        if on == self.power:
            return
        self.power = on
        if not on:
            self.stop()
        self.send("aude", frames.aude(on))
        self.send("grfb", frames.grfb(self.brightness if on else 0))
        self.redraw()

    def set_volume(self, text):
        try:
            value = float(text)
        except ValueError:
            return
        if text[:1] in "+-":
            value = self.volume + value
        self.volume = max(0.0, min(100.0, value))
        self.send("audg", frames.audg(self.volume))

    # ---- a server restart ----

    def cut_by_restart(self):
        """The server goes down while this player plays: its stream ends
        with it. The song time it reported last is kept for the resume."""
        if self.mode == "play" and self.playlist.current() is not None:
            remote = getattr(self.playlist.current(), "remote", 0)
            self.resume_at = 0.0 if remote else self.elapsed()

    def resume(self, reconnecting):
        """After a restart, a player the server kept playing is asked for
        the current song again from the time it had reached (a remote
        stream from its start: it has no time to go back to). The stream
        the restart cut cannot go on, so this holds whether or not the
        player still plays from its buffer (the reconnect bit)."""
        seconds, self.resume_at = self.resume_at, None
        self.awaiting_stmc = False   # nothing was asked for on the new link yet
        if seconds is None or self.mode != "play" or self.playlist.current() is None:
            return
        self.sim.log(f"player {self.mac} resumes track {self.playlist.current().id} at {seconds:g}s "
                     f"after the restart ({'reconnecting' if reconnecting else 'stopped meanwhile'})")
        self.start(self.playlist.index, seconds)

    # ---- the player's reports ----

    def on_stat(self, stat):
        # After a strm s the server ignores STATs until the player's STMc:
        # what comes before it (an STMs or STMd of the stream the player
        # was still busy with) is about a stream the server already let go
        # of, and must not start or advance the new one.
        if self.awaiting_stmc:
            if stat["event"] != "STMc":
                if stat["event"] != "STMt":
                    self.sim.log(f"player {self.mac} {stat['event']} ignored: no STMc since the last strm s")
                return
            self.awaiting_stmc = False
        self.last_stat = stat if stat["event"] != "STMt" or self.mode != "stop" else {}
        handler = getattr(self, "_on_" + stat["event"], None)
        if handler is not None:
            handler(stat)
        if self.ui is not None:
            self.ui.tick()

    def _on_STMs(self, stat):
        if self.stream_index is None:
            return
        if self.stream_index != self.playlist.index or self.song_offset != self.stream_seconds:
            self.playlist.index = self.stream_index
            self.song_offset = self.stream_seconds
        self.mode = "play"
        self.last_stat = stat
        self._newsong()

    def _newsong(self):
        track = self.playlist.current()
        if self.sim.era >= 7 and track is not None:
            self.notify("playlist", "newsong", track.title, self.playlist.index)
        else:
            self.notify("playlist", "newsong")
        self.redraw()

    def _on_STMd(self, stat):
        if self.mode == "stop" or self.stream_index != self.playlist.index:
            return
        following = self.playlist.next_index()
        if following is not None:
            self.stream(following)

    def _on_STMu(self, stat):
        if self.mode != "play":
            return
        if self.stream_index is not None and self.stream_index != self.playlist.index:
            # The next track was sent but never started: start it afresh.
            self.start(self.stream_index)
            return
        self._end_of_playlist()

    def _on_STMn(self, stat):
        following = self.playlist.next_index()
        if following is None:
            self._end_of_playlist()
        else:
            self.start(following)

    def _end_of_playlist(self):
        self.mode = "stop"
        self.stream_index = None
        self.last_stat = {}
        self.playlist.index = 0
        self.sim.log(f"player {self.mac} reached the end of its playlist")
        self.notify("stop")
        if self.sim.era >= 7:
            self.notify("playlist", "stop")
        self.redraw()

    # ---- playlist edits that touch playback ----

    def playlist_changed(self, playing_removed=False):
        if playing_removed and self.mode != "stop":
            if self.playlist:
                self.start(self.playlist.index)
            else:
                self.stop()
        self.redraw()

    def describe(self):
        current = self.playlist.current()
        return {"mac": self.mac, "name": self.name, "device": self.device,
                "connected": self.connected, "power": self.power,
                "mode": self.mode, "volume": self.volume,
                "index": self.playlist.index, "tracks": len(self.playlist),
                "current": current.id if current else None,
                "elapsed": round(self.elapsed(), 3), "time": time.time()}
