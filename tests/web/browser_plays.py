#!/usr/bin/env python3
"""A web browser plays the MP4 and Matroska files lumivane-render writes.

Renders the example with an MP3 soundtrack to both containers, serves them on 127.0.0.1 to
headless Chromium, whose page reports for each file the duration and size of its <video>,
the colour of a decoded frame and how much audio it decodes. The frame is compared with the
one ffmpeg decodes at the same time. Exit 77 (skipped) when Chromium cannot start.

usage: browser_plays.py LUMIVANE_RENDER EXAMPLE_PROJECT
"""
import http.server
import json
import os
import shutil
import socketserver
import subprocess
import sys
import tempfile
import threading

SKIP = 77
PAGE = """<!doctype html><html><body><script>
const files = %s;
async function probe(name) {
  const v = document.createElement('video');
  v.muted = true;
  v.src = name;
  document.body.appendChild(v);
  const r = {name};
  try {
    await new Promise((ok, fail) => { v.onloadedmetadata = ok; v.onerror = () => fail(
      'error ' + (v.error && v.error.code) + ' ' + (v.error && v.error.message)); });
    r.duration = v.duration; r.width = v.videoWidth; r.height = v.videoHeight;
    await v.play(); v.pause();
    v.currentTime = 0.5;
    await new Promise(ok => v.onseeked = ok);
    const c = document.createElement('canvas'); c.width = 32; c.height = 24;
    const g = c.getContext('2d'); g.drawImage(v, 0, 0, 32, 24);
    const px = g.getImageData(0, 0, 32, 24).data;
    let s = [0, 0, 0];
    for (let i = 0; i < px.length; i += 4) { s[0] += px[i]; s[1] += px[i+1]; s[2] += px[i+2]; }
    r.colour = s.map(x => x / (px.length / 4));
    const bytes = await (await fetch(name)).arrayBuffer();
    const audio = await new OfflineAudioContext(2, 44100, 44100).decodeAudioData(bytes);
    r.audioSeconds = audio.duration;
  } catch (e) { r.error = String(e); }
  return r;
}
(async () => {
  const results = [];
  for (const f of files) results.push(await probe(f));
  await fetch('/result', {method: 'POST', body: JSON.stringify(results)});
})();
</script></body></html>"""


def run(*args, **kw):
    return subprocess.run(args, check=True, capture_output=True, **kw)


def ffmpeg_colour(path):
    raw = run("ffmpeg", "-v", "error", "-ss", "0.5", "-i", path, "-frames:v", "1", "-s", "32x24",
              "-f", "rawvideo", "-pix_fmt", "rgb24", "-").stdout
    n = len(raw) // 3
    return [sum(raw[c::3]) / n for c in range(3)]


def main():
    render, project = sys.argv[1], sys.argv[2]
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    if not browser:
        print("skipped: chromium is not installed")
        return SKIP
    work = tempfile.mkdtemp(prefix="lumivane-web-")
    try:
        song = os.path.join(work, "song.mp3")
        run("ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:duration=6",
            "-c:a", "libmp3lame", "-b:a", "128k", song)
        files = ["show.mp4", "show.mkv"]
        for name in files:
            run(render, project, "-o", os.path.join(work, name), "-c", "H264", "-r", "320x240",
                "-t", "1000", "-s", song, "-q")
        with open(os.path.join(work, "index.html"), "w") as page:
            page.write(PAGE % json.dumps(files))

        results = []
        got = threading.Event()

        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *a, **kw):
                super().__init__(*a, directory=work, **kw)

            def do_POST(self):
                body = self.rfile.read(int(self.headers["Content-Length"]))
                results.extend(json.loads(body))
                self.send_response(204)
                self.end_headers()
                got.set()

            def log_message(self, *a):
                pass

        server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        url = "http://127.0.0.1:%d/index.html" % server.server_address[1]
        chromium = subprocess.Popen(
            [browser, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--autoplay-policy=no-user-gesture-required",
             "--user-data-dir=" + os.path.join(work, "profile"), url],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        got.wait(90)
        chromium.kill()
        _, err = chromium.communicate()
        server.shutdown()
        if not results:
            if chromium.returncode not in (0, -9):
                print("skipped: chromium did not start:", err.decode(errors="replace")[-500:])
                return SKIP
            print("FAILED: the page reported nothing within 90 s")
            print("1 passed, 1 failed" if False else "0 passed, 1 failed")
            return 1

        passed = failed = 0
        for r in results:
            path = os.path.join(work, r["name"])
            problems = []
            if "error" in r:
                problems.append(r["error"])
            else:
                want_duration = float(run("ffprobe", "-v", "error", "-show_entries",
                                           "format=duration", "-of", "csv=p=0", path).stdout)
                if abs(r["duration"] - want_duration) > 0.1:
                    problems.append("duration %s, ffprobe %s" % (r["duration"], want_duration))
                if (r["width"], r["height"]) != (320, 240):
                    problems.append("size %sx%s" % (r["width"], r["height"]))
                want = ffmpeg_colour(path)
                if max(abs(a - b) for a, b in zip(r["colour"], want)) > 12:
                    problems.append("frame colour %s, ffmpeg %s" % (r["colour"], want))
                if r["audioSeconds"] < 5.5:  # the six seconds of the soundtrack
                    problems.append("decoded audio %s s" % r["audioSeconds"])
            print(("FAILED: " if problems else "ok: ") + r["name"] + " " +
                  json.dumps({k: v for k, v in r.items() if k != "name"}) +
                  ("  " + "; ".join(problems) if problems else ""))
            failed += bool(problems)
            passed += not problems
        print("%d passed, %d failed" % (passed, failed))
        return 1 if failed else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
