"""Fault knobs that tests switch at run time (or from the command line)."""


class Faults:
    def __init__(self):
        self.clear()

    def clear(self):
        self.drop_after = None        # close a SlimProto link after N more frames sent
        self.stall_after = None       # stall audio streams after this many bytes ...
        self.stall_seconds = 0.0      # ... for this long (0 = until the client gives up)
        self.reset_after = None       # reset audio streams (TCP RST) after this many bytes
        self.hold_seconds = None      # answer the next audio request only after this long (0 = never)
        self.cli_delay = 0.0          # seconds before each CLI reply
        self.cli_pieces = 1           # CLI replies written in this many pieces ...
        self.cli_gap = 0.05           # ... this many seconds apart
        self.cli_drop_replies = 0     # run this many CLI requests, then close their link unanswered
        self.cli_garbage = None       # this many CLI replies are garbage (0 = every one), None = off
        self.cli_unended = 0          # this many CLI replies lack their line end; their links go silent

    def take_garbage(self):
        """True when the next CLI reply must be garbage."""
        if self.cli_garbage is None:
            return False
        if self.cli_garbage > 0:
            self.cli_garbage -= 1
            if self.cli_garbage == 0:
                self.cli_garbage = None
        return True

    def count_sent_frame(self, conn):
        """True when the link that just sent a frame must be dropped now."""
        if self.drop_after is None:
            return False
        self.drop_after -= 1
        if self.drop_after <= 0:
            self.drop_after = None
            return True
        return False

    def set(self, name, args):
        """Applies one knob; returns an error text or None."""
        try:
            if name == "drop-after":
                self.drop_after = int(args[0])
            elif name == "http-stall":
                self.stall_after = int(args[0])
                self.stall_seconds = float(args[1]) if len(args) > 1 else 0.0
            elif name == "http-hold":
                self.hold_seconds = float(args[0]) if args else 0.0
            elif name == "http-reset":
                self.reset_after = int(args[0])
            elif name == "cli-delay":
                self.cli_delay = float(args[0]) / 1000.0
            elif name == "cli-split":
                self.cli_pieces = max(1, int(args[0]))
                self.cli_gap = float(args[1]) / 1000.0 if len(args) > 1 else 0.05
            elif name == "cli-drop-reply":
                self.cli_drop_replies = int(args[0]) if args else 1
            elif name == "cli-garbage":
                count = int(args[0]) if args else 0
                self.cli_garbage = count if count >= 0 else None
            elif name == "cli-unended":
                self.cli_unended = int(args[0]) if args else 1
            elif name == "clear":
                self.clear()
            else:
                return f"unknown fault {name!r}"
        except (IndexError, ValueError):
            return f"bad arguments for fault {name!r}"
        return None

    def describe(self):
        return {k: v for k, v in vars(self).items()}
