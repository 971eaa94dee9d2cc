"""Builds the deterministic test library: audio tones, covers, folders,
saved playlists and the manifest the simulator reads.

Every track is a sine tone of its own frequency so that an end-to-end test
can tell from the player's output which track it heard.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys

from . import demolib, largegen

MANIFEST = "manifest.json"
GENERATOR_VERSION = 3

# (artist, album, year, genre, format, cover colour or None, [(title, seconds)])
ALBUMS = [
    ("The Quiet Tones", "Morning Light", 2001, "Jazz", "mp3", "0x3060a0",
     [("Sunrise Walk", 3.0), ("Coffee & Rain", 3.5), ("Blue Hour", 4.0)]),
    ("Björk Ødegård", "Ångström Nights", 1999, "Électronique", "flac", "0x208040",
     [("Nordlys", 3.0), ("Süße Stille", 3.25), ("Fjord/Echo", 2.5)]),
    ("Los Lobos Falsos", "Desert Roads", 2005, "Rock & Roll", "wma", "0xa04020",
     [("Highway 9", 3.0), ("El Camino", 2.75)]),
    ("A Very Long Artist Name That Keeps Going On And On Well Past Any "
     "Reasonable Width Of A Television Screen", "Long Play", 2010, "Classical",
     "wav", None,
     [("Adagio in Sine", 3.0), ("Presto + Coda", 2.0)]),
    ("The Quiet Tones", "Evening Shade", 2004, "Jazz", "mp3", "0x602080",
     [("Dusk", 2.5), ("Lamplight (Reprise)", 3.0)]),
    ("Anna Ames", "Mixed Bag", 2003, "Jazz", "wav", "0x808000",
     [("Plain Song", 2.0)]),
]

FIRST_FREQUENCY = 440.0
FREQUENCY_STEP = 110.0   # each track is 110 Hz above the previous one

ENCODERS = {
    "mp3": ["-c:a", "libmp3lame", "-b:a", "128k"],
    "flac": ["-c:a", "flac"],
    "wma": ["-c:a", "wmav2", "-b:a", "128k"],
    "wav": ["-c:a", "pcm_s16le"],
}
EXTENSIONS = {"mp3": "mp3", "flac": "flac", "wma": "wma", "wav": "wav"}
BITRATES = {"mp3": "128kbps CBR", "flac": "", "wma": "128kbps CBR",
            "wav": "1411kbps CBR"}


def safe_name(text):
    return "".join("_" if c in '/\\:*?"<>|' else c for c in text)


def run_ffmpeg(args):
    command = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y"] + args
    subprocess.run(command, check=True, stdin=subprocess.DEVNULL)


def probe_duration(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-show_entries", "format=duration",
         "-of", "default=noprint_wrappers=1:nokey=1", path],
        check=True, capture_output=True, text=True).stdout.strip()
    return round(float(out), 6)


def make_tone(path, fmt, frequency, seconds, tags):
    args = ["-f", "lavfi", "-i",
            f"sine=frequency={frequency:g}:sample_rate=44100:duration={seconds:g}",
            "-ac", "2", "-ar", "44100"]
    for key, value in tags.items():
        args += ["-metadata", f"{key}={value}"]
    if fmt == "mp3":
        args += ["-id3v2_version", "3"]
    run_ffmpeg(args + ENCODERS[fmt] + [path])


def make_cover(path, colour, label_frequency):
    # A plain square with a diagonal test pattern; colour tells albums apart.
    run_ffmpeg(["-f", "lavfi", "-i", f"color=c={colour}:s=240x240:d=1",
                "-vf", f"drawbox=x=20:y=20:w=200:h=200:color=white@0.5:t={int(label_frequency) % 17 + 4}",
                "-frames:v", "1", "-q:v", "4", path])


def build_album(root, album, first_index):
    artist, title, year, genre, fmt, colour, songs = album
    folder = os.path.join("Music", safe_name(artist), safe_name(title))
    os.makedirs(os.path.join(root, folder), exist_ok=True)
    cover = None
    if colour:
        cover = os.path.join(folder, "cover.jpg")
        make_cover(os.path.join(root, cover), colour, first_index)
    tracks = []
    for number, (song, seconds) in enumerate(songs, start=1):
        index = first_index + number - 1
        frequency = FIRST_FREQUENCY + FREQUENCY_STEP * index
        name = f"{number:02d} - {safe_name(song)}.{EXTENSIONS[fmt]}"
        rel = os.path.join(folder, name)
        tags = {"title": song, "artist": artist, "album": title, "genre": genre,
                "date": str(year), "track": f"{number}/{len(songs)}",
                "comment": f"sine {frequency:g} Hz"}
        make_tone(os.path.join(root, rel), fmt, frequency, seconds, tags)
        tracks.append({
            "file": rel, "title": song, "artist": artist, "album": title,
            "genre": genre, "year": year, "tracknum": number, "format": fmt,
            "frequency": frequency, "tone_seconds": seconds,
            "duration": probe_duration(os.path.join(root, rel)),
            "samplerate": 44100, "samplesize": 16, "channels": 2,
            "bitrate": BITRATES[fmt], "comment": tags["comment"],
            "filesize": os.path.getsize(os.path.join(root, rel)),
        })
    return {"title": title, "artist": artist, "year": year, "cover": cover}, tracks


def write_playlists(root, tracks):
    os.makedirs(os.path.join(root, "Playlists"), exist_ok=True)
    chosen = {
        "Party Mix": [tracks[1]["file"], tracks[3]["file"], tracks[6]["file"]],
        "Quiet Evening": [tracks[11]["file"], tracks[0]["file"]],
    }
    result = []
    for name, files in chosen.items():
        rel = os.path.join("Playlists", name + ".m3u")
        with open(os.path.join(root, rel), "w", encoding="utf-8") as out:
            out.write("#EXTM3U\n")
            for f in files:
                out.write(os.path.join("..", f) + "\n")
        result.append({"name": name, "file": rel, "tracks": files})
    return result


def build_audio(root):
    albums, tracks = [], []
    for album in ALBUMS:
        info, album_tracks = build_album(root, album, len(tracks))
        albums.append(info)
        tracks.extend(album_tracks)
    playlists = write_playlists(root, tracks)
    placeholder = os.path.join("Images", "nocover.jpg")
    os.makedirs(os.path.join(root, "Images"), exist_ok=True)
    make_cover(os.path.join(root, placeholder), "0x808080", 0)
    return {"generator": GENERATOR_VERSION, "albums": albums, "tracks": tracks,
            "playlists": playlists, "placeholder_cover": placeholder}


def load_existing(root, generator=GENERATOR_VERSION):
    try:
        with open(os.path.join(root, MANIFEST), encoding="utf-8") as f:
            manifest = json.load(f)
    except (OSError, ValueError):
        return None
    if manifest.get("generator") != generator:
        return None
    if not all(os.path.exists(os.path.join(root, t["file"])) for t in manifest["tracks"]):
        return None
    return manifest


# Colours the covers of metadata-only albums take in turn.
LARGE_COVER_COLOURS = ["0x2060C0", "0xC04020", "0x20A060", "0xA020A0", "0xC0A020", "0x2090A0"]


def large_covers(root, tracks):
    """Gives every metadata-only album one of a few shared cover files."""
    paths = []
    for n, colour in enumerate(LARGE_COVER_COLOURS):
        rel = os.path.join("Images", f"large-cover-{n}.jpg")
        if not os.path.exists(os.path.join(root, rel)):
            os.makedirs(os.path.join(root, "Images"), exist_ok=True)
            make_cover(os.path.join(root, rel), colour, n)
        paths.append(rel)
    return [{"title": t["album"], "artist": t["artist"], "cover": paths[i % len(paths)]}
            for i, t in enumerate(tracks)]


def make_library(root, large=0, demo=False, covers=False):
    os.makedirs(root, exist_ok=True)
    manifest = load_existing(root, demolib.GENERATOR if demo else GENERATOR_VERSION)
    if manifest is None:
        if shutil.which("ffmpeg") is None:
            raise SystemExit("make-library: ffmpeg is needed to make the audio files")
        manifest = demolib.build_demo(root) if demo else build_audio(root)
    manifest["metadata_tracks"] = largegen.generate(large)
    manifest["metadata_covers"] = large_covers(root, manifest["metadata_tracks"]) if covers else []
    tmp = os.path.join(root, MANIFEST + ".tmp")
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(manifest, f, ensure_ascii=False, indent=1)
    os.replace(tmp, os.path.join(root, MANIFEST))
    return manifest


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="make-library", description="Make the simulator's test library.")
    parser.add_argument("dir", help="directory to fill (created if missing)")
    parser.add_argument("--large", type=int, default=0, metavar="N",
                        help="add N metadata-only tracks (no audio)")
    parser.add_argument("--demo", action="store_true",
                        help="music for trying the application: tracks of a few minutes "
                             "instead of the tests' short tones")
    parser.add_argument("--large-covers", action="store_true",
                        help="give the metadata-only albums covers (for cover-art grids)")
    args = parser.parse_args(argv)
    manifest = make_library(args.dir, args.large, args.demo, args.large_covers)
    print(f"make-library: {len(manifest['tracks'])} audio tracks, "
          f"{len(manifest['metadata_tracks'])} metadata-only tracks in {args.dir}",
          file=sys.stderr)
    return 0
