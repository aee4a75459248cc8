"""zorvan32 serve against the real server: the page in headless chromium (filter, edit, a refused
value, undo from the journal, a node's change kept) and the requests it must refuse.

  web_test.py <zorvan32> <sample game dir>

Skipped (exit 77) without chromium and chromedriver, unless CI=true."""
import contextlib
import http.client
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import urllib.parse

import blackbox

SCRIPT_NAME = "<script>alert(1)</script>"


@contextlib.contextmanager
def serving(editor, game):
    server = subprocess.Popen([editor, "serve", "--listen", "127.0.0.1:0"], cwd=game,
                              stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    try:
        url = server.stdout.readline().decode().strip()
        assert re.fullmatch(r"http://127\.0\.0\.1:\d+/\?token=[0-9a-f]{64}", url), url
        yield url
    finally:
        server.send_signal(signal.SIGTERM)
        assert server.wait(timeout=20) == 0, "serve did not end cleanly on SIGTERM"


def request(url, method, path, headers=None, body=None):
    where = urllib.parse.urlsplit(url)
    connection = http.client.HTTPConnection(where.hostname, where.port, timeout=20)
    connection.request(method, path, body=body, headers=headers or {})
    answer = connection.getresponse()
    return answer.status, answer.headers, answer.read()


def session(url):
    """A session as the page gets it: its cookie and its CSRF token."""
    token = urllib.parse.urlsplit(url).query
    status, headers, body = request(url, "GET", "/api/session?" + token)
    assert status == 200, status
    cookie = headers["Set-Cookie"]
    assert "HttpOnly" in cookie and "SameSite=Strict" in cookie, cookie
    return cookie.split(";")[0], json.loads(body)["csrf"]


def refusals(url, game):
    """Each row a request the server must refuse with a 4xx, changing nothing."""
    origin = url.split("/?")[0]
    cookie, csrf = session(url)
    ok = {"Cookie": cookie, "X-CSRF-Token": csrf, "Origin": origin,
          "Content-Type": "application/json"}
    change = json.dumps({"gold": "7"})
    wrong = "token=" + "0" * 64
    rows = [
        ("no token", "GET", "/api/players", {}, None),
        ("wrong token", "GET", "/api/players?" + wrong, {}, None),
        ("wrong token, change", "POST", "/api/players/1?" + wrong, dict(ok, Cookie=""), change),
        ("no CSRF token", "POST", "/api/players/1", dict(ok, **{"X-CSRF-Token": ""}), change),
        ("wrong CSRF token", "POST", "/api/players/1", dict(ok, **{"X-CSRF-Token": "0" * 64}),
         change),
        ("foreign Origin", "POST", "/api/players/1", dict(ok, Origin="http://evil.example"),
         change),
        ("no Origin", "POST", "/api/undo/1", {k: v for k, v in ok.items() if k != "Origin"}, "{}"),
        (".. path", "GET", "/../PLAYER.DAT", ok, None),
        ("escaped .. path", "GET", "/%2e%2e/%2e%2e/etc/passwd", ok, None),
        ("game file", "GET", "/PLAYER.DAT", ok, None),
        ("huge body", "POST", "/api/players/1", ok, '{"name": "%s"}' % ("A" * 4_000_000)),
        ("junk JSON", "POST", "/api/players/1", ok, '{"gold": 7'),
        ("not an object", "POST", "/api/players/1", ok, '["gold", "7"]'),
        ("= in a field's name", "POST", "/api/players/1", ok, '{"name=Evil": "Twin"}'),
        ("wrong method", "PUT", "/api/players/1", ok, change),
        ("undo by GET", "GET", "/api/undo/1", ok, None),
    ]
    before = blackbox.players(game)
    for name, method, path, headers, body in rows:
        try:
            status = request(url, method, path, headers, body)[0]
        except ConnectionError:  # the server answered and closed before the body was all sent
            status = "closed" if name == "huge body" else None
        assert status == "closed" or 400 <= (status or 0) < 500, "%s: HTTP %s" % (name, status)
        assert blackbox.players(game) == before, "%s changed PLAYER.DAT" % name
    assert not os.path.exists(os.path.join(game, "ZORVAN32.LOG")), "a refused request journaled"
    status, headers, _ = request(url, "GET", "/api/players", ok)
    assert status == 200 and headers["Cache-Control"] == "no-store", (status, headers)
    assert headers["Content-Security-Policy"] == "default-src 'self'", headers
    assert headers["X-Frame-Options"] == "DENY", headers


def browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1024,768"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)


class Page:
    def __init__(self, driver):
        from selenium.webdriver.support.ui import WebDriverWait
        self.driver, self.wait = driver, WebDriverWait(driver, 20)

    def find(self, css):
        return self.driver.find_elements("css selector", css)

    def until(self, check, what):
        self.wait.until(lambda _: check(), message=what)

    def go(self, hash_, view):
        self.driver.execute_script("document.body.dataset.ready = ''; location.hash = arguments[0]",
                                   hash_)
        self.until(lambda: self.driver.find_element("tag name", "body").get_attribute(
            "data-ready") == view, "the %s view" % view)

    def field(self, name):
        return self.find('#player-fields input[name="%s"]' % name)[0]

    def enter(self, name, value):
        self.field(name).clear()
        self.field(name).send_keys(value)
        self.find("#player-form button")[0].click()

    def nicknames(self):
        return [row.find_elements("css selector", "td")[2].text
                for row in self.find("#players tbody tr")]


def drive(editor, game, url, page):
    listed = json.loads(blackbox.run(editor, game, "list", "--json")[1])
    page.driver.get(url)
    page.until(lambda: page.nicknames(), "the players")
    assert page.driver.current_url.endswith("/"), "the token stays in the address bar"
    assert any(SCRIPT_NAME in row.text for row in page.find("#players tbody tr")), \
        "the <script> name is not shown as text"
    page.find("#filter-name")[0].send_keys("sELL")
    page.until(lambda: page.nicknames() == ["Sellith"], "the name filter")
    page.find("#filter-name")[0].clear()
    page.find("#filter-status option[value='']")[0].click()
    page.driver.execute_script("const s = document.getElementById('filter-status');"
                               "s.value = 'dead'; s.dispatchEvent(new Event('change'))")
    dead = [p["nickname"] for p in listed if p["dead"] and not p["deleted"]]
    page.until(lambda: sorted(page.nicknames()) == sorted(dead), "the status filter")

    gold = blackbox.field(game, 1, "gold")
    page.go("#player/1", "player")
    label = page.field("name").find_element("xpath", "..").text
    assert label.startswith("Nickname"), "the editor's label: %r" % label
    blackbox.poke(game, 1, "gems", 77)  # a node's change after the page read the player
    page.enter("gold", "4321")
    message = page.find("#player-message")[0]
    page.until(lambda: message.text.startswith("saved"), "the save")
    assert blackbox.field(game, 1, "gold") == 4321 and blackbox.field(game, 1, "gems") == 77
    assert page.field("gems").get_attribute("value") == "77", "the page shows another value"
    entry = [line for line in blackbox.journal_lines(game) if line[7] != "record"]
    assert [(e[2], e[4], e[7]) for e in entry] == [("web", "set", "gold")], entry
    entry = entry[0]

    before = blackbox.players(game)
    page.enter("level", "abc")
    why = page.find('#player-fields input[name="level"] ~ .why')[0]
    page.until(lambda: "not a whole number" in why.text, "the refusal's reason")
    assert blackbox.players(game) == before, "a refused value was written"

    page.go("#log", "log")
    page.find('.op[data-op="%s"] button' % entry[3])[0].click()
    page.until(lambda: "1 restored" in page.driver.find_element("id", "operations").text, "undo")
    assert blackbox.field(game, 1, "gold") == gold and blackbox.field(game, 1, "gems") == 77
    assert blackbox.journal_lines(game)[-1][4] == "undo-" + entry[3]

    page.go("#check", "check")
    problems = json.loads(blackbox.run(editor, game, "check", "--json")[1])["problems"]
    links = [a.get_attribute("href").split("#")[1] for a in page.find("#problems a")]
    named = [p["player"] for p in problems if 0 <= p.get("player", -1) < len(listed)]
    assert named and links == ["player/%d" % n for n in named], links
    assert page.driver.execute_script("return document.querySelectorAll('script').length") == 1


def main(editor, sample):
    if not (shutil.which("chromium") and shutil.which("chromedriver")):
        assert os.environ.get("CI") != "true", "chromium and chromedriver are needed in CI"
        print("skipped: chromium or chromedriver missing")
        sys.exit(77)
    with blackbox.scratch_game(sample) as game:
        with serving(editor, game) as url:
            refusals(url, game)
        blackbox.poke(game, 2, "real_name", SCRIPT_NAME.encode())
        driver = browser()
        try:
            with serving(editor, game) as url:
                drive(editor, game, url, Page(driver))
        finally:
            driver.quit()
    print("web console: OK")


if __name__ == "__main__":
    main(*sys.argv[1:3])
