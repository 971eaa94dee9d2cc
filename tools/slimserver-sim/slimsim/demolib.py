"""The demo library for `scripts/run`: tracks that sound like music and last
like music, generated with ffmpeg in a few seconds each.

Each track is one phrase made by ffmpeg's `aevalsrc` (an arpeggio over a
chord progression with a soft pad, a bass note on every beat and, for the
livelier genres, a kick and a hi-hat) and then looped to a few minutes with
a fade in and out. The phrase is two passes over the progression with two
arpeggio patterns, so the loop does not repeat every bar. Files are kept
small with low bit rates (PCM excepted: the player takes it as 44.1 kHz
16-bit stereo).
"""

import os
import shutil
import subprocess
from concurrent.futures import ThreadPoolExecutor

GENERATOR = "demo-1"
SAMPLE_RATE = 44100
WORKERS = 2

MAJOR, MINOR = 4, 3
POP = ((0, MAJOR), (9, MINOR), (5, MAJOR), (7, MAJOR))       # I vi IV V
DOO_WOP = ((0, MAJOR), (5, MAJOR), (9, MINOR), (7, MAJOR))   # I IV vi V
MINOR_WALK = ((0, MINOR), (8, MAJOR), (3, MAJOR), (10, MAJOR))  # i VI III VII
JAZZY = ((2, MINOR), (7, MAJOR), (0, MAJOR), (9, MINOR))     # ii V I vi

UP = (0, 1, 2, 3, 2, 1, 0, 1)
BROKEN = (0, 2, 1, 3, 0, 2, 3, 2)
ROLL = (0, 1, 2, 1, 3, 2, 1, 2)
FALL = (3, 2, 1, 0, 3, 2, 1, 2)


class Style:
    """How a track is played: key (Hz of its root), tempo, progression, two
    arpeggio patterns, whether a beat plays and whether the top tone is a
    seventh instead of the octave."""

    def __init__(self, key, bpm, progression, patterns, beat=True, seventh=False, seconds=170):
        self.key, self.bpm, self.progression = key, bpm, progression
        self.patterns, self.beat, self.seventh, self.seconds = patterns, beat, seventh, seconds


# (artist, album, year, genre, format, (cover colours), [(title, Style)])
ALBUMS = [
    ("Lumen Drift", "Night Bus Home", 2019, "Electronic", "mp3", ("0x1b2a6b", "0xd94f8a"),
     [("Last Stop Lights", Style(220.0, 118, POP, (UP, BROKEN))),
      ("Rain on the Window", Style(196.0, 104, MINOR_WALK, (ROLL, FALL), seconds=190)),
      ("Depot at Dawn", Style(246.9, 124, DOO_WOP, (BROKEN, UP), seconds=160))]),
    ("The Marigold Trio", "Small Hours", 2014, "Jazz", "flac", ("0x5a3410", "0xf2b441"),
     [("Blue Lantern", Style(174.6, 92, JAZZY, (ROLL, UP), beat=False, seventh=True, seconds=150)),
      ("Quiet Corner", Style(207.7, 86, JAZZY, (FALL, BROKEN), beat=False, seventh=True, seconds=140))]),
    ("Cedar & Pine", "Valley Songs", 2017, "Folk", "wma", ("0x21452b", "0xc9d67a"),
     [("River Bend", Style(196.0, 100, DOO_WOP, (UP, ROLL), beat=False)),
      ("Old Stone Bridge", Style(220.0, 96, POP, (BROKEN, FALL), beat=False, seconds=180)),
      ("Harvest Moon", Style(164.8, 108, MINOR_WALK, (ROLL, UP)))]),
    ("Orbital Garden", "Slow Planets", 2021, "Ambient", "wav", ("0x0b0b24", "0x5fa8d3"),
     [("Drifting Moons", Style(130.8, 72, MINOR_WALK, (ROLL, FALL), beat=False, seventh=True, seconds=110)),
      ("Solar Wind", Style(146.8, 76, POP, (UP, ROLL), beat=False, seconds=100))]),
    ("Lumen Drift", "Neon Tides", 2022, "Electronic", "mp3", ("0x3b0b4f", "0x34e0c8"),
     [("Harbour Signals", Style(233.1, 122, MINOR_WALK, (BROKEN, ROLL), seconds=200)),
      ("Tide Clock", Style(207.7, 116, POP, (FALL, UP)))]),
    ("Ana Sol", "Cartas de Verano", 2016, "Pop", "flac", ("0x8a1c1c", "0xf7d08a"),
     [("Mañana Clara", Style(261.6, 110, DOO_WOP, (UP, BROKEN), seconds=160)),
      ("Canción del Mar", Style(246.9, 98, POP, (ROLL, FALL), seventh=True, seconds=170))]),
]

PLAYLISTS = {
    "Evening Mix": [(0, 1), (1, 0), (3, 0), (5, 1)],
    "Upbeat": [(0, 0), (4, 0), (2, 2), (5, 0)],
}

ENCODERS = {
    "mp3": ["-c:a", "libmp3lame", "-b:a", "64k"],
    "flac": ["-c:a", "flac", "-compression_level", "8"],
    "wma": ["-c:a", "wmav2", "-b:a", "64k"],
    "wav": ["-c:a", "pcm_s16le"],
}
BITRATES = {"mp3": "64kbps CBR", "flac": "", "wma": "64kbps CBR", "wav": "1411kbps CBR"}


def _choose(values, var):
    """An ffmpeg expression giving values[var] for var = 0, 1, ..."""
    expr = str(values[-1])
    for i in range(len(values) - 2, -1, -1):
        expr = f"if(eq({var},{i}),{values[i]},{expr})"
    return expr


def phrase_expression(style):
    """The aevalsrc expression of one phrase and the phrase's length in
    seconds. ffmpeg keeps ten expression variables; they are used as:
    0 chord, 1 root, 2 third, 3 step (later the noise seed), 4 time in the
    note, 5 semitones, 6 note frequency, 7 the mix, 8 time in the beat,
    9 scratch."""
    beat = 60.0 / style.bpm
    bar = 4 * beat
    step = beat / 2
    chords = len(style.progression)
    roots = [root for root, _ in style.progression]
    thirds = [third for _, third in style.progression]
    top = 10 if style.seventh else 12
    first, second = (_choose(list(p), "ld(3)") for p in style.patterns)
    key = style.key
    expr = (
        f"st(0,mod(floor(t/{bar}),{chords}));"
        f"st(1,{_choose(roots, 'ld(0)')});st(2,{_choose(thirds, 'ld(0)')});"
        f"st(3,mod(floor(t/{step}),8));st(4,mod(t,{step}));"
        f"st(9,if(lt(mod(t,{2 * chords * bar}),{chords * bar}),{first},{second}));"
        f"st(5,ld(1)+if(eq(ld(9),0),0,if(eq(ld(9),1),ld(2),if(eq(ld(9),2),7,{top}))));"
        f"st(6,{key * 2}*pow(2,ld(5)/12));"
        # the arpeggio: a plucked tone with two overtones
        f"st(7,(1-exp(-ld(4)*300))*exp(-ld(4)*5)*"
        f"(sin(2*PI*ld(6)*t)+0.3*sin(4*PI*ld(6)*t)+0.1*sin(6*PI*ld(6)*t))*0.22);"
        # the pad: the chord an octave lower, swelling over each bar
        f"st(7,ld(7)+0.06*sin(PI*mod(t,{bar})/{bar})*(sin(2*PI*{key}*pow(2,ld(1)/12)*t)"
        f"+sin(2*PI*{key}*pow(2,(ld(1)+ld(2))/12)*t)+sin(2*PI*{key}*pow(2,(ld(1)+7)/12)*t)));"
        # the bass: the root on every beat
        f"st(8,mod(t,{beat}));"
        f"st(7,ld(7)+0.25*(1-exp(-ld(8)*200))*exp(-ld(8)*3)*sin(2*PI*{key / 2}*pow(2,ld(1)/12)*t));"
    )
    if style.beat:
        expr += (
            # a kick on the beat, a hi-hat between the beats
            f"st(7,ld(7)+0.45*sin(2*PI*50*ld(8)*(1+1.5*exp(-ld(8)*25)))*exp(-ld(8)*10));"
            f"st(9,mod(t+{beat / 2},{beat}));st(7,ld(7)+(random(3)*2-1)*exp(-ld(9)*70)*0.06);"
        )
    expr += "0.8*ld(7)"
    return expr, 2 * chords * bar


def run_ffmpeg(args):
    command = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y"] + args
    subprocess.run(command, check=True, stdin=subprocess.DEVNULL)


def make_track(path, fmt, style, tags, scratch):
    expr, phrase = phrase_expression(style)
    phrase_file = scratch + ".wav"
    run_ffmpeg(["-f", "lavfi", "-i", f"aevalsrc=exprs='{expr}':s={SAMPLE_RATE}:d={phrase:.6f}",
                "-c:a", "pcm_s16le", phrase_file])
    loops = max(1, round(style.seconds / phrase))
    length = loops * phrase
    args = ["-stream_loop", str(loops - 1), "-i", phrase_file,
            "-af", f"afade=t=in:d=2,afade=t=out:st={length - 6:.3f}:d=6",
            "-ac", "2", "-ar", str(SAMPLE_RATE)]
    for name, value in tags.items():
        args += ["-metadata", f"{name}={value}"]
    if fmt == "mp3":
        args += ["-id3v2_version", "3"]
    run_ffmpeg(args + ENCODERS[fmt] + [path])
    os.remove(phrase_file)


def make_cover(path, colours, text):
    top, bottom = colours
    base = ["-f", "lavfi", "-i", f"gradients=s=300x300:c0={top}:c1={bottom}:x0=0:y0=0:x1=300:y1=300:d=1"]
    rings = "drawbox=x=40:y=40:w=220:h=220:color=white@0.25:t=6,drawbox=x=90:y=90:w=120:h=120:color=white@0.4:t=4"
    font = shutil.which("fc-match") and subprocess.run(
        ["fc-match", "-f", "%{file}", "DejaVu Sans:bold"], capture_output=True, text=True).stdout
    label = text.replace("\\", "").replace(":", "").replace("'", "")
    if font and os.path.exists(font):
        try:
            run_ffmpeg(base + ["-vf", f"{rings},drawtext=fontfile={font}:text='{label}':fontcolor=white:"
                               f"fontsize=22:x=(w-text_w)/2:y=h-44:box=1:boxcolor=black@0.35:boxborderw=6",
                               "-frames:v", "1", "-q:v", "4", path])
            return
        except subprocess.CalledProcessError:
            pass
    run_ffmpeg(base + ["-vf", rings, "-frames:v", "1", "-q:v", "4", path])


def probe_duration(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-show_entries", "format=duration",
         "-of", "default=noprint_wrappers=1:nokey=1", path],
        check=True, capture_output=True, text=True).stdout.strip()
    return round(float(out), 6)


def _safe(text):
    return "".join("_" if c in '/\\:*?"<>|' else c for c in text)


def _track_jobs(root):
    jobs, albums = [], []
    for album_index, (artist, title, year, genre, fmt, colours, songs) in enumerate(ALBUMS):
        folder = os.path.join("Music", _safe(artist), _safe(title))
        os.makedirs(os.path.join(root, folder), exist_ok=True)
        cover = os.path.join(folder, "cover.jpg")
        albums.append({"title": title, "artist": artist, "year": year, "cover": cover,
                       "colours": colours})
        for number, (song, style) in enumerate(songs, start=1):
            rel = os.path.join(folder, f"{number:02d} - {_safe(song)}.{fmt}")
            tags = {"title": song, "artist": artist, "album": title, "genre": genre,
                    "date": str(year), "track": f"{number}/{len(songs)}",
                    "comment": "Quendrel demo"}
            jobs.append((album_index, number, rel, fmt, style, tags))
    return jobs, albums


def build_demo(root):
    """Fills `root` with the demo library and returns its manifest."""
    for stale in ("Music", "Playlists", "Images"):
        shutil.rmtree(os.path.join(root, stale), ignore_errors=True)
    jobs, albums = _track_jobs(root)

    def make(job):
        _, _, rel, fmt, style, tags = job
        full = os.path.join(root, rel)
        make_track(full, fmt, style, tags, full + ".phrase")
        return job

    def cover(album):
        make_cover(os.path.join(root, album["cover"]), album.pop("colours"), album["title"])

    with ThreadPoolExecutor(max_workers=WORKERS) as pool:
        list(pool.map(cover, albums))
        done = list(pool.map(make, jobs))

    tracks, by_position = [], {}
    for album_index, number, rel, fmt, style, tags in done:
        full = os.path.join(root, rel)
        entry = {
            "file": rel, "title": tags["title"], "artist": tags["artist"], "album": tags["album"],
            "genre": tags["genre"], "year": int(tags["date"]), "tracknum": number, "format": fmt,
            "duration": probe_duration(full), "samplerate": SAMPLE_RATE, "samplesize": 16,
            "channels": 2, "bitrate": BITRATES[fmt], "comment": tags["comment"],
            "filesize": os.path.getsize(full),
        }
        tracks.append(entry)
        by_position[(album_index, number - 1)] = rel
    playlists = _write_playlists(root, by_position)
    placeholder = os.path.join("Images", "nocover.jpg")
    os.makedirs(os.path.join(root, "Images"), exist_ok=True)
    make_cover(os.path.join(root, placeholder), ("0x404040", "0x909090"), "")
    return {"generator": GENERATOR, "albums": albums, "tracks": tracks,
            "playlists": playlists, "placeholder_cover": placeholder}


def _write_playlists(root, by_position):
    os.makedirs(os.path.join(root, "Playlists"), exist_ok=True)
    result = []
    for name, positions in PLAYLISTS.items():
        files = [by_position[p] for p in positions]
        rel = os.path.join("Playlists", name + ".m3u")
        with open(os.path.join(root, rel), "w", encoding="utf-8") as out:
            out.write("#EXTM3U\n")
            for f in files:
                out.write(os.path.join("..", f) + "\n")
        result.append({"name": name, "file": rel, "tracks": files})
    return result
