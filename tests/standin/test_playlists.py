"""Tune-in playlists, and the catalogue's stations with broken streams."""

import socket
import subprocess
import unittest
from urllib.parse import urlsplit

from standin_harness import StandIn, fetch, get

PLS = "/sbin/tunein-station.pls?id="


def file_urls(body):
    """What the plug-in's grep File | sed s/^.*http/http/ pipeline keeps."""
    run = subprocess.run("grep File | sed s/^.*http/http/", shell=True, input=body,
                         capture_output=True, timeout=10)
    return run.stdout.decode("utf-8").split("\n")[:-1]


class Playlists(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = StandIn("--speed", "0")

    @classmethod
    def tearDownClass(cls):
        assert cls.server.stop()[0] == 0

    def playlist(self, sid):
        status, headers, body = fetch(self.server, PLS + sid)
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-type"], "audio/x-scpls")
        return body

    def stream_status(self, url):
        parts = urlsplit(url)
        self.assertEqual(parts.netloc, self.server.address)
        r = get(self.server, parts.path + ("?" + parts.query if parts.query else ""))
        try:
            return r.status, r.headers, r.read(1000)
        finally:
            r.close()

    def test_playlist_is_pls_with_crlf_and_files_on_own_streams(self):
        body = self.playlist("1001")
        self.assertTrue(body.endswith(b"\r\n"))
        self.assertNotIn(b"\n", body.replace(b"\r\n", b""))
        url = "http://%s/stream/1001" % self.server.address
        self.assertEqual(body.decode().split("\r\n"), [
            "[playlist]", "numberofentries=2",
            "File1=" + url, "Title1=Radio Kestrel Rock", "Length1=-1",
            "File2=" + url + "?mirror=2", "Title2=Radio Kestrel Rock", "Length2=-1",
            "Version=2", ""])
        urls = file_urls(body)
        self.assertEqual(urls, [url + "\r", url + "?mirror=2\r"])
        status, headers, audio = self.stream_status(urls[0].rstrip("\r"))
        self.assertEqual((status, headers["content-type"]), (200, "audio/mpeg"))
        self.assertEqual(audio[:1], b"\xff")
        # the favourites' form of the address works too
        self.assertEqual(self.playlist("1001&amp;filename=playlist.pls"), body)

    def test_unknown_station_has_no_playlist(self):
        for sid in ("999999", "", "1001x"):
            status, _, body = fetch(self.server, PLS + sid)
            self.assertEqual(status, 404, sid)
            self.assertEqual(file_urls(body), [])

    def test_playlist_without_file_lines(self):
        body = self.playlist("3004")
        self.assertEqual(file_urls(body), [])
        self.assertIn(b"numberofentries=0\r\n", body)

    def test_dead_reset_refused_and_redirecting_streams(self):
        status, _, _ = self.stream_status(file_urls(self.playlist("3001"))[0].strip())
        self.assertEqual(status, 404)

        with self.assertRaises(ConnectionResetError):
            get(self.server, "/stream/3002").read()

        refused = urlsplit(file_urls(self.playlist("3003"))[0].strip())
        self.assertNotEqual(refused.port, self.server.port)
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection((refused.hostname, refused.port), timeout=2).close()

        status, headers, _ = self.stream_status(file_urls(self.playlist("3005"))[0].strip())
        self.assertEqual(status, 302)
        self.assertEqual(headers["location"], "http://%s/stream/1001" % self.server.address)

        status, headers, _ = fetch(self.server, PLS + "3008")
        self.assertEqual(status, 302)
        self.assertEqual(headers["location"], "http://%s%s1001" % (self.server.address, PLS))

    def test_hostile_station_id_and_urls_arrive_verbatim(self):
        _, _, page = fetch(self.server, "/sbin/newxml.phtml?genre=Oddities")
        self.assertIn(b'id="1;touch PWNED"', page)
        body = self.playlist("1%3Btouch%20PWNED")
        urls = file_urls(body)
        self.assertEqual(len(urls), 2)
        self.assertIn("$(touch${IFS}PWNED)", urls[0])
        self.assertIn("`touch${IFS}PWNED2`", urls[0])
        status, headers, _ = self.stream_status(urls[0].strip())
        self.assertEqual(status, 200)
        self.assertTrue(headers["icy-name"].startswith("$(touch PWNED)"))
        self.assertIn(b"/sbin/tunein-station.pls?id=1%3Btouch%20PWNED\t1;touch PWNED",
                      self.server.request_log())


if __name__ == "__main__":
    unittest.main()
