"""The remote control: IR codes turned into the functions of the server's
default key map, for transport, volume, power and the menu arrows."""

from .display import PlayerUI
from .slimproto import GRAPHIC_320

REPEAT_WINDOW_MS = 140
VOLUME_STEP = 2.5

FUNCTIONS = {
    "768910ef": "play", "768920df": "pause", "7689a05f": "jump_fwd",
    "7689c03f": "jump_rew", "7689e01f": "up", "7689b04f": "down",
    "7689906f": "left", "7689d02f": "right", "7689807f": "volume_up",
    "768900ff": "volume_down", "768940bf": "power_toggle", "76898f70": "power_on",
    "76898778": "power_off", "0000f701": "power_on", "0000f700": "power_off",
    "7689609f": "add", "768958a7": "search", "7689d827": "shuffle_toggle",
    "768938c7": "repeat_toggle", "7689b847": "sleep", "76897887": "playdisp_toggle",
    "7689f807": "textsize_toggle", "768904fb": "brightness", "768918e7": "favorites",
    "7689708f": "browse", "768922dd": "home", "7689c43b": "muting",
}
for _code, _digit in zip(["76899867", "7689f00f", "768908f7", "76898877", "768948b7",
                          "7689c837", "768928d7", "7689a857", "76896897", "7689e817"],
                         range(10)):
    FUNCTIONS[_code] = f"numberScroll_{_digit}"
for _n, _code in enumerate(["76898a75", "76894ab5", "7689ca35", "76892ad5",
                            "7689aa55", "76896a95"], start=1):
    FUNCTIONS[_code] = f"preset_{_n}"

BUTTONS = {"play": "play", "pause": "pause", "stop": "stop", "fwd": "jump_fwd",
           "rew": "jump_rew", "up": "up", "down": "down", "left": "left",
           "right": "right", "volup": "volume_up", "voldown": "volume_down",
           "power": "power_toggle", "power_on": "power_on", "power_off": "power_off",
           "shuffle": "shuffle_toggle", "repeat": "repeat_toggle", "home": "home",
           "now_playing": "playdisp_toggle", "add": "add", "jump_fwd": "jump_fwd",
           "jump_rew": "jump_rew"}


class Remote:
    def __init__(self, sim):
        self.sim = sim
        self.last = {}          # mac -> (code, ticks)

    def attach(self, player):
        if player.ui is None and player.device in GRAPHIC_320:
            player.ui = PlayerUI(player)

    def on_ir(self, player, ticks, code):
        if code == "00000000":
            return
        previous = self.last.get(player.mac)
        self.last[player.mac] = (code, ticks)
        if previous and previous[0] == code and 0 <= ticks - previous[1] < REPEAT_WINDOW_MS:
            return      # the remote repeats a held key; the first press did the work
        function = FUNCTIONS.get(code)
        if function is None:
            player.notify("unknownir", code, "%.3f" % (ticks / 1000.0))
            return
        self.sim.log(f"player {player.mac} IR {code} -> {function}")
        self.run(player, function)

    def on_button(self, player, name):
        function = BUTTONS.get(name)
        if function is not None:
            self.run(player, function)

    def run(self, player, function):
        if function.startswith("power"):
            self._power(player, function)
            return
        if not player.power:
            return
        if player.ui is not None and player.ui.handle(function):
            return
        self._transport(player, function)

    def _power(self, player, function):
        on = {"power_on": True, "power_off": False}.get(function, not player.power)
        if bool(on) != bool(player.power):
            player.set_power(on)
            player.notify("power", 1 if on else 0)

    def _transport(self, player, function):
        if function == "play":
            player.play()
            player.notify("play")
        elif function == "pause":
            player.pause()
            player.notify("pause", 1 if player.mode == "pause" else 0)
        elif function == "stop":
            player.stop()
            player.notify("stop")
        elif function in ("jump_fwd", "jump_rew"):
            step = "+1" if function == "jump_fwd" else "-1"
            player.jump(step)
            player.notify("playlist", "jump", step)
        elif function in ("volume_up", "volume_down"):
            step = ("+" if function == "volume_up" else "-") + str(VOLUME_STEP)
            player.set_volume(step)
            player.notify("mixer", "volume", step)
        elif function == "muting":
            player.set_volume("0" if player.volume else "50")
        elif function in ("shuffle_toggle", "repeat_toggle"):
            self._toggle(player, function)

    def _toggle(self, player, function):
        playlist = player.playlist
        if function == "shuffle_toggle":
            playlist.set_shuffle(0 if playlist.shuffle else 1)
            player.notify("playlist", "shuffle", playlist.shuffle)
        else:
            playlist.repeat = (playlist.repeat + 1) % 3
            player.notify("playlist", "repeat", playlist.repeat)
        player.redraw()
