"""Listening CLI connections and the notification lines they receive."""


class NotifyHub:
    def __init__(self, sim):
        self.sim = sim
        self.listeners = set()
        self.source = None        # the CLI connection whose command runs now

    def notify(self, words):
        """Sends one notification to every listener except the one that
        issued the command being executed."""
        self.sim.log("notify: " + " ".join(words))
        for conn in list(self.listeners):
            if conn is not self.source:
                conn.write_line(words)

    def close_all(self):
        for conn in list(self.listeners):
            conn.close()
        self.listeners.clear()
