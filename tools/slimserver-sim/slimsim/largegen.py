"""Deterministic metadata-only tracks for paging and letter-jump tests.

Each generated track has its own artist and album, so N tracks give N more
artists. Names start with many different letters, some carry a leading
article and some are not ASCII.
"""

SYLLABLES = ["ka", "lo", "mi", "ne", "ru", "sa", "to", "vi", "ze", "da",
             "fe", "go", "hu", "ji", "pa", "qu", "be", "co", "wy", "xe"]
INITIALS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
ARTICLES = ["The ", "Los ", "", "", "", "", "", ""]
ACCENTS = {"A": "Ä", "O": "Ö", "E": "É"}
GENRES = ["Ambient", "Blues", "Country", "Disco", "Folk"]


class _Lcg:
    def __init__(self, seed):
        self.state = seed

    def next(self, bound):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state % bound


def _word(rng, initial):
    text = initial + "".join(SYLLABLES[rng.next(len(SYLLABLES))] for _ in range(2))
    return text


def _artist(rng, index):
    initial = INITIALS[rng.next(len(INITIALS))]
    if index % 97 == 0 and initial in ACCENTS:
        initial = ACCENTS[initial]
    article = ARTICLES[rng.next(len(ARTICLES))]
    return f"{article}{_word(rng, initial)} {_word(rng, INITIALS[rng.next(26)])} {index:05d}"


def generate(count):
    rng = _Lcg(20070401)
    tracks = []
    for index in range(count):
        artist = _artist(rng, index)
        album = f"{_word(rng, INITIALS[rng.next(26)])} Sessions {index:05d}"
        tracks.append({
            "title": f"{_word(rng, INITIALS[rng.next(26)])} Tune",
            "artist": artist, "album": album,
            "genre": GENRES[index % len(GENRES)],
            "year": 1960 + index % 50, "tracknum": 1,
            "duration": 180.0 + index % 120, "format": "mp3",
        })
    return tracks
