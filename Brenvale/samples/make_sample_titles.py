#!/usr/bin/env python3
"""Makes the sample titles of the console's sample library, as the media service would
deliver them: for each title a media order file (.vpm) and, under the file names the
order file gives for the service's server, its parts, its thumbnail and cover pictures
and its source's banner. The parts are short but real: speech by espeak-ng encoded to
WMA, tunes by sox encoded to MP3 and a test-pattern video in WMV, all by ffmpeg.

The console's own library code then files them into a library (MakeSampleLibrary.exe,
run by scripts/make-sample-library.sh).
Usage: make_sample_titles.py OUTPUT_FOLDER
"""
import os
import shutil
import subprocess
import sys
import tempfile
from xml.sax.saxutils import escape, quoteattr

SHOP = {
    "id": "vesperlin-sample-shop",
    "name": "Vesperlin Sample Shop",
    "website": "http://shop.vesperlin.example/",
    "banner": "sample-shop-banner.png",
    "accent": "#2E5C8A",
    "colours": ((46, 92, 138), (120, 170, 210)),
}
FILM_STORE = {
    "id": "northlight-film-store",
    "name": "Northlight Film Store",
    "website": "http://films.northlight.example/",
    "banner": "northlight-banner.png",
    "accent": "#1E6E5A",
    "colours": ((20, 90, 80), (90, 170, 150)),
}
ENGLISH = [("en", "English")]

TITLES = [
    {
        "id": "{6A0F3C21-5B7E-4D19-9A42-0C1D2E3F4A01}",
        "slug": "lighthouse-almanac",
        "kind": "WMA Audiobook",
        "title": "The Lighthouse Keeper's Almanac",
        "subtitle": "Stories from the Northern Light",
        "sort": "Lighthouse Keeper's Almanac, The",
        "publisher": "Harbour & Quill",
        "series": "Coastal Tales",
        "creators": [("Author", "Marlow, Ada", "Ada Marlow"), ("Narrator", "Quint, Ben", "Ben Quint")],
        "subjects": [(12, "Fiction"), (40, "Sea Stories")],
        "languages": ENGLISH,
        "source": SHOP,
        "description": "Three short evenings at the lamp of a northern lighthouse: the keeper, "
                       "the storms and the ships that pass.",
        "colours": ((27, 58, 92), (224, 160, 64)),
        "parts": [
            "Chapter one. The lamp is lit at dusk. The keeper climbs the hundred and twelve "
            "steps, trims the wick and watches the first ship of the night go by.",
            "Chapter two. A storm comes in from the north. The glass falls, the waves reach "
            "the gallery, and still the light turns, once every ten seconds.",
            "Chapter three. Morning. The sea is calm again, and the supply boat brings "
            "letters, bread and a new almanac for the coming year.",
        ],
    },
    {
        "id": "{6A0F3C21-5B7E-4D19-9A42-0C1D2E3F4A02}",
        "slug": "harbour-lights",
        "kind": "MP3 Music",
        "title": "Harbour Lights",
        "subtitle": "",
        "sort": "Harbour Lights",
        "publisher": "Tidewater Records",
        "series": "",
        "creators": [("Artist", "Tidewater Quartet, The", "The Tidewater Quartet")],
        "subjects": [(7, "Folk")],
        "languages": ENGLISH,
        "source": SHOP,
        "description": "Three short tunes for plucked strings.",
        "colours": ((120, 30, 60), (250, 210, 120)),
        "parts": [
            ("Evening Tide", ["C4", "E4", "G4", "C5", "G4", "E4", "D4", "G4", "C4"]),
            ("Rope and Sail", ["A3", "C4", "E4", "A4", "G4", "E4", "D4", "E4", "A3"]),
            ("Home Port", ["F3", "A3", "C4", "F4", "E4", "C4", "D4", "C4", "F3"]),
        ],
    },
    {
        "id": "{6A0F3C21-5B7E-4D19-9A42-0C1D2E3F4A03}",
        "slug": "tides-in-motion",
        "kind": "WMV Video (standard)",
        "title": "Tides in Motion",
        "subtitle": "A Short Film",
        "sort": "Tides in Motion",
        "publisher": "Northlight Films",
        "series": "",
        "creators": [("Director", "Ferrand, Lise", "Lise Ferrand")],
        "subjects": [(21, "Documentary")],
        "languages": [("en", "English"), ("fr", "French")],
        "source": FILM_STORE,
        "description": "Two short reels of moving patterns and a steady tone.",
        "colours": ((20, 90, 80), (180, 230, 210)),
        "parts": [("Reel 1", 440), ("Reel 2", 523)],
    },
]

FONT_CANDIDATES = [
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
]


def run(*command):
    subprocess.run(command, check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def ffmpeg(*arguments):
    run("ffmpeg", "-nostdin", "-v", "error", "-y", *arguments)


def duration_text(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration",
                          "-of", "csv=p=0", path], check=True, capture_output=True, text=True)
    seconds = max(1, round(float(out.stdout.strip())))
    return "%d:%02d" % (seconds // 60, seconds % 60)


def font():
    for candidate in FONT_CANDIDATES:
        if os.path.exists(candidate):
            return candidate
    return None


def picture(path, size, colours, lines, scratch, top=0.55):
    """A picture of two colours running into each other, with text lines when a font exists."""
    (r0, g0, b0), (r1, g1, b1) = colours
    width, height = size
    mix = lambda a, b: "%d+(%d)*(X+Y)/(W+H)" % (a, b - a)
    chain = ["geq=r='%s':g='%s':b='%s'" % (mix(r0, r1), mix(g0, g1), mix(b0, b1))]
    face = font()
    if face:
        for index, (text, scale) in enumerate(lines):
            text_file = os.path.join(scratch, "line%d.txt" % index)
            with open(text_file, "w", encoding="utf-8") as f:
                f.write(text)
            chain.append("drawtext=fontfile=%s:textfile=%s:fontsize=%d:fontcolor=white:"
                         "shadowcolor=black@0.6:shadowx=2:shadowy=2:x=(w-text_w)/2:y=h*%.2f"
                         % (face, text_file, max(10, int(height * scale)), top))
            top += scale * 1.5
    ffmpeg("-f", "lavfi", "-i", "nullsrc=s=%dx%d" % (width, height), "-vf", ",".join(chain),
           "-frames:v", "1", path)


def wrap(text, width=18):
    lines, line = [], ""
    for word in text.split():
        if line and len(line) + 1 + len(word) > width:
            lines.append(line)
            line = word
        else:
            line = (line + " " + word).strip()
    return lines + ([line] if line else [])


def make_parts(title, out, scratch):
    """The parts' files, named as on the server; returns (name, file name, duration) per part."""
    parts = []
    album = title["title"]
    artist = title["creators"][0][2]
    for index, spec in enumerate(title["parts"], start=1):
        wav = os.path.join(scratch, "part%d.wav" % index)
        tags = ["-metadata", "album=" + album, "-metadata", "artist=" + artist,
                "-metadata", "track=%d" % index]
        if title["kind"] == "WMA Audiobook":
            name, file_name = "Part %d" % index, "%s-%02d.wma" % (title["slug"], index)
            run("espeak-ng", "-v", "en", "-s", "150", "-w", wav, spec)
            ffmpeg("-i", wav, "-c:a", "wmav2", "-b:a", "48k", "-metadata", "title=" + name, *tags,
                   os.path.join(out, file_name))
        elif title["kind"] == "MP3 Music":
            name, notes = spec
            file_name = "%s-%02d.mp3" % (title["slug"], index)
            pieces = []
            for n, note in enumerate(notes):
                piece = os.path.join(scratch, "note%d-%d.wav" % (index, n))
                run("sox", "-n", "-r", "44100", "-c", "2", piece, "synth", "0.6", "pluck", note,
                    "fade", "0", "0.6", "0.3")
                pieces.append(piece)
            run("sox", *pieces, wav, "reverb", "40")
            ffmpeg("-i", wav, "-c:a", "libmp3lame", "-b:a", "96k", "-metadata", "title=" + name, *tags,
                   os.path.join(out, file_name))
        else:
            name, frequency = spec
            file_name = "%s-%02d.wmv" % (title["slug"], index)
            ffmpeg("-f", "lavfi", "-i", "testsrc2=size=320x240:rate=15:duration=6",
                   "-f", "lavfi", "-i", "sine=frequency=%d:duration=6" % frequency,
                   "-c:v", "wmv2", "-b:v", "400k", "-c:a", "wmav2", "-b:a", "64k",
                   "-metadata", "title=" + name, *tags, os.path.join(out, file_name))
        path = os.path.join(out, file_name)
        parts.append((name, file_name, os.path.getsize(path), duration_text(path)))
    return parts


def order_file(title, parts):
    source = title["source"]
    base = "http://media.vesperlin.example/titles/" + title["slug"]
    pictures = "http://media.vesperlin.example/pictures/"
    metadata = ["    <ContentType>%s</ContentType>" % escape(title["kind"]),
                "    <Title>%s</Title>" % escape(title["title"])]
    if title["subtitle"]:
        metadata.append("    <SubTitle>%s</SubTitle>" % escape(title["subtitle"]))
    metadata.append("    <SortTitle>%s</SortTitle>" % escape(title["sort"]))
    metadata.append("    <Publisher>%s</Publisher>" % escape(title["publisher"]))
    if title["series"]:
        metadata.append("    <Series>%s</Series>" % escape(title["series"]))
    metadata.append("    <ThumbnailUrl>%s%s.jpg</ThumbnailUrl>" % (pictures, title["slug"]))
    metadata.append("    <CoverUrl>%s%s-large.jpg</CoverUrl>" % (pictures, title["slug"]))
    metadata.append("    <Creators>")
    for role, file_as, name in title["creators"]:
        metadata.append("      <Creator role=%s file-as=%s>%s</Creator>"
                        % (quoteattr(role), quoteattr(file_as), escape(name)))
    metadata.append("    </Creators>")
    metadata.append("    <Subjects>")
    for number, subject in title["subjects"]:
        metadata.append('      <Subject id="%d">%s</Subject>' % (number, escape(subject)))
    metadata.append("    </Subjects>")
    metadata.append("    <Languages>")
    for code, language in title["languages"]:
        metadata.append("      <Language code=%s>%s</Language>" % (quoteattr(code), escape(language)))
    metadata.append("    </Languages>")
    metadata.append("    <Description>%s</Description>" % escape(title["description"]))
    part_lines = ['        <Part number="%d" filesize="%d" name=%s filename=%s duration="%s"/>'
                  % (n, size, quoteattr(name), quoteattr(file_name), duration)
                  for n, (name, file_name, size, duration) in enumerate(parts, start=1)]
    return "\n".join([
        '<?xml version="1.0" encoding="utf-8"?>',
        '<VesperlinMedia id="%s" VPMVersion="3.0.0.0" ZKYVersion="3.6.0.0">' % title["id"],
        "  <WMLicense>NONE</WMLicense>",
        "  <License>NONE</License>",
        "  <AcquiredDate>2026-12-01T09:30:00Z</AcquiredDate>",
        "  <Metadata>", *metadata, "  </Metadata>",
        "  <Formats>",
        '    <Format name="Medium Quality">',
        '      <Quality level="Medium"/>',
        '      <Protocols>\n        <Protocol method="download" baseurl=%s/>\n      </Protocols>'
        % quoteattr(base),
        '      <Parts count="%d">' % len(parts), *part_lines, "      </Parts>",
        "    </Format>",
        "  </Formats>",
        '  <Source id=%s>' % quoteattr(source["id"]),
        "    <Name>%s</Name>" % escape(source["name"]),
        "    <WebsiteUrl>%s</WebsiteUrl>" % escape(source["website"]),
        "    <BannerUrl>%s%s</BannerUrl>" % (pictures, source["banner"]),
        "    <AccentColor>%s</AccentColor>" % source["accent"],
        "  </Source>",
        "</VesperlinMedia>",
        ""])


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    out = argv[1]
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as scratch:
        try:
            for source in (SHOP, FILM_STORE):
                picture(os.path.join(out, source["banner"]), (400, 60), source["colours"],
                        [(source["name"], 0.35)], scratch, top=0.3)
            for title in TITLES:
                parts = make_parts(title, out, scratch)
                lines = [(line, 0.08) for line in wrap(title["title"])]
                lines.append((title["creators"][0][2], 0.05))
                picture(os.path.join(out, title["slug"] + "-large.jpg"), (600, 600), title["colours"],
                        lines, scratch)
                picture(os.path.join(out, title["slug"] + ".jpg"), (200, 200), title["colours"],
                        lines, scratch)
                with open(os.path.join(out, title["slug"] + ".vpm"), "w", encoding="utf-8",
                          newline="\r\n") as f:
                    f.write(order_file(title, parts))
        except subprocess.CalledProcessError as e:
            print("make_sample_titles: %s failed: %s" % (e.cmd[0], (e.stderr or b"").decode(errors="replace")),
                  file=sys.stderr)
            return 1
        except FileNotFoundError as e:
            print("make_sample_titles: a tool is missing: %s" % e.filename, file=sys.stderr)
            return 1
    print("sample titles made in %s" % out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
