"""The demo library's music: every track's phrase is an expression ffmpeg
takes and that stays within ffmpeg's ten expression variables (a higher
index is silently clamped onto the last one, which garbles the mix)."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest

from slimsim import demolib


def styles():
    for artist, album, _, genre, fmt, _, songs in demolib.ALBUMS:
        for title, style in songs:
            yield f"{artist} / {album} / {title}", genre, fmt, style


class DemoLibrary(unittest.TestCase):
    def test_every_phrase_uses_only_ffmpegs_ten_variables(self):
        for name, _, _, style in styles():
            expr, seconds = demolib.phrase_expression(style)
            indices = [int(i) for i in re.findall(r"\b(?:st|ld|random)\((\d+)", expr)]
            self.assertTrue(indices, name)
            self.assertLessEqual(max(indices), 9, name)
            self.assertGreater(seconds, 4.0, name)

    def test_albums_cover_four_formats_several_genres_and_minutes_of_music(self):
        entries = list(styles())
        self.assertEqual({"mp3", "flac", "wma", "wav"}, {fmt for _, _, fmt, _ in entries})
        self.assertGreaterEqual(len({genre for _, genre, _, _ in entries}), 4)
        self.assertGreaterEqual(len({a[0] for a in demolib.ALBUMS}), 4)
        self.assertTrue(all(style.seconds >= 90 for _, _, _, style in entries))

    @unittest.skipUnless(shutil.which("ffmpeg"), "needs ffmpeg")
    def test_ffmpeg_renders_every_phrase_with_sound_and_no_clipping(self):
        for name, _, _, style in styles():
            expr, _ = demolib.phrase_expression(style)
            with tempfile.TemporaryDirectory() as scratch:
                out = subprocess.run(
                    ["ffmpeg", "-hide_banner", "-nostats", "-f", "lavfi", "-i",
                     f"aevalsrc=exprs='{expr}':s=44100:d=4", "-af", "volumedetect", "-f", "null", "-"],
                    capture_output=True, text=True, cwd=scratch, stdin=subprocess.DEVNULL)
            self.assertEqual(0, out.returncode, name + out.stderr[-500:])
            peak = float(re.search(r"max_volume: (-?[\d.]+) dB", out.stderr).group(1))
            mean = float(re.search(r"mean_volume: (-?[\d.]+) dB", out.stderr).group(1))
            self.assertLess(peak, -0.5, name)    # no clipping
            self.assertGreater(mean, -35.0, name)  # audible


if __name__ == "__main__":
    unittest.main()
