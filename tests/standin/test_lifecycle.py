"""Starting on a port, the address file, and stopping on SIGTERM."""

import socket
import subprocess
import sys
import unittest

from standin_harness import SCRIPT, StandIn, get


class Lifecycle(unittest.TestCase):
    def test_sigterm_ends_streams_and_exits_zero_promptly(self):
        server = StandIn("--stall-stream-after", "100000")
        self.assertRegex(server.address_line, r"^127\.0\.0\.1:\d+\n$")
        self.assertEqual(server.proc.stdout.readline().decode(), server.address_line)
        streams = [get(server, "/stream/1001"), get(server, "/stream/1007")]
        half_asked = socket.create_connection(("127.0.0.1", server.port))
        half_asked.sendall(b"GET /sbin/newxml.phtml?genre=Rock HTTP/1.0\r\n")
        code, seconds = server.stop()
        self.assertEqual(code, 0)
        self.assertLess(seconds, 3)
        for s in streams:
            s.sock.settimeout(2)
            s.read()          # ends instead of hanging
            s.close()
        half_asked.settimeout(2)
        try:                  # closed, or reset while still queued
            self.assertEqual(half_asked.recv(100), b"")
        except ConnectionResetError:
            pass
        half_asked.close()
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", server.port), timeout=2)

    def test_given_port_busy_port_and_bad_options(self):
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
        probe.close()
        server = StandIn("--port", str(port))
        try:
            self.assertEqual(server.port, port)
            for args, message in ((["--port", str(port)], "cannot listen on 127.0.0.1:%d" % port),
                                  (["--drop-stream-after", "-1"], "must not be negative"),
                                  (["--title-seconds", "0"], "must be positive"),
                                  (["--page-mode", "sideways"], "invalid choice")):
                run = subprocess.run([sys.executable, SCRIPT] + args, capture_output=True,
                                     text=True, timeout=10)
                self.assertEqual(run.returncode, 2, args)
                self.assertIn(message, run.stderr)
        finally:
            self.assertEqual(server.stop()[0], 0)


if __name__ == "__main__":
    unittest.main()
